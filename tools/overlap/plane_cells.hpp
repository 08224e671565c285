#pragma once
// Per-cell sums of one strip's points, from which the plane through the
// strip's own points in each cell is fitted: z = z0 + c + a x + b y with x, y
// from the cell's centre and z0 the cell's first height (so that the sums stay
// small and exact enough at survey heights).

#include <cstdint>
#include <vector>

namespace morva::overlap {

struct CellSums {
    std::uint32_t n = 0;
    double z0 = 0;
    double sx = 0, sy = 0, sz = 0, sxx = 0, sxy = 0, syy = 0, sxz = 0, syz = 0, szz = 0;
};

// A window of the campaign grid: cells [col0, col0 + cols) x [row0, row0 + rows)
// where cell (c, r) covers x in [c res, (c+1) res), y in [r res, (r+1) res).
struct Window {
    std::int64_t col0 = 0, row0 = 0, cols = 0, rows = 0;
};

struct StripCells {
    Window window;
    double resolution = 2;
    std::vector<CellSums> cells;  // row-major from row0, col0
};

void reset(StripCells& s, const Window& w, double resolution);

// Adds one projected point; a point outside the window is not added (false).
inline bool add_point(StripCells& s, double x, double y, double z) {
    const double fc = x / s.resolution, fr = y / s.resolution;
    const auto c = static_cast<std::int64_t>(fc >= 0 ? fc : fc - 1) - s.window.col0;
    const auto r = static_cast<std::int64_t>(fr >= 0 ? fr : fr - 1) - s.window.row0;
    if (c < 0 || r < 0 || c >= s.window.cols || r >= s.window.rows) return false;
    CellSums& k = s.cells[static_cast<std::size_t>(r * s.window.cols + c)];
    const double lx = x - (static_cast<double>(c + s.window.col0) + 0.5) * s.resolution;
    const double ly = y - (static_cast<double>(r + s.window.row0) + 0.5) * s.resolution;
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
