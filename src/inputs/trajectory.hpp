#pragma once
// The GPS/attitude trajectory inside the processing window, held in one
// fixed table for the whole run.

#include <cstdint>
#include <memory>

#include "inputs/run_control.hpp"
#include "text/text_reader.hpp"

namespace morva::inputs {

inline constexpr std::int32_t kTrajectorySlots = 488000;  // nmax

// One slot; 64 bytes, so an interpolation touches two cache lines.
struct TrajectoryRecord {
    double thr;      // decimal hours
    double lat;      // degrees
    double lon;      // degrees
    double h;        // metres
    double pitch;    // degrees
    double roll;     // degrees
    double heading;  // degrees, reduced to at most 180
    float vel;       // km/h over the interval from the previous record
};
static_assert(sizeof(TrajectoryRecord) == 64);

struct TrajectoryTable {
    // Slots 1..kTrajectorySlots (index 0 unused); allocated once, untouched
    // slots cost no memory. Slots 1..ntraj+1 are always initialised after a
    // load: ntraj+1 holds the record that ended it, or zeros.
    std::unique_ptr<TrajectoryRecord[]> slot;
    std::int32_t ntraj = 0;
};

// Loads the records inside tstart - 1 s .. tend + 1 s from the open file and
// prints the sampling and speed summary (and a warning below two records) on
// the console.
void load_trajectory(text::TextReader& in, const RunControl& rc, TrajectoryTable& table);

// The pieces of the load, each usable on its own.

// The table's one allocation, left uninitialised: pages never written are
// never made resident.
std::unique_ptr<TrajectoryRecord[]> allocate_trajectory_slots();

// One second either side of the processing window, in hours.
struct TimeWindow {
    double wstart, wend;
};
TimeWindow trajectory_window(double tstart, double tend);

enum class WindowPlace { Before, Inside, After };
// Both window edges belong to the window.
WindowPlace place_in_window(const TimeWindow& window, double thr);

// Headings above 180 are brought down by one turn, once.
inline double reduce_heading(double heading) { return heading > 180 ? heading - 360 : heading; }

// Fills slots 1..ntraj with the records inside the window (no speeds, no
// output). Stops the run when slot kTrajectorySlots receives a kept record.
void read_trajectory_records(text::TextReader& in, const RunControl& rc, TrajectoryTable& table);

// Smallest and largest interval (seconds) and speed (km/h) of a load.
struct TrajectorySpread {
    double dtmin, dtmax;
    float vmin, vmax;
};

// Sets vel of slots 2..ntraj from the previous record, vel(1) = vel(2), and
// returns the tracked extremes (their start values when ntraj < 2).
// Slots 1 and 2 must be initialised.
TrajectorySpread trajectory_speeds(TrajectoryRecord* slot, std::int32_t ntraj);

}  // namespace morva::inputs
