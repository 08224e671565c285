#pragma once
// Scanner files described in a few readable lines, for tests and examples.

#include <string>
#include <string_view>

namespace morva::sim {

// Builds the bytes of a scanner file from a script; on a malformed script
// returns an empty string and sets `error`.
std::string build_scanner_file(std::string_view script, std::string& error);

}  // namespace morva::sim
