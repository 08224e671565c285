#pragma once

#include "run/run_options.hpp"

namespace morva::run {

// One run: run control from standard input (or the options' file), every
// file of the survey, the console report on standard output, warnings and
// progress on standard error. Never returns: the run ends normally (status
// 0) or through the stop routine (status 1).
[[noreturn]] void run_survey(const RunOptions& options = {});

}  // namespace morva::run
