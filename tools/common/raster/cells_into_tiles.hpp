#pragma once
// An accumulating grid's cells written into a raster's tiles as values.
// cells_into_tiles: every raster tile an accumulator tile overlaps is stored
// first, on the calling thread; two threads then fill alternate accumulator
// tiles' cells (no cell is written by both), and the raster tiles no cell
// reached are unstored again. cells_into_own_tiles: the raster's tiles are
// the grid's, rewritten in place, where a cell's room holds its values.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <thread>
#include <utility>
#include <vector>

#include "grid.hpp"
#include "tiled_raster.hpp"

namespace morva::raster {

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

// Whether a cell's room holds its values in every band (value_size bytes each).
template <class Cell>
constexpr bool values_fit_in_cells(int value_size, std::size_t bands) {
    return static_cast<std::size_t>(value_size) * bands <= sizeof(Cell);
}

// A raster over g whose tiles follow the accumulating grid's: tiles of the
// grid's side and alignment, so that each grid tile becomes one of its tiles.
inline TiledRaster raster_in_grid_tiles(const RasterGeometry& g, int value_size, std::vector<double> empty) {
    const std::int64_t col_shift = g.ix0 & (kTileSide - 1);
    const std::int64_t row_shift = (kTileSide - 1) - (g.iy1 & (kTileSide - 1));
    return TiledRaster(g.cols, g.rows, static_cast<int>(kTileSide), value_size, std::move(empty), col_shift, row_shift);
}

// cells_into_tiles without memory of the raster's own: each tile of grid is
// copied aside and its memory rewritten as a tile of raster (from
// raster_in_grid_tiles over g, every band's values fitting in the cells'
// room), every cell empty, then write(cell, tile, offset) for the non-empty
// ones; on two threads, alternate tiles each. Memory touched for the first
// time is dear, and the tiles' values stay where the cells were read. The
// grid must outlive the raster, and holds no cells any more.
template <class Cell, class Write>
void cells_into_own_tiles(TiledGrid<Cell>& grid, const RasterGeometry& g, TiledRaster& raster, Write&& write) {
    constexpr std::size_t kCells = kTileSide * kTileSide;
    std::vector<std::pair<CellIndex, Cell*>> tiles;
    grid.for_each_tile([&](CellIndex first, Cell* cells) { tiles.emplace_back(first, cells); });
    const std::int64_t tile_x0 = g.ix0 >> kTileBits, tile_y1 = g.iy1 >> kTileBits;
    auto part = [&](std::size_t which) {
        std::vector<Cell> aside(kCells);
        for (std::size_t t = which; t < tiles.size(); t += 2) {
            const auto& [first, cells] = tiles[t];
            std::memcpy(static_cast<void*>(aside.data()), cells, sizeof(Cell) * kCells);
            auto* tile = reinterpret_cast<std::byte*>(cells);
            for (std::size_t b = 0; b < raster.empty.size(); ++b) raster.fill_empty_band(tile + b * raster.band_bytes(), b);
            for (std::size_t k = 0; k < kCells; ++k) {
                if (aside[k].empty()) continue;
                const CellIndex c = TiledGrid<Cell>::cell_at({0, 0}, k);  // within the tile
                write(aside[k], tile, static_cast<std::size_t>((kTileSide - 1 - c.iy) * kTileSide + c.ix));
            }
            const std::int64_t tx = (first.ix >> kTileBits) - tile_x0, ty = tile_y1 - (first.iy >> kTileBits);
            raster.tiles[static_cast<std::size_t>(ty * raster.tiles_x + tx)] = tile;
        }
    };
    std::thread other(part, 1);
    part(0);
    other.join();
}

// cells_into_own_tiles where the raster is to live in the grid's tiles, else cells_into_tiles.
template <class Cell, class Write>
void cells_into_raster(TiledGrid<Cell>& grid, const RasterGeometry& g, TiledRaster& raster, bool in_place, Write&& write) {
    if (in_place) {
        cells_into_own_tiles(grid, g, raster, write);
    } else {
        cells_into_tiles(grid, g, raster, write);
    }
}

}  // namespace morva::raster
