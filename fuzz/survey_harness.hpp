#pragma once
// A small committed survey (fixtures/: run control, trajectory, geoid grid,
// scanner file) that the targets combine with the input under test: the
// scanner target runs its input with the fixture's run control, trajectory
// and grid; the trajectory and geoid targets load their input and then run
// the fixture's scanner file through georeferencing with it.

#include <string>

#include "inputs/geoid.hpp"
#include "inputs/run_control.hpp"
#include "inputs/trajectory.hpp"

namespace morva::fuzz {

struct Survey {
    inputs::RunControl rc;
    inputs::TrajectoryTable trajectory;
    inputs::GeoidGrid geoid;
};

// Loaded on first use (after prepare()); read-only afterwards.
const Survey& fixture_survey();

// Path of the fixture's scanner file.
std::string fixture_scanner_file();

// The program's own steps from the scanner header to the end of the run
// (header, time base, scan loop with georeferencing and every output on
// kFuzzThreads threads, report, regression), on the scanner file at `path`.
// Outputs go to /dev/null.
inline constexpr int kFuzzThreads = 3;
void process_scanner_file(const inputs::RunControl& rc, const inputs::TrajectoryTable& trajectory,
                                       const inputs::GeoidGrid* geoid, const std::string& path);

}  // namespace morva::fuzz
