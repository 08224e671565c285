#pragma once
// Messages on standard error, which the console report never uses: warnings
// ("morva: warning: ..."), notes, and the stop line copied for a user whose
// report goes to a file. Written at once, unbuffered.

#include <string>
#include <string_view>
#include <vector>

namespace morva::text {

// The name that starts every message; "morva" unless a program sets its own.
void set_program_name(std::string_view name);

// "NAME: warning: MESSAGE\n".
void warn(std::string_view message);

// Every warning line told so far, as printed (without its line end), for
// the run's record.
std::vector<std::string> warnings_told();

// "NAME: MESSAGE\n".
void note(std::string_view message);

// A line redrawn in place on a terminal (the progress line): shown over the
// previous one, erased before any message and when the run ends.
void show_status_line(std::string_view line);
void clear_status_line();

// The line as it is, with a line end.
void copy_to_standard_error(std::string_view line);

}  // namespace morva::text
