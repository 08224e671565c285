#pragma once
// The one way a run ends early: stop_run throws RunStopped from wherever the
// stop is met (a reader, the calibration, a worker of the scan pipeline); the
// stack unwinds, every output stream flushes and closes itself on the way,
// and the program's entry point catches it once, prints its line as the last
// line of the console report and exits with status 1.

#include <string>
#include <string_view>

namespace morva::text {

struct RunStopped {
    std::string line;           // the last line of the report, without its line end
    bool has_line = true;       // false: the report already ends with its own line
    bool console_lost = false;  // the console itself could not be written
};

[[noreturn]] void stop_run(std::string_view message);
[[noreturn]] void stop_run();

// Stops with "*** cannot open file: NAME", after telling on standard error
// the system's reason (errno `error`) and, for a relative name, that it is
// relative to the current folder.
[[noreturn]] void stop_cannot_open(const std::string& name, int error);

// A stream that fails while a stop unwinds (or at its close) cannot throw:
// its "*** write error" line is printed before the stop's own line, which
// stays the last: it names the first failure.
void add_late_line(std::string line);

// The line the stop ends the report with: its own, or the report's last
// line when it has none. Called before report_stop.
std::string stop_line(const RunStopped& stop);

// Prints the stop's line and any late lines, flushes the console; returns
// the exit status 1. Outputs still staged are removed; when the report does
// not go to the terminal, its last line is copied to standard error (unless
// copy_last_line is false: the fuzz harness). The entry point calls it.
int report_stop(const RunStopped& stop, bool copy_last_line = true) noexcept;

}  // namespace morva::text
