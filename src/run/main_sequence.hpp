#pragma once

#include "run/scan_loop.hpp"

namespace morva::run {

// One run: run control from standard input, every file of the survey, the
// console report on standard output, the scan loop on `threads` threads.
// Returns at the normal end; a stop leaves by throwing text::RunStopped.
void run_survey(const LoopOptions& options);

}  // namespace morva::run
