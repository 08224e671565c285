#pragma once
// A raster as the GeoTIFF writer reads it: bands of cols x rows cells in
// square tiles, read a row's run of cells at a time, from wherever the
// values live (tiles in memory, or the accumulating grid itself, computed on
// reading so that the raster never exists whole). A tile the source does not
// hold has every cell at its band's empty value, and the writer need not
// read it.
//
// OverviewTiles is the next level of such a raster, half its size: a cell is
// the nearest of the four it covers, the one at odd row and column (2r + 1,
// 2c + 1; the last where the level's size is odd), which is GDAL's
// nearest-neighbour choice for a factor of two; a value of its band or its
// empty value, never a blend. Levels read through one another, so an
// overview costs no memory either.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace morva::raster {

// n copies of value, as floats or doubles (value_size 4 or 8), into out.
inline void fill_values(int value_size, double value, std::int64_t n, std::byte* out) {
    if (value_size == 4) {
        std::fill_n(reinterpret_cast<float*>(out), n, static_cast<float>(value));
    } else {
        std::fill_n(reinterpret_cast<double*>(out), n, value);
    }
}

struct CellWindow {
    std::int64_t row = 0, row_step = 1, rows = 0;
    std::int64_t col = 0, col_step = 1, cols = 0;
};

class TileSource {
public:
    TileSource(std::int64_t cols_, std::int64_t rows_, int side_, int value_size_, std::vector<double> empty_)
        : cols(cols_), rows(rows_), side(side_), value_size(value_size_), empty(std::move(empty_)),
          tiles_x((cols_ + side_ - 1) / side_), tiles_y((rows_ + side_ - 1) / side_),
          held_(static_cast<std::size_t>(tiles_x * tiles_y)) {}
    virtual ~TileSource() = default;

    std::int64_t cols, rows;
    int side;                    // cells a tile's side
    int value_size;              // bytes: 4 for float, 8 for double
    std::vector<double> empty;   // each band's value in a cell without points
    std::int64_t tiles_x, tiles_y;

    int bands() const { return static_cast<int>(empty.size()); }

    // False: every cell of the tile is its band's empty value.
    bool holds(std::int64_t tx, std::int64_t ty) const { return held_[static_cast<std::size_t>(ty * tiles_x + tx)] != 0; }

    // Band b's cells in a window, as floats or doubles (value_size): row
    // w.row + i w.row_step, column w.col + j w.col_step for i < w.rows,
    // j < w.cols, every one within the raster, into out + i line + j value_size.
    virtual void read(int b, const CellWindow& w, std::byte* out, std::ptrdiff_t line) const = 0;

    // n cells of band b's empty value into out.
    void fill_empty(int b, std::int64_t n, std::byte* out) const {
        fill_values(value_size, empty[static_cast<std::size_t>(b)], n, out);
    }

protected:
    std::vector<char> held_;  // what holds() answers, tiles_x * tiles_y row by row: filled by each source
};

class OverviewTiles final : public TileSource {
public:
    explicit OverviewTiles(const TileSource& level)
        : TileSource((level.cols + 1) / 2, (level.rows + 1) / 2, level.side, level.value_size, level.empty),
          level_(level) {
        for (std::int64_t ty = 0; ty < tiles_y; ++ty) {
            for (std::int64_t tx = 0; tx < tiles_x; ++tx) {
                bool any = false;
                for (std::int64_t sy = 2 * ty; sy < std::min(level.tiles_y, 2 * ty + 2); ++sy) {
                    for (std::int64_t sx = 2 * tx; sx < std::min(level.tiles_x, 2 * tx + 2); ++sx) any = any || level.holds(sx, sy);
                }
                held_[static_cast<std::size_t>(ty * tiles_x + tx)] = any;
            }
        }
    }

    void read(int b, const CellWindow& w, std::byte* out, std::ptrdiff_t line) const override {
        // Only the level's last row and column can be past its edge (an odd size).
        const bool last_row = w.rows > 0 && 2 * (w.row + (w.rows - 1) * w.row_step) + 1 > level_.rows - 1;
        const bool last_col = w.cols > 0 && 2 * (w.col + (w.cols - 1) * w.col_step) + 1 > level_.cols - 1;
        const std::int64_t rows = w.rows - last_row, cols = w.cols - last_col;
        const CellWindow inner{2 * w.row + 1, 2 * w.row_step, rows, 2 * w.col + 1, 2 * w.col_step, cols};
        std::byte* below = out + rows * line;
        std::byte* beside = out + cols * value_size;
        if (rows > 0 && cols > 0) level_.read(b, inner, out, line);
        if (last_col && rows > 0) level_.read(b, {inner.row, inner.row_step, rows, level_.cols - 1, 1, 1}, beside, line);
        if (last_row && cols > 0) level_.read(b, {level_.rows - 1, 1, 1, inner.col, inner.col_step, cols}, below, line);
        if (last_row && last_col) level_.read(b, {level_.rows - 1, 1, 1, level_.cols - 1, 1, 1}, below + cols * value_size, line);
    }

private:
    const TileSource& level_;
};

}  // namespace morva::raster
