#pragma once
// The GPS/attitude trajectory inside the processing window, held in one
// fixed table for the whole run.

#include <cstdint>
#include <memory>

#include "run/run_control.hpp"
#include "text/text_reader.hpp"

namespace morva::run {

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

struct TrajectoryTable {
    // Slots 1..kTrajectorySlots (index 0 unused); allocated once, untouched
    // slots cost no memory.
    std::unique_ptr<TrajectoryRecord[]> slot;
    std::int32_t ntraj = 0;
};

// Loads the records inside tstart - 1 s .. tend + 1 s from the open file and
// prints the sampling and speed summary.
void load_trajectory(text::TextReader& in, const RunControl& rc, TrajectoryTable& table);

}  // namespace morva::run
