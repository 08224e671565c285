#include "flight_geodesy.hpp"

#include <sys/stat.h>

#include "inputs/run_control.hpp"
#include "run_geodesy.hpp"
#include "text/stop.hpp"
#include "text/warning.hpp"

namespace morva::boresight {
namespace {

bool is_file(const std::string& path) {
    struct stat st{};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// The flight's mode from its record, "" when it has none that is its own.
std::string recorded_mode(const Flight& f, const std::string& record, bool given,
                          const std::optional<std::string>& option) {
    const las::RunGeodesy g = las::run_geodesy(record, option);
    if (!g.error.empty()) text::stop_run(f.name + ": " + g.error);
    const std::string mismatch = las::record_mismatch(g, inputs::trimmed(f.rc.scanptfile), f.rc.binary_output,
                                                      f.rc.geoid_wanted ? inputs::trimmed(f.rc.geoidfile) : "");
    if (mismatch.empty()) return g.label;
    if (given) text::stop_run("the run's record " + record + " is not of " + f.name + ": " + mismatch);
    text::note(f.name + ": " + record + " is the record of another run (" + mismatch + "); not used");
    return {};
}

}  // namespace

georef::Geodesy flights_geodesy(const std::vector<Flight>& flights, const std::vector<std::string>& given,
                                const std::optional<georef::Geodesy>& option, std::string& source) {
    std::optional<std::string> option_label;
    if (option) option_label = georef::geodesy_name(*option);
    std::string mode;
    const Flight* first = nullptr;
    for (std::size_t k = 0; k < flights.size(); ++k) {
        const Flight& f = flights[k];
        const std::string record = given.empty() ? f.folder + kCampaignRecord : given[k];
        if (given.empty() && !is_file(record)) continue;
        const std::string label = recorded_mode(f, record, !given.empty(), option_label);
        if (label.empty()) continue;
        if (first == nullptr) {
            first = &f;
            mode = label;
        } else if (label != mode) {
            text::stop_run(f.name + ": its run was georeferenced with --geodesy " + label + ", that of " + first->name +
                           " with " + mode + " (their runs' records); one calibration holds flights of one geodesy");
        }
    }
    if (!mode.empty()) {
        source = kFromRecords;
        return mode == georef::geodesy_name(georef::Geodesy::Ellipsoid) ? georef::Geodesy::Ellipsoid
                                                                        : georef::Geodesy::Flat;
    }
    source = option ? "--geodesy" : "the default (no run record, no --geodesy)";
    return option.value_or(georef::Geodesy::Flat);
}

}  // namespace morva::boresight
