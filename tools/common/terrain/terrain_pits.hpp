#pragma once
// The pits of the terrain model (TerrainTriangulation::remove_pits) found
// without triangulating every ground point at once: each point that may be
// one is judged in a small triangulation of the points around it, widened
// until its triangles are certainly those of the whole.

#include <cstddef>

#include "ground_index.hpp"

namespace terrain {

// Marks removed the points remove_pits(depth) would remove from the
// triangulation of all the index's live points, on `threads` threads (0: one
// per core); returns how many.
std::size_t remove_pits(GroundIndex& g, double depth, unsigned threads = 0);

}  // namespace terrain
