#pragma once

#include "georef/geodesy.hpp"

namespace morva::run {

// What the command line chooses for a run.
struct RunOptions {
    georef::Geodesy geodesy = georef::Geodesy::Flat;
};

// One run: run control from standard input, every file of the survey, the
// console report on standard output. Never returns: the run ends normally
// (status 0) or through the stop routine (status 1).
[[noreturn]] void run_survey(const RunOptions& options = {});

}  // namespace morva::run
