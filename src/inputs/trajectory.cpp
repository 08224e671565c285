#include "inputs/trajectory.hpp"

#include "text/free_input.hpp"
#include "text/stop.hpp"

namespace morva::inputs {

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

void load_trajectory(text::TextReader& in, const RunControl& rc, TrajectoryTable& table) {
    read_trajectory_records(in, rc, table);
    const TrajectorySpread spread = trajectory_speeds(table.slot.get(), table.ntraj);
    print_trajectory_summary(text::console(), table.ntraj, spread);
}

}  // namespace morva::inputs
