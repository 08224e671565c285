#include "inputs/trajectory.hpp"

#include <cmath>

#include "text/free_input.hpp"
#include "text/free_output.hpp"
#include "text/layout.hpp"
#include "text/stop.hpp"

namespace morva::inputs {
namespace {

// The summary that lets the operator judge the sampling and the speed range,
// then the warning when fewer than two records were kept.
void print_trajectory_summary(text::OutStream& out, std::int32_t ntraj, const TrajectorySpread& s) {
    static const text::Layout summary = text::layout(
        R"(/" GPS read:" I6 " gps/attitude data, min max spacing (sec):" 2F9.2)"
        R"( / " minimum and maximum velocity (km/h): " 2F8.1)");
    text::write_fixed(out, summary, {ntraj, s.dtmin, s.dtmax, s.vmin, s.vmax});
    // Interpolation needs an interval: with fewer than two records every
    // measurement will be rejected, and the operator should know why.
    if (ntraj < 2) text::write_free(out, {"*** warning - fewer than 2 gps points in time window"});
}

}  // namespace

std::unique_ptr<TrajectoryRecord[]> allocate_trajectory_slots() {
    // Default-initialised on purpose: no value-initialisation, no page touched.
    return std::unique_ptr<TrajectoryRecord[]>(new TrajectoryRecord[kTrajectorySlots + 1]);
}

TimeWindow trajectory_window(double tstart, double tend) {
    constexpr double one_second = 0.0002777777777777778;  // 1/3600 hour
    return {tstart - one_second, tend + one_second};
}

WindowPlace place_in_window(const TimeWindow& window, double thr) {
    if (thr < window.wstart) return WindowPlace::Before;
    if (thr > window.wend) return WindowPlace::After;
    return WindowPlace::Inside;
}

void read_trajectory_records(text::TextReader& in, const RunControl& rc, TrajectoryTable& table) {
    using text::item;
    if (!table.slot) table.slot = allocate_trajectory_slots();
    TrajectoryRecord* slot = table.slot.get();
    const TimeWindow window = trajectory_window(rc.tstart, rc.tend);

    // A slot is zeroed when the load first reaches it, so a null value (",,")
    // in a record finds the same zero an untouched table would hold, and slot
    // 2 (whose speed slot 1 copies) is defined even for a load of 0 or 1.
    slot[1] = TrajectoryRecord{};
    slot[2] = TrajectoryRecord{};

    std::int32_t i = 1;
    for (;;) {
        TrajectoryRecord& r = slot[i];
        const bool complete =
            rc.attitude ? text::read_free(in,
                                          {item(r.thr), item(r.lat), item(r.lon), item(r.h), item(r.pitch),
                                           item(r.roll), item(r.heading)},
                                          text::AtEnd::Report)
                        : text::read_free(in, {item(r.thr), item(r.lat), item(r.lon), item(r.h)},
                                          text::AtEnd::Report);
        if (!complete) break;  // end of file, also inside a record: not counted
        if (rc.attitude) {
            r.heading = reduce_heading(r.heading);
        } else {
            r.pitch = r.roll = r.heading = 0;
        }
        const WindowPlace place = place_in_window(window, r.thr);
        if (place == WindowPlace::Before) continue;  // dropped; the slot is used again
        if (place == WindowPlace::After) break;      // stays in slot i, not counted
        ++i;
        if (i > kTrajectorySlots) text::stop_run("*** too many gps points - increase nmax");
        slot[i] = TrajectoryRecord{};
    }
    table.ntraj = i - 1;
}

// Ground speed between consecutive trajectory records.
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

void load_trajectory(text::TextReader& in, const RunControl& rc, TrajectoryTable& table) {
    read_trajectory_records(in, rc, table);
    const TrajectorySpread spread = trajectory_speeds(table.slot.get(), table.ntraj);
    print_trajectory_summary(text::console(), table.ntraj, spread);
}

}  // namespace morva::inputs
