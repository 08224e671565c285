#pragma once
// A text output of the calibration staged with the others: its temporary
// written now, its name given when every output of the run is complete.

#include <string>

#include "staged_files.hpp"

namespace morva::boresight {

// Writes `text` to a fresh temporary of `output` in `staged` and returns the
// temporary's path (for a read-back); a write that fails stops with one line
// naming the output and the system's reason.
std::string stage_text(common::StagedFiles& staged, const std::string& output, const std::string& text);

}  // namespace morva::boresight
