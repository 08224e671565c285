#pragma once
// A raster written as a Cloud Optimized GeoTIFF through GDAL: filled in a
// MEM dataset, then copied by the COG driver (tiles of 512, DEFLATE with the
// floating-point predictor, overviews), under a temporary name in the
// output's folder renamed to the output's name once complete.

#include <cstdint>
#include <functional>
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
    std::string hillshade_png;             // when not empty: shaded relief of band 1 as PNG
};

// row_values(band, row, values): fills values[0..cols) of one row of one band
// (nodata where empty). Rows are asked north to south, band by band within a
// row. A GDAL failure stops with one line; no output is left.
void write_cog(const CogRequest& request,
               const std::function<void(std::size_t band, std::int64_t row, double* values)>& row_values);

// The temporary file being written, for a stop or signal to remove; empty when none.
const std::string& cog_temporary();

}  // namespace morva::grid
