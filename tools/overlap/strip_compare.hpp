#pragma once
// What one strip's cells say (plane, smoothness, precision, flight line) and
// what two strips' planes say where they overlap: dz = A - B per smooth cell
// and its statistics.

#include <algorithm>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "flight_inputs.hpp"
#include "grid.hpp"
#include "plane_cells.hpp"

namespace morva::overlap {

struct SmoothCriteria {
    double max_roughness = 0.05;  // residual standard deviation of the cell's plane, m
    double max_slope_deg = 10;
    std::uint32_t min_points = 4;
    // The points must cover the cell: in no direction may they spread less
    // than half as widely as points filling it evenly (a standard deviation
    // of res / sqrt(12)); a plane from a sliver at the cell's edge, carried
    // to its centre, would show its slope's error as a height difference.
    static double min_spread(double resolution) { return resolution * resolution / 48.0; }
};

// Least-squares position against time over all the strip's points: the
// flight line's direction and its ends (first and last point times).
struct TrackSums {
    bool started = false;
    double t0 = 0, x0 = 0, y0 = 0;
    double n = 0, st = 0, stt = 0, sx = 0, sy = 0, stx = 0, sty = 0, t_min = 0, t_max = 0;
};

inline void add_track(TrackSums& s, double t, double x, double y) {
    if (!s.started) {
        s.started = true;
        s.t0 = t;
        s.x0 = x;
        s.y0 = y;
    }
    t -= s.t0;
    x -= s.x0;
    y -= s.y0;
    s.n += 1;
    s.st += t;
    s.stt += t * t;
    s.sx += x;
    s.sy += y;
    s.stx += t * x;
    s.sty += t * y;
    s.t_min = std::min(s.t_min, t);
    s.t_max = std::max(s.t_max, t);
}

struct Track {
    double cx = 0, cy = 0;        // centre of the points
    double ux = 0, uy = 1;        // unit direction of flight (east, north)
    double heading_deg = 0;       // clockwise from grid north
    double start_x = 0, start_y = 0, end_x = 0, end_y = 0;
};

// What a strip's cell keeps once its plane is fitted, for the cells holding
// its points only: memory follows the strip's points, not its box.
struct CellPlane {
    double height = 0;         // the plane's height at the cell's centre
    std::uint32_t n = 0;       // the strip's points in the cell
    std::uint8_t smooth = 0;   // enough points, flat enough, smooth enough
};

struct Strip {
    Flight flight;
    std::uint64_t points = 0;
    raster::RasterGeometry window;  // the box of the strip's cells
    double resolution = 2;
    CellTable cells;               // the cells holding the strip's points
    std::vector<CellPlane> planes; // per cell number
    std::vector<std::uint32_t> south_to_north;  // the cell numbers by row, each row west to east
    Track track;
    std::uint64_t cells_with_points = 0;
    std::uint64_t smooth_cells = 0;
    double precision = std::numeric_limits<double>::quiet_NaN();  // pooled residual standard deviation, smooth cells
};

// The strip's planes from its cells' sums (whose table it takes over).
void summarise(Strip& s, StripCells&& cells, const TrackSums& track, const SmoothCriteria& c);

// A pair's dz in a cell smooth in both strips.
struct CellDz {
    std::int32_t ix = 0, iy = 0;
    float dz = 0;
};

struct PairResult {
    std::size_t a = 0, b = 0;
    std::uint64_t overlap_cells = 0;   // cells holding points of both strips
    std::uint64_t smooth_cells = 0;    // of them, smooth in both
    double mean = 0, median = 0, std_dev = 0, rmsdz = 0, p95_abs = 0, max_abs = 0;
    double gradient_a = 0, gradient_b = 0;  // d(dz)/d(metres right of A's and of B's flight line)
    raster::RasterGeometry window;     // the box of the overlap's cells
    std::vector<CellDz> dz;            // per cell smooth in both, south to north, west to east
    std::string verdict;               // "pass", "fail", "not tested", or "" without limits
    std::string not_tested;            // why not, and what would test it
    double test_resolution = std::numeric_limits<double>::quiet_NaN();  // a resolution that would
};

// False when the strips share no cell.
bool compare(const Strip& A, const Strip& B, PairResult& r);

// Why a pair with too few smooth cells was not tested, and the resolution
// at which its strips' points would fill cells enough to test it.
void explain_not_tested(PairResult& r, const Strip& A, const Strip& B, const SmoothCriteria& c,
                        std::uint64_t min_smooth);

}  // namespace morva::overlap
