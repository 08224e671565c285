#pragma once
// A misspelt run control must not destroy its own inputs: output names are
// checked against the input files, and against each other, before any
// output is created.

#include "inputs/run_control.hpp"

namespace morva::inputs {

// Stops with "*** output file would overwrite input file: <name>" (the
// inputs being the scanner, trajectory and geoid files, and the run control:
// the file `run_control_file`, or standard input when that is empty and
// standard input is a file) or "*** two output files share one name:
// <name>"; an output name holding a NUL byte cannot be opened as named.
// `record_file`, when given, is the run's record (--metadata), an output
// checked after the others.
void check_output_names(const RunControl& rc, const std::string& run_control_file = {},
                        const std::string& record_file = {});

// True when the two names reach one file: the same existing file (links
// followed), or the same resolved path for a file not yet there.
bool same_file(const std::string& a, const std::string& b);

}  // namespace morva::inputs
