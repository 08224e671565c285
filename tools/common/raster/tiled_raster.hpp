#pragma once
// A raster's values in square tiles, as the GeoTIFF stores them: a tile
// holds its cells band after band, rows north to south, each west to east;
// a tile in which every cell of every band is empty is not stored at all, so
// memory and work follow the area the points cover, not the raster's box.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <thread>
#include <vector>

#include "tile_arena.hpp"
#include "tile_source.hpp"

namespace morva::raster {

struct TiledRaster {
    std::int64_t cols = 0, rows = 0;
    int side = 256;              // cells a tile's side
    int value_size = 4;          // bytes: 4 for float, 8 for double
    std::vector<double> empty;   // each band's value in a cell without points
    // The raster's first column and row lie this far into the first tile
    // (0 up to side - 1): tiles may follow another alignment than the
    // raster's, e.g. the accumulating grid's. Raster column c lies in tile
    // column (c + col_shift) / side.
    std::int64_t col_shift = 0, row_shift = 0;
    std::int64_t tiles_x = 0, tiles_y = 0;
    std::vector<std::byte*> tiles;  // tiles_x * tiles_y, row by row; null: every cell empty
    TileArena arena;

    TiledRaster() = default;
    TiledRaster(std::int64_t cols_, std::int64_t rows_, int side_, int value_size_, std::vector<double> empty_,
                std::int64_t col_shift_ = 0, std::int64_t row_shift_ = 0)
        : cols(cols_), rows(rows_), side(side_), value_size(value_size_), empty(std::move(empty_)),
          col_shift(col_shift_), row_shift(row_shift_),
          tiles_x((cols_ + col_shift_ + side_ - 1) / side_), tiles_y((rows_ + row_shift_ + side_ - 1) / side_),
          tiles(static_cast<std::size_t>(tiles_x * tiles_y), nullptr) {}

    int bands() const { return static_cast<int>(empty.size()); }
    std::size_t band_bytes() const { return static_cast<std::size_t>(side) * side * value_size; }
    std::byte* find(std::int64_t tx, std::int64_t ty) const { return tiles[static_cast<std::size_t>(ty * tiles_x + tx)]; }

    // The tile, stored with every cell empty when it was not.
    std::byte* make(std::int64_t tx, std::int64_t ty) {
        auto& t = tiles[static_cast<std::size_t>(ty * tiles_x + tx)];
        if (t == nullptr) {
            t = static_cast<std::byte*>(arena.take(band_bytes() * empty.size()));
            for (std::size_t b = 0; b < empty.size(); ++b) fill_empty_band(t + b * band_bytes(), b);
        }
        return t;
    }

    // Band b of a tile set to its empty value.
    void fill_empty_band(std::byte* out, std::size_t b) const { fill_values(value_size, empty[b], std::int64_t{side} * side, out); }

    // The tiles at these indices (row by row) stored with every cell empty,
    // the memory taken at once and filled on two threads.
    void store(const std::vector<std::size_t>& at) {
        std::vector<std::size_t> missing;
        for (std::size_t t : at) {
            if (tiles[t] == nullptr) missing.push_back(t);
        }
        const std::size_t bytes = band_bytes() * empty.size();
        auto* memory = static_cast<std::byte*>(arena.take(bytes * missing.size()));
        for (std::size_t i = 0; i < missing.size(); ++i) tiles[missing[i]] = memory + i * bytes;
        auto part = [&](std::size_t which) {
            for (std::size_t i = which; i < missing.size(); i += 2) {
                for (std::size_t b = 0; b < empty.size(); ++b) fill_empty_band(tiles[missing[i]] + b * band_bytes(), b);
            }
        };
        std::thread other(part, 1);
        part(0);
        other.join();
    }
};

// Band b's values in a stored tile, Value being float or double as value_size says.
template <class Value>
Value* tile_band(const TiledRaster& r, std::byte* tile, int b) {
    return reinterpret_cast<Value*>(tile + static_cast<std::size_t>(b) * r.band_bytes());
}

// A TiledRaster as the writer reads it, in tiles of a multiple of its own
// side (a source tile holds when any of the raster's tiles in it is stored).
class RasterTiles final : public TileSource {
public:
    RasterTiles(const TiledRaster& r, int side_)
        : TileSource(r.cols, r.rows, side_, r.value_size, r.empty), raster_(r) {
        // A shifted tile may straddle two of the source's.
        auto first = [&](std::int64_t t, std::int64_t shift) { return std::max<std::int64_t>(0, t * r.side - shift) / side_; };
        auto last = [&](std::int64_t t, std::int64_t shift, std::int64_t n) {
            return std::min(n - 1, (t + 1) * r.side - 1 - shift) / side_;
        };
        for (std::int64_t ty = 0; ty < r.tiles_y; ++ty) {
            for (std::int64_t tx = 0; tx < r.tiles_x; ++tx) {
                if (r.find(tx, ty) == nullptr) continue;
                for (std::int64_t y = first(ty, r.row_shift); y <= last(ty, r.row_shift, r.rows); ++y) {
                    for (std::int64_t x = first(tx, r.col_shift); x <= last(tx, r.col_shift, r.cols); ++x) {
                        held_[static_cast<std::size_t>(y * tiles_x + x)] = 1;
                    }
                }
            }
        }
    }

    // Stored tile by stored tile, so that each is read where it lies: row
    // by row across the window, every stored tile's row would be a jump.
    // Positions are worked out once a stored tile, not once a row.
    void read(int b, const CellWindow& w, std::byte* out, std::ptrdiff_t line) const override {
        const std::size_t size = static_cast<std::size_t>(value_size);
        const std::int64_t s = raster_.side;
        const std::size_t tile_line = static_cast<std::size_t>(s) * size;
        // Positions in the tiles' alignment.
        auto row_of = [&](std::int64_t i) { return w.row + raster_.row_shift + i * w.row_step; };
        auto col_of = [&](std::int64_t j) { return w.col + raster_.col_shift + j * w.col_step; };
        for (std::int64_t i0 = 0; i0 < w.rows;) {
            const std::int64_t r = row_of(i0);
            const std::int64_t i1 = std::min(w.rows, i0 + (s - 1 - r % s) / w.row_step + 1);  // the rows in this row of tiles
            for (std::int64_t j0 = 0; j0 < w.cols;) {
                const std::int64_t c = col_of(j0);
                const std::int64_t j1 = std::min(w.cols, j0 + (s - 1 - c % s) / w.col_step + 1);
                const std::int64_t n = j1 - j0, rows = i1 - i0;
                std::byte* to = out + i0 * line + static_cast<std::size_t>(j0) * size;
                const std::byte* tile = raster_.find(c / s, r / s);
                if (tile == nullptr) {
                    for (std::int64_t i = 0; i < rows; ++i) fill_empty(b, n, to + i * line);
                } else {
                    const std::byte* from = tile + static_cast<std::size_t>(b) * raster_.band_bytes() +
                                            static_cast<std::size_t>((r % s) * s + c % s) * size;
                    const std::size_t from_line = static_cast<std::size_t>(w.row_step) * tile_line;
                    if (w.col_step > 1) {
                        for (std::int64_t i = 0; i < rows; ++i, to += line, from += from_line) {
                            if (size == 4) {
                                strided(reinterpret_cast<const float*>(from), w.col_step, n, reinterpret_cast<float*>(to));
                            } else {
                                strided(reinterpret_cast<const double*>(from), w.col_step, n, reinterpret_cast<double*>(to));
                            }
                        }
                    } else if (static_cast<std::size_t>(n) * size == 128) {  // a whole row of a tile of 32 floats
                        copy_rows<128>(from, from_line, to, line, rows);
                    } else if (static_cast<std::size_t>(n) * size == 256) {  // of 32 doubles or 64 floats
                        copy_rows<256>(from, from_line, to, line, rows);
                    } else {
                        for (std::int64_t i = 0; i < rows; ++i, to += line, from += from_line) {
                            std::memcpy(to, from, static_cast<std::size_t>(n) * size);
                        }
                    }
                }
                j0 = j1;
            }
            i0 = i1;
        }
    }

private:
    // Rows of a size the compiler knows, copied inline.
    template <std::size_t kBytes>
    static void copy_rows(const std::byte* from, std::size_t from_line, std::byte* to, std::ptrdiff_t line, std::int64_t rows) {
        for (std::int64_t i = 0; i < rows; ++i, to += line, from += from_line) std::memcpy(to, from, kBytes);
    }

    template <class Value>
    static void strided(const Value* from, std::int64_t step, std::int64_t n, Value* to) {
        for (std::int64_t k = 0; k < n; ++k) to[k] = from[k * step];
    }

    const TiledRaster& raster_;
};

}  // namespace morva::raster
