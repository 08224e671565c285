#pragma once
// How the flights were georeferenced (morva --geodesy flat|ellipsoid): the
// calibration recomputes their points the same way. Each flight's run record
// (morva --metadata FILE) says; --geodesy says for flights without one.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "flight.hpp"

namespace morva::boresight {

// The run records: `given` (--metadata, one per flight in order) or else
// morva.metadata.json beside each run control when it is the record of that
// run (what morva-campaign keeps). Flights in different modes, a record that
// is not of its flight (given), or a --geodesy that contradicts a record stop
// with one line. The mode is the records', else `option`, else flat;
// `source` tells where it came from.
georef::Geodesy flights_geodesy(const std::vector<Flight>& flights, const std::vector<std::string>& given,
                                const std::optional<georef::Geodesy>& option, std::string& source);

// The source when the records said.
inline constexpr std::string_view kFromRecords = "the runs' records";

// The record morva-campaign keeps beside a flight's run control.
inline constexpr const char* kCampaignRecord = "morva.metadata.json";

}  // namespace morva::boresight
