#pragma once
// morva-grid as a library: the points of runs or LAS files gridded into an
// elevation model (a Cloud Optimized GeoTIFF, one band per statistic), with
// the program's options; its main only reads the command line into these.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "cell_stats.hpp"
#include "cog_writer.hpp"
#include "georef/geodesy.hpp"
#include "point_filter.hpp"

namespace morva::grid {

struct GridOptions {
    std::vector<std::string> inputs;
    std::string output;
    double resolution = 1;
    std::vector<Statistic> types = {Statistic::Min, Statistic::Max, Statistic::Mean, Statistic::Count, Statistic::Stdev};
    std::optional<double> radius;
    double max_edge = 50;  // dtm: cells in a triangle with a longer edge stay empty (CRS units)
    double dtm_tile = 0;   // dtm: side of the tiles triangulated at once (CRS units); 0: ten times max_edge
    int threads = 0;       // dtm: threads triangulating tiles (0: one per core)
    int fill = 0;
    double nodata = -9999;
    raster::DataType data_type = raster::DataType::Float32;
    raster::Compression compression = raster::Compression::Zstd;
    std::string crs;        // --crs, empty for the default
    std::string input_crs;  // --input-crs
    std::string vertical_crs;  // --vertical-crs
    std::string hillshade;
    std::optional<georef::Geodesy> geodesy;  // --geodesy, when given
    std::string metadata;                    // the run's record, when given
    std::uint64_t max_memory = 0;            // bytes the cells and the raster may take
    common::PointFilter filter;              // --classes, --returns
};

// Grids the inputs and writes the raster (and the shaded relief, when asked)
// all together when complete. A problem stops the run (text::stop_run) with
// one line and nothing written; memory that runs out stops it too.
void make_grid(const GridOptions& o);

}  // namespace morva::grid
