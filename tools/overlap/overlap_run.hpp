#pragma once
// morva-overlap as a library: the comparison of a campaign's flights where
// their strips overlap, with the program's options; its main only reads the
// command line into these.

#include <cstdint>
#include <string>
#include <vector>

#include "limits.hpp"
#include "point_filter.hpp"
#include "strip_compare.hpp"

namespace morva::overlap {

struct OverlapOptions {
    std::vector<std::string> inputs;
    std::string crs, input_crs, csv, json, rasters, picture;
    common::PointFilter filter;  // --classes, --returns
    bool by_source_id = false;
    double resolution = 2;
    SmoothCriteria criteria;
    std::uint64_t min_smooth_cells = kMinSmoothCells;
    std::uint64_t max_memory = 0;  // 0: the machine's default bound
    Limits limits = *quality_level("QL2");
    bool custom_limits = false;
    bool force = false;
    std::string program_path;  // argv[0]: the picture's script is found beside it
};

// Compares the flights, writes the outputs asked for (all together, when
// complete) and prints the table; returns the exit status (0, 3 or 4, as
// the help tells). A flight that cannot be used stops the run.
int compare_flights(const OverlapOptions& o);

}  // namespace morva::overlap
