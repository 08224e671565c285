#pragma once
// The tiles the classifier works in: squares of cells starting at the first
// cell the points span, each read with a margin around it. Shared by the
// in-memory classifier and morva-ground's tiles spilled to disk, which must
// cut the points alike to give the same classes.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <thread>
#include <vector>

#include "ground_tile.hpp"

namespace ground {

inline std::int64_t floor_div(std::int64_t a, std::int64_t b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }

// The cell of a coordinate on the global lattice.
inline std::int64_t cell_of(double coordinate, double cell_size) {
    return std::int64_t(std::floor(coordinate / cell_size));
}

// The class a point keeps as it is: noise (7, 18) always, and with
// keep_existing every class above ground; 0 for a point the method classifies.
inline std::uint8_t kept_class(std::uint8_t existing, bool keep_existing) {
    if (existing == 7 || existing == 18) return existing;
    return keep_existing && existing > kGround ? existing : 0;
}

struct TileKey {
    std::int64_t row, col;
    auto operator<=>(const TileKey&) const = default;
};

struct TileLattice {
    std::int64_t tile_cells = 1;  // a tile's side
    std::int64_t margin = 0;      // cells read around a tile
    CellBox span;                 // the cells the points span

    TileKey key_of(std::int64_t col, std::int64_t row) const {
        return {floor_div(row - span.row0, tile_cells), floor_div(col - span.col0, tile_cells)};
    }
    // The tile's own cells.
    CellBox core(TileKey key) const {
        return {span.col0 + key.col * tile_cells, span.row0 + key.row * tile_cells,
                span.col0 + (key.col + 1) * tile_cells, span.row0 + (key.row + 1) * tile_cells};
    }
    // Its cells and margin: the points read for it.
    CellBox wide(TileKey key) const {
        const CellBox c = core(key);
        return {c.col0 - margin, c.row0 - margin, c.col1 + margin, c.row1 + margin};
    }
    // The grid: the margin cut to the cells all the points span (the same
    // for every tiling: a grid cut to the tile's own points would lose cells
    // that the gap filling gives values, and the slopes beside them, at its edge).
    CellBox region(TileKey key) const {
        const CellBox w = wide(key);
        return {std::max(w.col0, span.col0), std::max(w.row0, span.row0), std::min(w.col1, span.col1),
                std::min(w.row1, span.row1)};
    }
    // The tiles whose margin holds a cell: rows row0..row1, columns col0..col1.
    struct Readers {
        std::int64_t row0, row1, col0, col1;
        bool operator==(const Readers&) const = default;
    };
    Readers readers_of(std::int64_t col, std::int64_t row) const {
        return {floor_div(row - span.row0 - margin, tile_cells), floor_div(row - span.row0 + margin, tile_cells),
                floor_div(col - span.col0 - margin, tile_cells), floor_div(col - span.col0 + margin, tile_cells)};
    }
    // Tiles whose margin reaches a tile, on each side.
    std::int64_t reach() const { return (margin + tile_cells - 1) / tile_cells; }
};

// No cells yet: grows with every point's cell.
inline CellBox empty_span() { return {INT64_MAX, INT64_MAX, INT64_MIN, INT64_MIN}; }
inline void grow(CellBox& span, std::int64_t col, std::int64_t row) {
    span.col0 = std::min(span.col0, col);
    span.row0 = std::min(span.row0, row);
    span.col1 = std::max(span.col1, col + 1);
    span.row1 = std::max(span.row1, row + 1);
}

inline TileLattice tile_lattice(const GroundSettings& settings, const CellBox& span) {
    return {std::max<std::int64_t>(1, std::llround(settings.tile_size / settings.cell_size)),
            reach_in_cells(settings), span};
}

// Threads working on `tiles` tiles: --threads, or one per core, at most one a tile.
inline unsigned tile_threads(unsigned wanted, std::size_t tiles) {
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    return unsigned(std::min<std::size_t>(wanted ? wanted : cores, tiles));
}

}  // namespace ground
