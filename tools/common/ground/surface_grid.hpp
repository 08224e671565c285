#pragma once
// A raster of heights over square cells, NaN where a cell has no value, and
// the neighbourhood operations the classifier builds its terrain model with.
// Every operation reads a bounded neighbourhood of each cell, so a cell's
// result depends only on the cells within a known distance: what lets tiles
// with margins give the same answer as one tile.
#include <cmath>
#include <cstddef>
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

// Lowest (erode) or highest (dilate) value of the valid cells in the square
// of the given radius around each cell; NaN where the square holds none.
void erode(const SurfaceGrid& in, int radius, SurfaceGrid& out);
void dilate(const SurfaceGrid& in, int radius, SurfaceGrid& out);
// erode(in, 1, out) in two plain passes: erosion by radius k is k erosions
// by radius 1, which the openings of growing radius take one at a time.
void erode_by_one(const SurfaceGrid& in, SurfaceGrid& out);

// Gives every empty cell the inverse-square-distance mean of the nearest
// valid cell along each of the eight grid directions, looking at most
// max_steps cells away; cells with none in reach stay empty.
void fill_gaps(SurfaceGrid& grid, int max_steps);

// The surface's slope (rise over run) at each cell from its neighbours,
// cell_size apart; 0 where no neighbour has a value.
void slope_of(const SurfaceGrid& grid, double cell_size, std::vector<double>& slope);

}  // namespace ground
