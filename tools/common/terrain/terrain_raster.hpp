#pragma once
// The terrain model as a raster band: the triangulated ground sampled at
// every cell centre of a raster, row by row on every core.

#include <cstdint>

#include "grid.hpp"
#include "ground_index.hpp"
#include "terrain_triangulation.hpp"
#include "tiled_raster.hpp"

namespace morva::raster {

// Band `band` of raster (over g) set at every cell centre the triangulation
// gives a height; other cells keep the band's empty value. Tiles are stored
// as cells reach them. Rows of tiles are shared among `threads` threads (0:
// one per core); the values do not depend on their number.
void sample_terrain_band(const terrain::TerrainTriangulation& terrain, const RasterGeometry& g, TiledRaster& raster,
                         int band, unsigned threads = 0);

// The terrain model tile by tile: the raster's cells in square tiles, each
// sampled in the triangulation of the ground near it (its cells widened by
// max_edge) with the pits already removed from the
// ground, tiles on `threads` threads (0: one per core). Each cell holds what
// the triangulation of all the ground gives it, whatever the tiles and the
// threads.
struct TerrainTiling {
    double max_edge = 0;  // as TerrainTriangulation's; <= 0: one tile
    double side = 500;    // a tile's side (CRS units), rounded to whole tiles of the raster
    unsigned threads = 0;
};

void sample_terrain_tiles(const terrain::GroundIndex& ground, const RasterGeometry& g, TiledRaster& raster, int band,
                          const TerrainTiling& t);

std::uint64_t terrain_tile_count(const RasterGeometry& g, const TiledRaster& raster, const TerrainTiling& t);

// The most ground points a tile triangulates (with the margin of max_edge).
std::uint64_t largest_terrain_tile(const terrain::GroundIndex& ground, const RasterGeometry& g,
                                   const TiledRaster& raster, const TerrainTiling& t);

}  // namespace morva::raster
