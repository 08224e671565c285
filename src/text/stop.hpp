#pragma once
// The one way a run ends early: the message (when there is one) becomes the
// last line of the console report, every output stream is flushed, and the
// process exits with status 1.

#include <string_view>

namespace morva::text {

[[noreturn]] void stop_run(std::string_view message);
[[noreturn]] void stop_run();

// The normal end: flush everything and exit 0.
[[noreturn]] void end_run();

}  // namespace morva::text
