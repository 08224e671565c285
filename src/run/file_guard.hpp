#pragma once
// A misspelt run control must not destroy its own inputs: output names are
// checked against the input files, and against each other, before any
// output is created.

#include "run/run_control.hpp"

namespace morva::run {

// Stops with "*** output file would overwrite input file: <name>" or
// "*** two output files share one name: <name>".
void check_output_names(const RunControl& rc);

}  // namespace morva::run
