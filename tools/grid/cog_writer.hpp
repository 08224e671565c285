#pragma once
// A raster written as a Cloud Optimized GeoTIFF through GDAL: the caller's
// band arrays seen as a MEM dataset (no copy), copied by the COG driver (tiles of 512, DEFLATE with the
// floating-point predictor, overviews), under a temporary name in the
// output's folder renamed to the output's name once complete.

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "grid.hpp"

namespace morva::grid {

enum class DataType { Float32, Float64 };

struct CogRequest {
    std::string output;
    RasterGeometry geometry;
    std::string wkt;                       // horizontal CRS
    DataType type = DataType::Float32;
    double nodata = -9999;
    std::vector<std::string> band_descriptions;
    std::vector<std::pair<std::string, std::string>> metadata;  // dataset metadata items (the vertical meaning...)
    std::string hillshade_png;             // when not empty: shaded relief of hillshade_band as PNG
    int hillshade_band = 1;
};

// bands[k]: band k's cells, rows north to south, each west to east (cols x
// rows values of float or double as request.type says; nodata where empty).
// A GDAL failure stops with one line; no output is left.
void write_cog(const CogRequest& request, const std::vector<void*>& bands);

// The temporary file being written, for a stop or signal to remove; empty when none.
const std::string& cog_temporary();

}  // namespace morva::grid
