#pragma once
// The style every morva program shares on its command line: `--help` prints
// the program's help on standard output and exits 0; `--version` prints one
// line "NAME VERSION (commit C)" and exits 0; a wrong option or argument
// prints one line "NAME: what went wrong; usage: USAGE (NAME --help)" on
// standard error and exits 2.

#include <string>
#include <string_view>

namespace morva::text {

inline constexpr int kUsageStatus = 2;

// "0.9.0", from the project version set in CMake.
std::string_view project_version();

// The commit the build came from; empty when not from a git checkout.
std::string_view build_commit();

// "NAME 0.9.0 (commit abcdef123456)", or without the commit when the build
// did not come from a git checkout.
std::string version_line(std::string_view program);

// Prints the usage line on standard error and ends the process with status 2.
[[noreturn]] void usage_error(std::string_view program, std::string_view message, std::string_view usage);

// Prints text on standard output and ends the process with status 0.
[[noreturn]] void exit_with_text(std::string_view text);

}  // namespace morva::text
