#pragma once
// Filling the empty cells of a height band by inverse-distance weighting
// (weights 1/d^2, d in cells) of the non-empty cells within a window.

#include <algorithm>
#include <cstdint>
#include <utility>
#include <vector>

#include "tiled_raster.hpp"

namespace morva::grid {

// Every tile within one tile of a stored one stored too, so that a fill of
// fewer cells than a tile's side reaches every cell it may.
inline void store_neighbours(raster::TiledRaster& r) {
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
//
// Each stored tile is read once with a margin of n cells into a window, and
// each row of the window knows its next non-empty cell, so that an empty
// cell visits only the non-empty cells within its circle (and each row of
// it once): the work follows the cells, not n squared per cell. The sums
// run in the rule's order (rows, then columns, each from -n to n), so every
// value is the one the rule's plain double loop gives, to the last bit.
template <class Value>
void fill_empty(raster::TiledRaster& r, int b, Value nodata, int n) {
    const std::int64_t s = r.side;
    const std::int64_t w = s + 2 * std::int64_t{n};  // the window's side
    // half[a]: the largest column offset within the circle on row offset a.
    std::vector<std::int64_t> half(static_cast<std::size_t>(n) + 1);
    for (std::int64_t a = 0, c = n; a <= n; ++a) {
        while (a * a + c * c > std::int64_t{n} * n) --c;
        half[static_cast<std::size_t>(a)] = c;
    }
    std::vector<Value> window(static_cast<std::size_t>(w * w));
    std::vector<std::int32_t> next(static_cast<std::size_t>(w * (w + 1)));  // per row, w + 1 entries
    std::vector<std::pair<Value*, Value>> fills;
    for (std::int64_t ty = 0; ty < r.tiles_y; ++ty) {
        for (std::int64_t tx = 0; tx < r.tiles_x; ++tx) {
            std::byte* tile = r.find(tx, ty);
            if (tile == nullptr) continue;
            const std::int64_t top = ty * s - n, left = tx * s - n;  // the window's first row and column in the raster
            bool any = false;
            for (std::int64_t i = 0; i < w; ++i) {
                const std::int64_t row = top + i;
                Value* out = window.data() + i * w;
                std::int32_t* nx = next.data() + i * (w + 1);
                std::fill_n(out, w, nodata);
                if (row >= 0 && row < r.rows) {
                    for (std::int64_t j = 0; j < w;) {
                        const std::int64_t col = left + j;
                        const std::int64_t run = col < 0 ? -col : std::min(w - j, s - col % s);
                        if (col >= 0 && col < r.cols) {
                            if (const std::byte* from = r.find(col / s, row / s)) {
                                const Value* cells =
                                    raster::tile_band<Value>(r, const_cast<std::byte*>(from), b) + (row % s) * s + col % s;
                                std::copy_n(cells, std::min(run, r.cols - col), out + j);
                            }
                        }
                        j += run;
                    }
                }
                nx[w] = static_cast<std::int32_t>(w);
                for (std::int64_t j = w - 1; j >= 0; --j) {
                    const bool known = out[j] != nodata;
                    any = any || known;
                    nx[j] = known ? static_cast<std::int32_t>(j) : nx[j + 1];
                }
            }
            if (!any) continue;
            Value* cells = raster::tile_band<Value>(r, tile, b);
            for (std::int64_t row = ty * s; row < std::min(r.rows, (ty + 1) * s); ++row) {
                for (std::int64_t col = tx * s; col < std::min(r.cols, (tx + 1) * s); ++col) {
                    Value* cell = cells + (row % s) * s + col % s;
                    if (*cell != nodata) continue;
                    const std::int64_t wi = row - top, wj = col - left;
                    double weighted = 0, weights = 0;
                    for (std::int64_t dr = -n; dr <= n; ++dr) {
                        const std::int64_t reach = half[static_cast<std::size_t>(dr < 0 ? -dr : dr)];
                        const Value* values = window.data() + (wi + dr) * w;
                        const std::int32_t* nx = next.data() + (wi + dr) * (w + 1);
                        for (std::int64_t j = nx[wj - reach]; j <= wj + reach; j = nx[j + 1]) {
                            const std::int64_t dc = j - wj;
                            const auto d2 = static_cast<double>(dr * dr + dc * dc);
                            weighted += values[j] / d2;
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
