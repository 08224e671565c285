#pragma once
// The progress line of a long run on standard error: the share of the
// scanner file read, scans and measurements per second, the time left.
// Redrawn in place at most four times a second, erased at the end; never
// on standard output or in a file of the run.

#include <cstdint>
#include <ctime>

#include "scanner/byte_reader.hpp"

namespace morva::run {

struct Progress {
    bool on = false;
    std::int32_t countdown = 0;      // scans until the clock is read again
    std::uint64_t file_bytes = 0;    // 0 when the size is unknown (a pipe)
    std::uint64_t start_bytes = 0;   // read before the scan loop (the header)
    std::int64_t scans = 0;
    std::int32_t nmeas = 0;          // measurements per scan
    timespec start{};
    double next_draw = 0;            // seconds after start
    bool drawn = false;
};

// Draws the first line at once when `on`.
void begin_progress(Progress& p, bool on, const scanner::ByteReader& scan, std::int32_t nmeas);

// Reading the clock costs about as much as a few measurements: once in 16 scans.
void update_progress(Progress& p, const scanner::ByteReader& scan);
inline void count_scan(Progress& p, const scanner::ByteReader& scan) {
    if (!p.on) return;
    ++p.scans;
    if (--p.countdown > 0) return;
    p.countdown = 16;
    update_progress(p, scan);
}

// Erases the line.
void end_progress(Progress& p);

}  // namespace morva::run
