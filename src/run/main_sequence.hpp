#pragma once

#include "run/run_options.hpp"
#include "run/run_record.hpp"
#include "run/scan_loop.hpp"

namespace morva::run {

// One run: run control from standard input (or the options' file), every
// file of the survey, the console report on standard output, warnings and
// progress on standard error; the scan loop as `loop` says (its thread count,
// when 0, from the options or the CPUs the process may run on). Returns at
// the normal end; a stop leaves by throwing text::RunStopped. `record`, when
// given, is filled as the run goes (for --metadata).
void run_survey(const RunOptions& options = {}, LoopOptions loop = {}, RunRecord* record = nullptr);

}  // namespace morva::run
