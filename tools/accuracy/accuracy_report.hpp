#pragma once
// What morva-accuracy found, and everything it writes of it: the table on
// standard output, the JSON, the CSV and the picture's data.

#include <string>
#include <vector>

#include "accuracy_figures.hpp"
#include "accuracy_options.hpp"
#include "checkpoint_heights.hpp"
#include "density.hpp"
#include "survey_points.hpp"

namespace accuracy {

struct AccuracyReport {
    const AccuracyOptions* options = nullptr;
    std::vector<CheckPoint> surveyed;          // as the file gives them
    std::vector<CheckPointHeight> heights;     // in the file's order, against the points in the comparison's CRS
    AccuracyFigures figures;
    std::vector<FigureVerdict> verdicts;
    DensityFigures density;
    std::string density_reason;
    SurveyPoints survey;
    std::string checkpoint_crs;                // as given or declared; empty: the inputs'
    std::string checkpoint_vertical;           // the heights' system their file names; empty: none named
    std::vector<std::string> warnings;
};

// 0 every verdict a pass; 3 a fail; 4 none fails but a figure is not tested.
int exit_status(const AccuracyReport& r);

std::string table_text(const AccuracyReport& r);
std::string json_text(const AccuracyReport& r);
std::string csv_text(const AccuracyReport& r);
// One line of JSON (the check points, the terrain raster's layout), then the
// terrain's mean ground heights as little-endian float64, row by row from the north.
std::string picture_data(const AccuracyReport& r);

}  // namespace accuracy
