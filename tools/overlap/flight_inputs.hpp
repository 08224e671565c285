#pragma once
// The flights to compare: found in a campaign folder (every folder holding a
// run.in) or named as run controls, each read with morva's own reader, its
// names taken relative to the run control's folder; and their scan points,
// streamed in chunks.

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "scan_point_records.hpp"

namespace morva::overlap {

struct Flight {
    std::string name;          // the path below the campaign, or the run control as given
    std::string run_control;
    std::string scan_points;   // path to open
    bool binary = false;
    bool with_group_size = false;
    std::string vertical;      // "ellipsoid" or "geoid grid NAME"
    std::string geodesy;       // "flat" or "ellipsoid": from the campaign's record or morva.err
    std::string morva_version; // from the campaign's record, or ""
    std::array<double, 3> misalignment{};  // pitch, roll, heading of the run control (degrees)
};

// Every flight of the arguments, in order; a missing flight, a run control
// without scan points or one morva would refuse ends with one line, exit 1.
std::vector<Flight> find_flights(const std::vector<std::string>& arguments);

struct GeoBounds {
    std::int32_t lon_min = INT32_MAX, lon_max = INT32_MIN, lat_min = INT32_MAX, lat_max = INT32_MIN;
    std::uint64_t points = 0;
    std::uint64_t not_points = 0;
};

// Calls `chunk` with consecutive decoded points (at most 65536 at a time).
void read_points(const Flight& f, const std::function<void(const las::ScanPoint*, std::size_t)>& chunk);

GeoBounds geographic_bounds(const Flight& f);

[[noreturn]] void fail(const std::string& message);

}  // namespace morva::overlap
