// Ground speed between consecutive trajectory records, and the summary
// that lets the operator judge the sampling and the speed range.

#include <cmath>

#include "inputs/trajectory.hpp"
#include "text/free_output.hpp"
#include "text/layout.hpp"

namespace morva::inputs {

TrajectorySpread trajectory_speeds(TrajectoryRecord* slot, std::int32_t ntraj) {
    constexpr double deg_to_rad = 0.01745329252;     // rounded to 10 digits
    constexpr double metres_per_degree = 111194.0;
    constexpr float kmh_per_ms = 3.6f;               // applied as its single value
    constexpr float start = 9999.9f;                 // tracker start, single value

    TrajectorySpread s{start, 0.0, start, -start};
    for (std::int32_t i = 2; i <= ntraj; ++i) {
        const TrajectoryRecord& a = slot[i - 1];
        TrajectoryRecord& b = slot[i];
        const double dt = (b.thr - a.thr) * 3600.0;
        const double dlat = b.lat - a.lat;
        const double dlon = b.lon - a.lon;
        const double c = std::cos(b.lat * deg_to_rad);
        const double east = dlon * c;
        const double distance = std::sqrt(dlat * dlat + east * east) * metres_per_degree;
        // A zero interval gives Inf or NaN here; it only shows in the summary.
        b.vel = static_cast<float>(distance / dt * static_cast<double>(kmh_per_ms));
        if (dt < s.dtmin) s.dtmin = dt;
        if (dt > s.dtmax) s.dtmax = dt;
        if (b.vel < s.vmin) s.vmin = b.vel;
        if (b.vel > s.vmax) s.vmax = b.vel;
    }
    slot[1].vel = slot[2].vel;
    return s;
}

void print_trajectory_summary(text::OutStream& out, std::int32_t ntraj, const TrajectorySpread& s) {
    static const text::Layout summary = text::layout(
        R"(/" GPS read:" I6 " gps/attitude data, min max spacing (sec):" 2F9.2)"
        R"( / " minimum and maximum velocity (km/h): " 2F8.1)");
    text::write_fixed(out, summary, {ntraj, s.dtmin, s.dtmax, s.vmin, s.vmax});
    // Interpolation needs an interval: with fewer than two records every
    // measurement will be rejected, and the operator should know why.
    if (ntraj < 2) text::write_free(out, {"*** warning - fewer than 2 gps points in time window"});
}

}  // namespace morva::inputs
