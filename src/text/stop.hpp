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

// A harness that runs pieces of the system many times in one process (the
// fuzz targets) takes over the ending: once the streams are flushed, the
// handler receives the exit status instead of the process ending, and leaves
// by throwing back to the harness (unwinding frees what the run held). A
// handler that returns still ends the process. Null restores the plain exit.
using EndHandler = void (*)(int status);
void set_end_handler(EndHandler handler);

}  // namespace morva::text
