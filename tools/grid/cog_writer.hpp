#pragma once
// A raster written as a Cloud Optimized GeoTIFF through GDAL: the caller's
// band arrays seen as a MEM dataset (no copy), its overviews made there by
// nearest neighbour (a cell's value or nodata, never a blend across empty
// cells), copied by the COG driver (tiles of 512, DEFLATE level 1 without a
// predictor: the predictor cost more time than the 7 % of file it saves),
// under a temporary name in the output's folder renamed to the output's name
// once complete.

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
    // Bytes from one cell of a band to the next one east: 0 for the value's
    // size (each band an array of its own); bands x the value's size when the
    // bands lie interleaved cell by cell in one array, which GDAL copies fastest.
    std::size_t pixel_offset = 0;
};

// bands[k]: band k's first cell, rows north to south, each west to east
// (cols x rows values of float or double as request.type says, pixel_offset
// apart; nodata where empty).
// A GDAL failure stops with one line; no output is left.
void write_cog(const CogRequest& request, const std::vector<void*>& bands);

// The temporary file being written, for a stop or signal to remove; empty when none.
const std::string& cog_temporary();

}  // namespace morva::grid
