#pragma once
// The calibrated copy of a run control: the same text with only its
// misalignment line replaced, beside the original.

#include <array>
#include <string>

#include "flight.hpp"
#include "staged_files.hpp"

namespace morva::boresight {

// "run.boresight.in" for "run.in", "NAME.boresight" for a name without ".in".
std::string calibrated_name(const std::string& run_control);

// Why the copy cannot be written (it exists, or would be a file of the
// flight's run); empty when it can.
std::string calibrated_refusal(const Flight& flight);

// The run control's text with the misalignment group's lines replaced by one
// line of the angles.
std::string calibrated_text(const Flight& flight, const std::array<double, 3>& angles);

// Stages the copy of the text in `staged` (its name given at the commit) and
// checks it by reading it back with the core's reader: the angles as
// written, every other value unchanged. A problem stops with one line.
void stage_calibrated(common::StagedFiles& staged, const Flight& flight, const std::string& copy,
                      const std::array<double, 3>& angles);

}  // namespace morva::boresight
