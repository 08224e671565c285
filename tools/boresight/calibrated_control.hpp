#pragma once
// The calibrated copy of a run control: the same text with only its
// misalignment line replaced, beside the original.

#include <array>
#include <string>

#include "flight.hpp"

namespace morva::boresight {

// "run.boresight.in" for "run.in", "NAME.boresight" for a name without ".in".
std::string calibrated_name(const std::string& run_control);

// Why the copy cannot be written (it exists, or would be a file of the
// flight's run); empty when it can.
std::string calibrated_refusal(const Flight& flight);

// The run control's text with the misalignment group's lines replaced by one
// line of the angles; checked by reading it back with the core's reader
// (every other value unchanged). A problem stops with one line.
std::string calibrated_text(const Flight& flight, const std::array<double, 3>& angles);

// Writes the text under a temporary name in the same folder and renames it.
void write_calibrated(const Flight& flight, const std::string& text);

}  // namespace morva::boresight
