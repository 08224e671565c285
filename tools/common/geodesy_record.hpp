#pragma once
// How a run went from metres to degrees (morva --geodesy flat|ellipsoid): a
// scan-point file does not say, the run's record (morva --metadata FILE)
// does. Shared by the companions that label what they write with it.

#include <optional>
#include <string>
#include <vector>

#include "georef/geodesy.hpp"

namespace morva::common {

struct RunGeodesy {
    std::optional<georef::Geodesy> mode;  // empty when neither the record nor the option says
    std::string error;  // why the record or the option is refused (one line, no program name)
    // What the record says of the run's files, for a check against its run
    // control (names as the run control gives them).
    bool from_record = false;
    std::string record_scan_points;       // outputs.scan_points.name; empty when the run wrote none
    std::string record_scan_points_form;  // "binary" or "text"
    std::string record_geoid;             // inputs.geoid.name; empty when the run used no geoid grid
};

// The modes as the command lines spell them, in the order of georef::Geodesy.
std::vector<std::string> geodesy_choices();

// The mode from the record when one is named (an option that contradicts
// it is refused), else the option's.
RunGeodesy run_geodesy(const std::string& record_file, std::optional<georef::Geodesy> option);

// Why a record read by run_geodesy is not of the run whose run control names
// these scan points (binary or text) and geoid grid (empty: none), e.g. "it
// names the scan points a.bin (binary), the run control b.bin (binary)";
// empty when it is of that run.
std::string record_mismatch(const RunGeodesy& record, const std::string& scan_points, bool binary,
                            const std::string& geoid);

struct PointSource;

// Stops ("the run's record FILE is not of RUN: ...") when `record`, read by
// run_geodesy from `file`, is not of the run control `run`.
void check_record_of(const RunGeodesy& record, const std::string& file, const PointSource& run);

}  // namespace morva::common
