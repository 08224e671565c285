#pragma once
// What a run tells on standard error, besides its console report, about
// inputs that are accepted but probably not what the user meant.

#include <string>

#include "run/scan_record.hpp"
#include "inputs/run_control.hpp"
#include "inputs/trajectory.hpp"
#include "regression/normal_sums.hpp"

namespace morva::run {

// Name lines cut at column 36 though they run on: which line, and the name used.
void warn_cut_names(const inputs::RunControl& rc, const std::string& source);

// A window whose tstart lies after its tend: nothing can be processed.
void warn_reversed_window(const inputs::RunControl& rc, const std::string& source);

// A trajectory that does not cover the processing window.
void warn_short_trajectory(const inputs::TrajectoryTable& trajectory, const inputs::RunControl& rc);

// After the scan loop: measurements outside the trajectory's span, a run
// without points, a regression without points.
void warn_after_scans(const RunState& state, const regression::NormalSums& sums,
                      const inputs::TrajectoryTable& trajectory, const inputs::RunControl& rc);

}  // namespace morva::run
