#pragma once
// What morva-accuracy is asked to do: its command line, read.

#include <cstdint>
#include <string>
#include <vector>

#include "accuracy_figures.hpp"
#include "point_filter.hpp"

namespace accuracy {

struct AccuracyOptions {
    std::string program_path;          // argv[0], to find the picture's script
    std::string checkpoints;           // the check points' CSV
    std::vector<std::string> inputs;   // run controls, LAS or LAZ files
    std::string checkpoint_crs;        // the check points' CRS; empty: the one their file names, else the inputs'
    std::string input_crs;             // the CRS of LAS inputs that state none
    AccuracyLimits limits = *quality_level("QL2");
    double max_edge = 5;               // metres
    double density_cell = 1;           // metres
    double required_share = 0.9;       // of the cells with data meeting the level's density
    std::size_t min_checkpoints = 20;  // fewest measured check points of a land cover for its figures to be judged
    bool force = false;                // check points and inputs in different CRSs: the check points are transformed
    morva::common::PointFilter filter; // --classes, --returns of LAS inputs (density)
    std::string json, csv, picture;
    std::uint64_t max_memory = 0;      // 0: three quarters of the memory available
};

}  // namespace accuracy
