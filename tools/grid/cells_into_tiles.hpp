#pragma once
// An accumulating grid's cells written into a raster's tiles as values:
// every raster tile an accumulator tile overlaps is stored first, on the
// calling thread; two threads then fill alternate accumulator tiles' cells
// (no cell is written by both), and the raster tiles no cell reached are
// unstored again.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <thread>
#include <utility>
#include <vector>

#include "grid.hpp"
#include "tiled_raster.hpp"

namespace morva::grid {

// write(cell, tile, offset of the cell in each band of the tile) for every
// non-empty cell of grid, which must lie within g.
template <class Cell, class Write>
void cells_into_tiles(const TiledGrid<Cell>& grid, const RasterGeometry& g, TiledRaster& raster, Write&& write) {
    const int side = raster.side;
    std::vector<std::pair<CellIndex, const Cell*>> tiles;
    grid.for_each_tile([&](CellIndex first, const Cell* cells) { tiles.emplace_back(first, cells); });
    std::vector<char> stored_before(raster.tiles.size()), needed(raster.tiles.size());
    for (std::size_t t = 0; t < raster.tiles.size(); ++t) stored_before[t] = raster.tiles[t] != nullptr;
    for (const auto& [first, cells] : tiles) {
        const std::int64_t col0 = std::max<std::int64_t>(0, first.ix - g.ix0);
        const std::int64_t col1 = std::min(g.cols - 1, first.ix + kTileSide - 1 - g.ix0);
        const std::int64_t row0 = std::max<std::int64_t>(0, g.iy1 - (first.iy + kTileSide - 1));
        const std::int64_t row1 = std::min(g.rows - 1, g.iy1 - first.iy);
        for (std::int64_t ty = row0 / side; ty <= row1 / side; ++ty) {
            for (std::int64_t tx = col0 / side; tx <= col1 / side; ++tx) needed[static_cast<std::size_t>(ty * raster.tiles_x + tx)] = 1;
        }
    }
    std::vector<std::size_t> store;
    for (std::size_t t = 0; t < needed.size(); ++t) {
        if (needed[t]) store.push_back(t);
    }
    raster.store(store);
    std::vector<char> reached[2] = {std::vector<char>(raster.tiles.size()), std::vector<char>(raster.tiles.size())};
    auto part = [&](std::size_t which) {
        for (std::size_t t = which; t < tiles.size(); t += 2) {
            const auto& [first, cells] = tiles[t];
            for (std::size_t k = 0; k < kTileSide * kTileSide; ++k) {
                if (cells[k].empty()) continue;
                const CellIndex c = TiledGrid<Cell>::cell_at(first, k);
                const std::int64_t row = g.iy1 - c.iy, col = c.ix - g.ix0;
                const auto at_tile = static_cast<std::size_t>((row / side) * raster.tiles_x + col / side);
                reached[which][at_tile] = 1;
                write(cells[k], raster.tiles[at_tile], static_cast<std::size_t>((row % side) * side + col % side));
            }
        }
    };
    std::thread other(part, 1);
    part(0);
    other.join();
    for (std::size_t t = 0; t < raster.tiles.size(); ++t) {
        if (!stored_before[t] && !reached[0][t] && !reached[1][t]) raster.tiles[t] = nullptr;
    }
}

}  // namespace morva::grid
