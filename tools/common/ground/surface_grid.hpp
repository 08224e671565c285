#pragma once
// A raster of heights over square cells, NaN where a cell has no value, and
// the neighbourhood operations the classifier builds its terrain model with.
// Every operation reads a bounded neighbourhood of each cell, so a cell's
// result depends only on the cells within a known distance: what lets tiles
// with margins give the same answer as one tile, and what lets the
// operations skip the cells far from any point.
#include <cmath>
#include <cstddef>
#include <functional>
#include <limits>
#include <vector>

namespace ground {

inline constexpr double kNoValue = std::numeric_limits<double>::quiet_NaN();

struct SurfaceGrid {
    int width = 0, height = 0;
    std::vector<double> z;  // row by row, NaN where empty
    double& at(int col, int row) { return z[std::size_t(row) * width + col]; }
    double at(int col, int row) const { return z[std::size_t(row) * width + col]; }
};

// The cells an operation computes: in row r, the columns [first[r], last[r])
// (none where first[r] >= last[r]). An operation given them reads every
// cell outside as empty and writes only inside: the caller keeps the cells
// outside empty (NaN) in every grid it passes, and an output grid of
// another size is made all empty first.
struct ActiveCells {
    std::vector<int> first, last;
};

// Every cell of a width x height grid.
ActiveCells every_cell(int width, int height);
// For each of `count` rows i, the columns active in any of the rows
// i + from .. i + to (those inside the grid): the span a pass must cover so
// that the rows within that distance have what they read.
ActiveCells rows_around(const ActiveCells& active, int from, int to, int count);

// Called with each output row once it is complete (while it is still in the cache).
using RowDone = std::function<void(int row)>;

// Lowest (erode) or highest (dilate) value of the valid cells in the square
// of the given radius around each cell; NaN where the square holds none.
void erode(const SurfaceGrid& in, int radius, SurfaceGrid& out, const ActiveCells& active,
           const RowDone& done = {});
void dilate(const SurfaceGrid& in, int radius, SurfaceGrid& out, const ActiveCells& active,
            const RowDone& done = {});
// erode(in, 1, out) in two plain passes: erosion by radius k is k erosions
// by radius 1, which the openings of growing radius take one at a time.
void erode_by_one(const SurfaceGrid& in, SurfaceGrid& out, const ActiveCells& active);

// Gives every empty cell the inverse-square-distance mean of the nearest
// valid cell along each of the eight grid directions, looking at most
// max_steps cells away; cells with none in reach stay empty. Given active
// cells, every valid cell's reach (max_steps around it) must lie inside them.
void fill_gaps(SurfaceGrid& grid, int max_steps, const ActiveCells& active);

// The surface's slope (rise over run) at each cell from its neighbours,
// cell_size apart; 0 where no neighbour has a value (and outside the
// active cells).
void slope_of(const SurfaceGrid& grid, double cell_size, std::vector<double>& slope, const ActiveCells& active);

// The same over every cell.
inline void erode(const SurfaceGrid& in, int radius, SurfaceGrid& out) {
    erode(in, radius, out, every_cell(in.width, in.height));
}
inline void dilate(const SurfaceGrid& in, int radius, SurfaceGrid& out) {
    dilate(in, radius, out, every_cell(in.width, in.height));
}
inline void erode_by_one(const SurfaceGrid& in, SurfaceGrid& out) {
    erode_by_one(in, out, every_cell(in.width, in.height));
}

}  // namespace ground
