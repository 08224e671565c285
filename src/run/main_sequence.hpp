#pragma once

namespace morva::run {

// One run: run control from standard input, every file of the survey, the
// console report on standard output. Never returns: the run ends normally
// (status 0) or through the stop routine (status 1).
[[noreturn]] void run_survey();

}  // namespace morva::run
