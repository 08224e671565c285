#pragma once
// morva's command line: `morva [options] [RUN_CONTROL]`. One table lists
// the options; the help text's option lines come from it.

#include <string>
#include <vector>

#include "georef/geodesy.hpp"

namespace morva::run {

enum class ProgressMode { Auto, On, Off };

struct RunOptions {
    std::string run_control;                     // empty: standard input
    ProgressMode progress = ProgressMode::Auto;  // Auto: when standard error is a terminal
    georef::Geodesy geodesy = georef::Geodesy::Flat;  // from metres to degrees in the full mode
    int threads = 0;                             // 0: the CPUs the process may run on
    std::string metadata;                        // the run's record as JSON; empty: none
    std::vector<std::string> command_line;       // every argument, the program's name first
};

// Fills the options from the arguments. --help and --version print and end
// the process with status 0; a wrong option or argument ends it with the
// one-line usage error and status 2.
RunOptions parse_run_options(int argc, const char* const* argv);

}  // namespace morva::run
