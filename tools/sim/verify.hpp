#pragma once
// Checks a run's outputs against the survey that the simulator wrote: the
// survey is rebuilt from its description, every measurement's true
// footprint is recomputed, and the scan-point file, the centre-point file
// and (on request) the console's centre lines and regression report are
// compared with it.

#include <array>
#include <optional>
#include <string>

#include "georef/geodesy.hpp"

namespace morva::sim {

struct VerifyRequest {
    std::string dir = ".";
    std::string run_control = "run.in";  // the run control the run processed, in dir
    bool flat = false;       // every height must equal the surface without the distortion
    std::string regression;  // console report whose regression must recover surface and distortion
    std::string console;     // console report whose centre lines (every 30 s) are checked
    int threads = 0;
    // The geodesy the run used, when it is not the one the survey's truth
    // follows: the run's points are then checked against what that mode
    // makes of the exact ranges, and measured against the truth.
    std::optional<georef::Geodesy> geodesy;
    // When set: the largest horizontal and vertical distances (metres) of
    // the run's points from the true footprints must lie within
    // [lo, hi] each: horizontal lo, hi, then vertical lo, hi.
    std::optional<std::array<double, 4>> model_error;
};

// Returns true when every check passes; `report` holds the summary and the
// first failures.
bool verify_survey(const VerifyRequest& request, std::string& report);

}  // namespace morva::sim
