#pragma once
// The conversion itself: a run's scan-point file streamed into a LAS file in
// one pass, under a temporary name in the output's folder that becomes the
// output's name only when the file is complete.

#include <cstdint>
#include <string>

#include "flight_time.hpp"
#include "las_format.hpp"

namespace morva::las {

struct ExportPlan {
    std::string scan_points;       // the run's scan-point file
    bool binary = false;           // 18-byte records; else text
    bool with_group_size = false;  // text records of an averaging run
    std::string output;
    TimeBase time;
    Header header;                 // the fixed fields; counts, bounds and offsets are filled here
    std::string wkt;
    std::string wkt_description;
    std::uint16_t point_source_id = 0;
};

struct ExportCounts {
    std::uint64_t points = 0;
    std::uint64_t not_points = 0;      // records skipped: no time or position, or a latitude beyond a pole
    std::uint64_t unknown_amplitude = 0;  // text amplitudes of asterisks, written as intensity 0
};

// Writes the file; a failure ends the process with a message on standard
// error, exit 1, and no output (see las_main.cpp for the ending).
ExportCounts export_las(const ExportPlan& plan);

// Why a file cannot be read, in words: "NAME does not exist or cannot be
// reached", "NAME is a folder" or "NAME cannot be read".
std::string unreadable(const std::string& path);

// The temporary file of the export in progress, for the ending to remove; empty when none.
const std::string& temporary_output();

}  // namespace morva::las
