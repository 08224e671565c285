#pragma once
// The survey's points as morva-accuracy needs them, in one pass over every
// input: the ground points near the check points (class 2 of a LAS file; a
// run's scan points are classified here as morva-ground does), every ground
// point's height on a coarse raster for the picture's hillshade, and the
// density counts of the first or only returns.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "accuracy_options.hpp"
#include "checkpoints.hpp"
#include "density.hpp"
#include "point_source.hpp"

namespace accuracy {

// Mean ground height per cell of a coarse raster (NaN where none).
struct HeightRaster {
    double cell_size = 0;
    double west = 0, north = 0;
    std::size_t columns = 0, rows = 0;
    std::vector<double> height;  // row by row from the north
};

struct SurveyPoints {
    std::vector<double> x, y, z;     // the ground points within the check points' window
    std::uint64_t ground_points = 0; // every ground point read
    std::uint64_t points = 0;        // every point read (after the inputs' filters)
    DensityRaster density;
    HeightRaster terrain;            // only with a picture
    std::string crs_name, crs_id;    // the CRS the points were taken into
    std::string vertical;            // what the heights are
};

// The inputs, opened and checked (one coordinate system, one vertical system
// unless forced), and the CRS their points are compared in.
struct SurveyInputs {
    std::vector<morva::common::PointSource> sources;
    bool projected = false;          // LAS inputs in a projected CRS: compared in theirs
    std::string crs;                 // the projected CRS of the comparison (PROJ text); "utm": the inputs' zone
    std::vector<std::string> warnings;
};

SurveyInputs open_inputs(const AccuracyOptions& o);

// Reads every point; the check points (already in the comparison's CRS)
// decide the window of ground points kept.
SurveyPoints read_survey(const SurveyInputs& inputs, std::span<const CheckPoint> points, const AccuracyOptions& o);

}  // namespace accuracy
