#include "run/run_warnings.hpp"

#include <cstdio>

#include "text/warning.hpp"

namespace morva::run {
namespace {

// Decimal hours with the clock time beside them: "10.500000 h (10:30:00.0)".
std::string hours(double h) {
    char text[64];
    const double s = h * 3600.0;
    if (s >= 0 && s < 1e7) {
        const long tenths = static_cast<long>(s * 10.0 + 0.5);
        std::snprintf(text, sizeof text, "%.6f h (%02ld:%02ld:%04.1f)", h, tenths / 36000, tenths / 600 % 60,
                      static_cast<double>(tenths % 600) / 10.0);
    } else {
        std::snprintf(text, sizeof text, "%.6f h", h);
    }
    return text;
}

}  // namespace

void warn_cut_names(const inputs::RunControl& rc, const std::string& source) {
    const std::string* names[] = {&rc.scanfile, &rc.gpsfile, &rc.geoidfile, &rc.scanptfile, &rc.centfile};
    for (int k = 0; k < 5; ++k) {
        if ((rc.names_cut & (1u << k)) == 0) continue;
        text::warn(source + ", line " + std::to_string(k + 1) +
                   ": the name runs past column 36 and is cut to its first 36 characters: \"" + *names[k] + "\"");
    }
}

void warn_reversed_window(const inputs::RunControl& rc, const std::string& source) {
    if (!(rc.tstart > rc.tend)) return;
    text::warn(source + ": the processing window begins at " + hours(rc.tstart) + ", after its end at " +
               hours(rc.tend) + ": no scan will be processed (tstart comes first, then tend)");
}

void warn_short_trajectory(const inputs::TrajectoryTable& trajectory, const inputs::RunControl& rc) {
    const std::string window = hours(rc.tstart) + " to " + hours(rc.tend);
    if (trajectory.ntraj < 1) {
        text::warn("no trajectory record lies in the processing window " + window);
        return;
    }
    const double first = trajectory.slot[1].thr;
    const double last = trajectory.slot[trajectory.ntraj].thr;
    if (first > rc.tstart || last < rc.tend) {
        text::warn("the trajectory covers " + hours(first) + " to " + hours(last) +
                   ", less than the processing window " + window +
                   "; measurements outside it take the position of its nearer end");
    }
}

void warn_after_scans(const RunState& state, const regression::NormalSums& sums,
                      const inputs::TrajectoryTable& trajectory, const inputs::RunControl& rc) {
    const auto outside = [](std::int64_t n, double min, double max, const char* where, double end) {
        if (n == 0) return;
        text::warn(std::to_string(n) + (n == 1 ? " measurement" : " measurements") + " from " + hours(min) + " to " +
                   hours(max) + " lie " + where + " record at " + hours(end) + "; their positions hold that record");
    };
    const georef::OutsideSpan& o = state.outside;
    outside(o.before, o.before_min, o.before_max, "before the trajectory's first", trajectory.slot[1].thr);
    outside(o.after, o.after_min, o.after_max, "after the trajectory's last", trajectory.slot[trajectory.ntraj].thr);
    if (state.stats.npts == 0) {
        text::warn("the run output no points: no measurement passed the processing window, the area, the trajectory "
                   "and the range tests");
    }
    if (rc.regression_on && sums.nreg == 0) {
        text::warn("the regression used no points: it takes only points whose height lies within 3 m of zero "
                   "(of the geoid, when a geoid grid is given)");
    }
}

}  // namespace morva::run
