#pragma once
// The ground points sorted into small square bins, so that a piece of the
// terrain model triangulates only the points near it, and can ask whether
// any point beyond what it holds lies within a circle or beyond a line
// (then its triangles there may not be those of all the points). Points can
// be marked removed (pits); a repeated position is kept once, with its
// lowest height.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace terrain {

// A box of bins, first to last inclusive, and the area they cover.
struct BinBox {
    std::int64_t bx0 = 0, by0 = 0, bx1 = -1, by1 = -1;
    double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    bool holds_bin(std::int64_t bx, std::int64_t by) const { return bx >= bx0 && bx <= bx1 && by >= by0 && by <= by1; }
};

// A shape a query scans: the closed disk (cx, cy, r) or, with `half_plane`,
// the points where a * x + b * y > c. Its rows of bins are bounded in x for
// the scan; the exact test of each point is the caller's.
struct ScanShape {
    bool half_plane = false;
    double cx = 0, cy = 0, r = 0;
    double a = 0, b = 0, c = 0;
};

struct GroundIndex {
    double bin = 1;              // a bin's side
    double ox = 0, oy = 0;       // the south-west corner of bin (0, 0)
    std::int64_t cols = 0, rows = 0;
    std::vector<std::uint64_t> start;  // rows * cols + 1: the first point of each bin, row by row
    std::vector<double> x, y, z;       // sorted by bin
    std::vector<std::uint8_t> alive;   // 0 once removed

    std::size_t size() const { return x.size(); }
    std::int64_t bin_x(double px) const;
    std::int64_t bin_y(double py) const;
    // The bins covering the box (x0, y0)-(x1, y1), clamped to the index.
    BinBox box_over(double x0, double y0, double x1, double y1) const;
    bool covers_all(const BinBox& b) const { return b.bx0 <= 0 && b.by0 <= 0 && b.bx1 >= cols - 1 && b.by1 >= rows - 1; }
    // Points in the box's bins (removed ones too: the caller skips them).
    std::uint64_t points_in(const BinBox& b) const;

    // Calls hit(i) for the live points outside `held` in bins the shape may
    // reach, until one returns true; returns whether one did.
    template <class Hit>
    bool any_beyond(const BinBox& held, const ScanShape& s, Hit hit) const {
        std::int64_t r0 = 0, r1 = rows - 1;
        if (!s.half_plane) r0 = std::max<std::int64_t>(0, bin_y(s.cy - s.r) - 1), r1 = std::min(rows - 1, bin_y(s.cy + s.r) + 1);
        for (std::int64_t by = r0; by <= r1; ++by) {
            std::int64_t c0 = 0, c1 = -1;
            if (!row_span(s, by, c0, c1)) continue;
            const bool row_held = by >= held.by0 && by <= held.by1;
            for (std::int64_t bx = c0; bx <= c1; ++bx) {
                if (row_held && bx >= held.bx0 && bx <= held.bx1) {
                    bx = held.bx1;
                    continue;
                }
                const std::size_t k = static_cast<std::size_t>(by * cols + bx);
                for (std::uint64_t i = start[k]; i < start[k + 1]; ++i) {
                    if (alive[i] && hit(static_cast<std::size_t>(i))) return true;
                }
            }
        }
        return false;
    }

private:
    // The columns of row `by` the shape may reach (false: none).
    bool row_span(const ScanShape& s, std::int64_t by, std::int64_t& c0, std::int64_t& c1) const;
};

// The index of the points (taken over), bins of about `per_bin` points on
// average over the points' box.
GroundIndex index_ground(std::vector<double> x, std::vector<double> y, std::vector<double> z, double per_bin = 4);

// The live points of the box's bins, appended with their positions in the index.
void gather(const GroundIndex& g, const BinBox& b, std::vector<double>& x, std::vector<double>& y,
            std::vector<double>& z, std::vector<std::uint32_t>& ids);

}  // namespace terrain
