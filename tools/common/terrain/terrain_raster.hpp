#pragma once
// The terrain model as a raster band: the triangulated ground sampled at
// every cell centre of a raster, row by row on every core.

#include "grid.hpp"
#include "terrain_triangulation.hpp"
#include "tiled_raster.hpp"

namespace morva::raster {

// Band `band` of raster (over g) set at every cell centre the triangulation
// gives a height; other cells keep the band's empty value. Tiles are stored
// as cells reach them. Rows of tiles are shared among `threads` threads (0:
// one per core); the values do not depend on their number.
void sample_terrain_band(const terrain::TerrainTriangulation& terrain, const RasterGeometry& g, TiledRaster& raster,
                         int band, unsigned threads = 0);

}  // namespace morva::raster
