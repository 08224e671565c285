#pragma once
// The one ending of every companion's main. The body parses its options (a
// usage error and --help/--version end the process there, with status 2 and
// 0), does its work and returns its exit status; whatever ends it early is
// told here as one line on standard error, "PROGRAM: WHAT", with status 1:
// a stop of the program or of the core's readers, and any exception besides
// (a library's error, memory exhausted). Staged outputs are removed on the
// way, by their own scope.

#include <functional>
#include <string_view>

#include "text/stop.hpp"

namespace morva::common {

// A program whose stops go through the core's console (its report) tells
// them there instead: `on_stop` prints the stop and returns the status.
using StopTeller = std::function<int(const text::RunStopped&)>;

int run_companion(std::string_view program, const std::function<int()>& body,
                  const StopTeller& on_stop = {}) noexcept;

}  // namespace morva::common
