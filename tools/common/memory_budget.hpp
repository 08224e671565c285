#pragma once
// How much memory a companion may plan to use, checked before it allocates:
// a raster or a table too large for the machine ends with one line that says
// what to change, never with an abort halfway through.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "text/command_line.hpp"

namespace morva::common {

// Three quarters of the memory the machine has available now (MemAvailable,
// bounded by the process's cgroup limit where one is set); 1 GiB when neither
// can be read.
std::uint64_t default_memory_bound();

// A size as users write it: "8G", "512M", "1.5GiB", "64k", or bytes; the
// suffixes are powers of 1024. Empty when the text is no positive size.
std::optional<std::uint64_t> parse_memory_size(std::string_view text);

// --max-memory SIZE into `target` (bytes; left as it is when not given).
text::Option memory_option(std::string help, std::uint64_t& target);

// "3.2 GiB", "512 MiB", "100 KiB", "10 bytes".
std::string memory_text(std::uint64_t bytes);

// Stops with one line when `needed` exceeds `bound`:
// "WHAT needs about N, more than the memory bound of M: ADVICE, or raise the bound with --max-memory".
void check_memory(std::uint64_t needed, std::uint64_t bound, const std::string& what, const std::string& advice);

}  // namespace morva::common
