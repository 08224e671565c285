#include "ground_index.hpp"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <tuple>

#include "text/stop.hpp"

namespace terrain {

namespace {
// The bin of a coordinate, one before the first or after the last beyond them.
std::int64_t bin_of(double v, double origin, double bin, std::int64_t count) {
    const double k = std::floor((v - origin) / bin);
    return static_cast<std::int64_t>(std::clamp(k, -1.0, static_cast<double>(count)));
}
}  // namespace

std::int64_t GroundIndex::bin_x(double px) const { return bin_of(px, ox, bin, cols); }

std::int64_t GroundIndex::bin_y(double py) const { return bin_of(py, oy, bin, rows); }

BinBox GroundIndex::box_over(double x0, double y0, double x1, double y1) const {
    BinBox b;
    b.bx0 = std::max<std::int64_t>(0, bin_x(x0)), b.by0 = std::max<std::int64_t>(0, bin_y(y0));
    b.bx1 = std::min(cols - 1, bin_x(x1)), b.by1 = std::min(rows - 1, bin_y(y1));
    // Bins at the index's edge hold everything beyond it too.
    b.x0 = b.bx0 == 0 ? -HUGE_VAL : ox + static_cast<double>(b.bx0) * bin;
    b.y0 = b.by0 == 0 ? -HUGE_VAL : oy + static_cast<double>(b.by0) * bin;
    b.x1 = b.bx1 == cols - 1 ? HUGE_VAL : ox + static_cast<double>(b.bx1 + 1) * bin;
    b.y1 = b.by1 == rows - 1 ? HUGE_VAL : oy + static_cast<double>(b.by1 + 1) * bin;
    return b;
}

std::uint64_t GroundIndex::points_in(const BinBox& b) const {
    std::uint64_t n = 0;
    for (std::int64_t by = b.by0; by <= b.by1; ++by) n += start[static_cast<std::size_t>(by * cols + b.bx1 + 1)] -
                                                          start[static_cast<std::size_t>(by * cols + b.bx0)];
    return n;
}

bool GroundIndex::row_span(const ScanShape& s, std::int64_t by, std::int64_t& c0, std::int64_t& c1) const {
    const double ya = oy + static_cast<double>(by) * bin, yb = ya + bin;
    double lo = -HUGE_VAL, hi = HUGE_VAL;
    if (!s.half_plane) {
        const double d = s.cy < ya ? ya - s.cy : s.cy > yb ? s.cy - yb : 0.0;
        if (d > s.r * (1 + 1e-9) + 1e-9) return false;
        const double w = std::sqrt(std::max(0.0, s.r * s.r - d * d)) * (1 + 1e-9) + 1e-6;
        lo = s.cx - w, hi = s.cx + w;
    } else if (s.a != 0) {
        // a x > c - b y over the row: beyond the smaller (a > 0) or short of the larger threshold.
        const double ta = (s.c - s.b * ya) / s.a, tb = (s.c - s.b * yb) / s.a;
        const double pad = 1e-6 * (1 + std::abs(ta) * 1e-9 + std::abs(tb) * 1e-9);
        if (s.a > 0) lo = std::min(ta, tb) - pad - bin;
        else hi = std::max(ta, tb) + pad + bin;
    }
    c0 = std::max<std::int64_t>(0, bin_x(lo)), c1 = std::min(cols - 1, bin_x(hi));
    return c0 <= c1;
}

GroundIndex index_ground(std::vector<double> x, std::vector<double> y, std::vector<double> z, double per_bin) {
    GroundIndex g;
    const std::size_t n = x.size();
    if (n >= (std::size_t{1} << 32)) morva::text::stop_run("*** more than 2^32 ground points in one terrain model");
    if (n == 0) {
        g.cols = g.rows = 1;
        g.start.assign(2, 0);
        return g;
    }
    const auto [xmin, xmax] = std::minmax_element(x.begin(), x.end());
    const auto [ymin, ymax] = std::minmax_element(y.begin(), y.end());
    const double w = *xmax - *xmin, h = *ymax - *ymin;
    // Square bins of per_bin points on average over the box, at most 2^24 of them.
    const double area = std::max(w * h, 1e-6);
    g.bin = std::max({std::sqrt(area * per_bin / static_cast<double>(n)), std::sqrt(area / double(1 << 24)),
                      std::max(w, h) * 1e-9, 1e-6});
    g.ox = *xmin, g.oy = *ymin;
    g.cols = static_cast<std::int64_t>(w / g.bin) + 1, g.rows = static_cast<std::int64_t>(h / g.bin) + 1;
    const auto cells = static_cast<std::size_t>(g.cols * g.rows);
    std::vector<std::uint32_t> cell(n);
    g.start.assign(cells + 1, 0);
    for (std::size_t i = 0; i < n; ++i) {
        cell[i] = static_cast<std::uint32_t>(g.bin_y(y[i]) * g.cols + g.bin_x(x[i]));
        ++g.start[cell[i] + 1];
    }
    std::partial_sum(g.start.begin(), g.start.end(), g.start.begin());
    std::vector<std::uint32_t> order(n);
    {
        std::vector<std::uint64_t> next(g.start.begin(), g.start.end() - 1);
        for (std::size_t i = 0; i < n; ++i) order[next[cell[i]]++] = static_cast<std::uint32_t>(i);
    }
    std::vector<std::uint32_t>().swap(cell);
    // Each bin's points by position, then height: a repeated position keeps
    // its lowest height, whatever the order the points came in.
    auto before = [&](std::uint32_t a, std::uint32_t b) { return std::tie(x[a], y[a], z[a]) < std::tie(x[b], y[b], z[b]); };
    std::vector<std::uint64_t> kept_start(cells + 1, 0);
    std::size_t kept = 0;
    for (std::size_t k = 0; k < cells; ++k) {
        kept_start[k] = kept;
        const auto first = order.begin() + static_cast<std::ptrdiff_t>(g.start[k]);
        const auto last = order.begin() + static_cast<std::ptrdiff_t>(g.start[k + 1]);
        std::sort(first, last, before);
        for (auto it = first; it != last; ++it) {
            if (it != first && x[*it] == x[*(it - 1)] && y[*it] == y[*(it - 1)]) continue;
            order[kept++] = *it;
        }
    }
    kept_start[cells] = kept;
    g.start = std::move(kept_start);
    order.resize(kept);
    auto take = [&](std::vector<double>& v) {
        std::vector<double> sorted(kept);
        for (std::size_t i = 0; i < kept; ++i) sorted[i] = v[order[i]];
        v = std::vector<double>();
        return sorted;
    };
    g.x = take(x), g.y = take(y), g.z = take(z);
    g.alive.assign(kept, 1);
    return g;
}

void gather(const GroundIndex& g, const BinBox& b, std::vector<double>& x, std::vector<double>& y,
            std::vector<double>& z, std::vector<std::uint32_t>& ids) {
    for (std::int64_t by = b.by0; by <= b.by1; ++by) {
        const std::uint64_t i0 = g.start[static_cast<std::size_t>(by * g.cols + b.bx0)];
        const std::uint64_t i1 = g.start[static_cast<std::size_t>(by * g.cols + b.bx1 + 1)];
        for (std::uint64_t i = i0; i < i1; ++i) {
            if (!g.alive[i]) continue;
            x.push_back(g.x[i]), y.push_back(g.y[i]), z.push_back(g.z[i]);
            ids.push_back(static_cast<std::uint32_t>(i));
        }
    }
}

}  // namespace terrain
