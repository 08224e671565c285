#include "flight_geodesy.hpp"

#include <filesystem>

#include "inputs/run_control.hpp"
#include "geodesy_record.hpp"
#include "text/stop.hpp"
#include "text/warning.hpp"

namespace morva::boresight {
namespace {

// The flight's mode from its record, none when it has none that is its own.
std::optional<georef::Geodesy> recorded_mode(const Flight& f, const std::string& record, bool given,
                                             std::optional<georef::Geodesy> option) {
    const common::RunGeodesy g = common::run_geodesy(record, option);
    if (!g.error.empty()) text::stop_run(f.name + ": " + g.error);
    const std::string mismatch = common::record_mismatch(g, inputs::trimmed(f.rc.scanptfile), f.rc.binary_output,
                                                      f.rc.geoid_wanted ? inputs::trimmed(f.rc.geoidfile) : "");
    if (mismatch.empty()) return g.mode;
    if (given) text::stop_run("the run's record " + record + " is not of " + f.name + ": " + mismatch);
    text::note(f.name + ": " + record + " is the record of another run (" + mismatch + "); not used");
    return std::nullopt;
}

}  // namespace

georef::Geodesy flights_geodesy(const std::vector<Flight>& flights, const std::vector<std::string>& given,
                                const std::optional<georef::Geodesy>& option, std::string& source) {
    std::optional<georef::Geodesy> mode;
    const Flight* first = nullptr;
    for (std::size_t k = 0; k < flights.size(); ++k) {
        const Flight& f = flights[k];
        const std::string record = given.empty() ? f.folder + kCampaignRecord : given[k];
        std::error_code unreadable;
        if (given.empty() && !std::filesystem::is_regular_file(record, unreadable)) continue;
        const std::optional<georef::Geodesy> its = recorded_mode(f, record, !given.empty(), option);
        if (!its) continue;
        if (first == nullptr) {
            first = &f;
            mode = its;
        } else if (its != mode) {
            text::stop_run(f.name + ": its run was georeferenced with --geodesy " + georef::geodesy_name(*its) +
                           ", that of " + first->name + " with " + georef::geodesy_name(*mode) +
                           " (their runs' records); one calibration holds flights of one geodesy");
        }
    }
    if (mode) {
        source = kFromRecords;
        return *mode;
    }
    source = option ? "--geodesy" : "the default (no run record, no --geodesy)";
    return option.value_or(georef::Geodesy::Flat);
}

}  // namespace morva::boresight
