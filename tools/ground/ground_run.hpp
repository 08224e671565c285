#pragma once
// morva-ground's work: its inputs' points classified as ground (2), low noise
// (7) or unclassified (1) and written with every other field unchanged.

#include <cstdint>
#include <string>
#include <vector>

#include "ground_settings.hpp"
#include "run_las.hpp"

namespace morva::ground_program {

// Lengths not given on the command line are NaN here: they take the
// method's defaults, which are in metres, put in the units of the points' CRS.
struct GroundOptions {
    std::vector<std::string> inputs;
    std::string output;       // a file, or with --each a pattern holding {}
    std::string input_crs;    // the CRS of LAS inputs that state none
    common::RunLasOptions run;   // how a run's scan points are made LAS records (--crs utm by default)
    std::string metadata;     // the run's record (--metadata), when given
    bool each = false;        // one output per input
    ground::GroundSettings settings;
    std::uint64_t max_memory = 0;  // 0: the default bound
};

// Classifies and writes every output; all appear together when all are
// complete. Returns the exit status (0); a problem stops with one line.
int classify_inputs(const GroundOptions& options);

}  // namespace morva::ground_program
