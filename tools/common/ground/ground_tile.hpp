#pragma once
// The method on one tile: the points of a tile and its margin in, the classes
// of the tile's own points out.
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "ground_settings.hpp"

namespace ground {

// A rectangle of cells on the global lattice (cell (c, r) covers
// [c, c+1) x [r, r+1) times the cell size from the coordinates' origin).
struct CellBox {
    std::int64_t col0 = 0, row0 = 0, col1 = 0, row1 = 0;  // half-open
    bool holds(std::int64_t col, std::int64_t row) const {
        return col >= col0 && col < col1 && row >= row0 && row < row1;
    }
};

struct TileJob {
    CellBox region;               // the tile and its margin
    CellBox core;                 // the tile itself: the points classified here
    std::vector<std::uint32_t> ids;  // points inside the region
};

// How far, in cells, a cell's result reaches: the margin each tile reads.
int reach_in_cells(const GroundSettings& settings);

// A worker's grids, kept from one tile to the next and freed with it.
struct TileGrids;
struct TileWorkspace {
    std::unique_ptr<TileGrids> grids;
    TileWorkspace();
    ~TileWorkspace();
};

// Classifies the job's points inside its core into classes[id].
void classify_tile(const Points& points, std::span<const std::int64_t> cols,
                   std::span<const std::int64_t> rows, const TileJob& job,
                   const GroundSettings& settings, std::span<std::uint8_t> classes, TileWorkspace& workspace);

}  // namespace ground
