#pragma once
// The terrain model (the dtm band): the ground points triangulated and
// sampled at every cell centre. The ground is a LAS or LAZ input's class 2
// points, read in a pass of their own, and a run's scan points (which carry
// no classes) gathered during the grid's pass and classified once it is
// done (the ground classifier with its default setting).

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "cell_stats.hpp"
#include "grid.hpp"
#include "point_pass.hpp"
#include "point_source.hpp"
#include "projection.hpp"
#include "tiled_raster.hpp"

namespace morva::grid {

// The memory a ground point takes in a tile's triangulation while it is
// built (its vertex, two faces, the sorted copy inserted, the allocator's
// slack), from the peak of 2 million points of a scene with CGAL 5.5.
inline constexpr std::uint64_t kTriangulationBytesPerPoint = 300;
// ... in the ground's index while it is sorted (the gathered arrays, each
// point's bin and place, a sorted copy of one array) ...
inline constexpr std::uint64_t kIndexBytesPerPoint = 24 + 8 + 4 + 8;
// ... and once sorted (position, height, whether removed; the bins).
inline constexpr std::uint64_t kIndexedBytesPerPoint = 24 + 1 + 2;
// ... and a scan point gathered for the classifier (easting, northing,
// height, its class).
inline constexpr std::uint64_t kGatheredBytesPerPoint = 25;

// The points of the scan-point inputs, gathered block by block in the pass.
struct GroundGathering {
    std::vector<double> x, y, z;
    void reserve(std::size_t points);
    void add(const raster::ProjectedBlock& b, const std::vector<common::PointSource>& sources);
};

struct TerrainRequest {
    const std::vector<Statistic>* types = nullptr;  // the raster's bands; each dtm band is set
    double max_edge = 50;        // cells in a triangle with a longer edge stay empty
    double tile_side = 0;        // of the tiles triangulated at once (CRS units); 0: ten times max_edge
    unsigned threads = 0;        // 0: one per core
    std::string output;          // the raster, for messages
    std::uint64_t in_use = 0;    // bytes the raster takes meanwhile
    std::uint64_t max_memory = 0;
};

// Every dtm band of raster (over g) set from the ground of the inputs: the
// gathered points classified (their memory reused) and the class 2 points
// of the LAS inputs, projected as `projection` says (not withheld, of the
// --source-id when one is given; --classes and --returns choose the points
// of the other bands). Ground points lying more than the classifier's
// low-noise depth below every neighbour in the triangulation are left out.
// The ground is triangulated tile by tile (memory bounded by the tile, the
// tiles on every core), each cell as the triangulation of all of it gives.
// Stops with one line when fewer than three ground points remain, or the
// tiles would take more memory than allowed.
void add_terrain_bands(GroundGathering& gathered, const std::vector<common::PointSource>& sources,
                       const common::ProjectionRequest& projection, const TerrainRequest& request,
                       const raster::RasterGeometry& g, raster::TiledRaster& raster);

}  // namespace morva::grid
