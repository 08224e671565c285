#pragma once
// A raster written as a Cloud Optimized GeoTIFF through GDAL: the caller's
// tile source seen by GDAL as a dataset of its own (no copy of the raster),
// with overviews read through it at half size each (nearest neighbour: a
// cell's value or nodata, never a blend across empty cells), written by
// GDAL's GeoTIFF driver in the cloud-optimized layout (the overviews copied
// in, every directory before the data, smallest overview first), band by
// band in tiles of 256 cells, ZSTD or DEFLATE level 1 without a predictor
// (the predictor cost more time than it saved). A tile of a band in which
// every cell is nodata is left out of the file (readers see nodata there),
// so time and file follow the area the points cover, not the raster's box;
// band by band because GDAL's COG driver (3.6) writes the bands of a cell
// together, and a count band (0 where empty) would then keep every tile.
// Written to a staged temporary the caller gives (common::StagedFiles), or,
// without one, staged here and put in place once complete.

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "grid.hpp"
#include "tile_source.hpp"

namespace morva::raster {

enum class DataType { Float32, Float64 };

// ZSTD level 1 writes in a third less time than DEFLATE level 1 for files a
// fifth larger; DEFLATE is what every TIFF reader decodes.
enum class Compression { Zstd, Deflate };

// The side of the file's tiles, in cells: a source given to write_cog has tiles of this side.
inline constexpr int kCogTileSide = 256;

struct CogRequest {
    std::string output;                    // the raster's name, as the user gave it
    std::string path;                      // where to write it (a staged temporary); empty: output, staged here
    RasterGeometry geometry;
    std::string wkt;                       // the CRS: horizontal, or compound with the heights' vertical CRS (GDAL writes its vertical keys)
    DataType type = DataType::Float32;
    Compression compression = Compression::Zstd;
    double nodata = -9999;
    std::vector<std::string> band_descriptions;
    std::vector<std::pair<std::string, std::string>> metadata;  // dataset metadata items (the vertical meaning...)
    // When not empty: a shaded relief of hillshade_band, a GeoTIFF when its
    // name ends in .tif or .tiff, else a PNG with a world file beside it
    // (hillshade_world_file); both written to the staged temporaries given.
    std::string hillshade;
    std::string hillshade_path;
    std::string hillshade_world_file_path;
    int hillshade_band = 1;
};

// Whether a shaded relief of this name is written as a GeoTIFF (.tif, .tiff).
bool hillshade_is_geotiff(const std::string& name);

// The world file beside a PNG shaded relief: its name with the extension .pgw.
std::string hillshade_world_file(const std::string& name);

// raster: geometry's cols x rows, tiles of kCogTileSide, values of the
// request's type. A GDAL failure stops with one line; no output is left.
void write_cog(const CogRequest& request, const TileSource& raster);

// The same from whole bands (bands[k]: cols x rows values, rows north to
// south, each west to east; nodata where empty), for small rasters.
void write_cog(const CogRequest& request, const std::vector<void*>& bands);

}  // namespace morva::raster
