#pragma once
// Per-cell sums of one strip's points, from which the plane through the
// strip's own points in each cell is fitted: z = z0 + c + a x + b y with x, y
// from the cell's centre and z0 the cell's first height (so that the sums stay
// small and exact enough at survey heights).

#include <cstdint>
#include <vector>

#include "cell_table.hpp"
#include "grid.hpp"

namespace morva::overlap {

struct CellSums {
    std::uint32_t n = 0;
    double z0 = 0;
    double sx = 0, sy = 0, sz = 0, sxx = 0, sxy = 0, syy = 0, sxz = 0, syz = 0, szz = 0;
    bool empty() const { return n == 0; }
};

// A strip's cells on the campaign grid (morva-grid's: cell (ix, iy) covers
// easting [ix r, (ix + 1) r) and northing (iy r, (iy + 1) r]), only those
// holding points: sums[k] belongs to cell number k of the table.
struct StripCells {
    double resolution = 2;
    CellTable table;
    std::vector<CellSums> sums;
    explicit StripCells(double r) : resolution(r) {}
    std::uint64_t bytes() const { return table.bytes() + sums.capacity() * sizeof(CellSums); }
    // True when the next new cell makes the storage grow.
    bool full() const { return sums.size() == sums.capacity() || table.full(); }
    // What the next new cell would add when it makes the storage grow.
    std::uint64_t bytes_to_grow() const {
        return table.bytes_to_grow() + (sums.size() == sums.capacity() ? (sums.size() + 1) * sizeof(CellSums) : 0);
    }
};

// Adds one projected point to its cell; false (nothing added) for a point
// too far out for the grid's cell numbers.
inline bool add_point(StripCells& s, double e, double n, double z) {
    const double r = s.resolution;
    const raster::CellIndex c = raster::cell_of(e, n, r);
    if (!CellTable::fits(c)) return false;
    const std::uint32_t number = s.table.number(c);
    if (number == s.sums.size()) s.sums.emplace_back();
    CellSums& k = s.sums[number];
    const double lx = e - (static_cast<double>(c.ix) + 0.5) * r;
    const double ly = n - (static_cast<double>(c.iy) + 0.5) * r;
    if (k.n == 0) k.z0 = z;
    const double lz = z - k.z0;
    ++k.n;
    k.sx += lx;
    k.sy += ly;
    k.sz += lz;
    k.sxx += lx * lx;
    k.sxy += lx * ly;
    k.syy += ly * ly;
    k.sxz += lx * lz;
    k.syz += ly * lz;
    k.szz += lz * lz;
    return true;
}

struct Plane {
    bool fitted = false;    // at least 3 points in no line
    std::uint32_t n = 0;
    double height = 0;      // at the cell's centre
    double slope_x = 0, slope_y = 0;
    double residual_sq = 0; // sum of squared residuals
    double roughness = 0;   // residual standard deviation, sqrt(residual_sq / (n - 3)); 0 for n = 3
    double slope_deg = 0;
    double narrowest_spread = 0;  // smallest variance of the points' x, y in any direction, m²
};

Plane fit_plane(const CellSums& k);

}  // namespace morva::overlap
