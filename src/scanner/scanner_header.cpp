#include "scanner/scanner_header.hpp"

#include <cstdint>

#include "text/stop.hpp"

namespace morva::scanner {
namespace {

constexpr std::size_t kShortHeader = 47;

[[noreturn]] void end_in_header() { text::stop_run("*** end of file met in header"); }

}  // namespace

void readhdr(ByteReader& in, scanner_header&) {
    std::uint8_t head[kShortHeader];
    if (read_bytes(in, head, kShortHeader) < kShortHeader) end_in_header();
}

}  // namespace morva::scanner
