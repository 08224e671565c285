#pragma once
// Filling the empty cells of a height band by inverse-distance weighting
// (weights 1/d^2, d in cells) of the non-empty cells within a window.

#include <cmath>
#include <cstdint>
#include <utility>
#include <vector>

#include "cell_stats.hpp"
#include "tiled_raster.hpp"

namespace morva::grid {

inline bool is_height(Statistic s) {
    return s == Statistic::Min || s == Statistic::Max || s == Statistic::Mean || s == Statistic::Idw;
}

// Every tile within one tile of a stored one stored too, so that a fill of
// fewer cells than a tile's side reaches every cell it may.
inline void store_neighbours(TiledRaster& r) {
    std::vector<std::pair<std::int64_t, std::int64_t>> near;
    for (std::int64_t ty = 0; ty < r.tiles_y; ++ty) {
        for (std::int64_t tx = 0; tx < r.tiles_x; ++tx) {
            if (r.find(tx, ty) == nullptr) continue;
            for (std::int64_t y = std::max<std::int64_t>(0, ty - 1); y <= std::min(r.tiles_y - 1, ty + 1); ++y) {
                for (std::int64_t x = std::max<std::int64_t>(0, tx - 1); x <= std::min(r.tiles_x - 1, tx + 1); ++x) near.emplace_back(x, y);
            }
        }
    }
    for (const auto& [x, y] : near) r.make(x, y);
}

// Every cell of band b holding nodata that has a non-empty cell within n
// cells (a circle) takes their weighted mean; filled cells never feed
// others. n must be below the tiles' side, and the tiles near the stored
// ones stored (store_neighbours).
template <class Value>
void fill_empty(TiledRaster& r, int b, Value nodata, int n) {
    const int s = r.side;
    auto value_at = [&](std::int64_t col, std::int64_t row, Value& v) {
        if (col < 0 || row < 0 || col >= r.cols || row >= r.rows) return false;
        std::byte* tile = r.find(col / s, row / s);
        if (tile == nullptr) return false;
        v = tile_band<Value>(r, tile, b)[static_cast<std::size_t>((row % s) * s + col % s)];
        return v != nodata;
    };
    std::vector<std::pair<Value*, Value>> fills;
    for (std::int64_t ty = 0; ty < r.tiles_y; ++ty) {
        for (std::int64_t tx = 0; tx < r.tiles_x; ++tx) {
            std::byte* tile = r.find(tx, ty);
            if (tile == nullptr) continue;
            Value* cells = tile_band<Value>(r, tile, b);
            for (std::int64_t row = ty * s; row < std::min(r.rows, (ty + 1) * s); ++row) {
                for (std::int64_t col = tx * s; col < std::min(r.cols, (tx + 1) * s); ++col) {
                    Value* cell = cells + (row % s) * s + col % s;
                    if (*cell != nodata) continue;
                    double weighted = 0, weights = 0;
                    for (std::int64_t dr = -n; dr <= n; ++dr) {
                        for (std::int64_t dc = -n; dc <= n; ++dc) {
                            const auto d2 = static_cast<double>(dr * dr + dc * dc);
                            Value v;
                            if (d2 > static_cast<double>(n) * n || !value_at(col + dc, row + dr, v)) continue;
                            weighted += v / d2;
                            weights += 1 / d2;
                        }
                    }
                    if (weights > 0) fills.emplace_back(cell, static_cast<Value>(weighted / weights));
                }
            }
        }
    }
    for (const auto& [cell, v] : fills) *cell = v;
}

}  // namespace morva::grid
