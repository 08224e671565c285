#include "surface_grid.hpp"

#include <algorithm>
#include <cstdint>

namespace ground {
namespace {

// Running extreme of a strided line over a window of +-radius, ignoring NaN:
// a monotone queue of indices, linear in the line's length.
template <class Better>
void running_extreme(const double* in, double* out, int n, std::ptrdiff_t stride, int radius,
                     std::vector<int>& queue, Better better) {
    int head = 0, tail = 0;
    for (int i = 0; i < n + radius; ++i) {
        if (i < n) {
            const double v = in[i * stride];
            if (!std::isnan(v)) {
                while (tail > head && !better(in[queue[tail - 1] * stride], v)) --tail;
                queue[tail++] = i;
            }
        }
        const int j = i - radius;
        if (j < 0) continue;
        while (tail > head && queue[head] < j - radius) ++head;
        out[j * stride] = tail > head ? in[queue[head] * stride] : kNoValue;
    }
}

template <class Better>
void square_extreme(const SurfaceGrid& in, int radius, SurfaceGrid& out, Better better) {
    SurfaceGrid rows{in.width, in.height, std::vector<double>(in.z.size())};
    std::vector<int> queue(std::max(in.width, in.height) + 1);
    for (int r = 0; r < in.height; ++r)
        running_extreme(&in.z[std::size_t(r) * in.width], &rows.z[std::size_t(r) * in.width],
                        in.width, 1, radius, queue, better);
    out.width = in.width;
    out.height = in.height;
    out.z.resize(in.z.size());
    for (int c = 0; c < in.width; ++c)
        running_extreme(&rows.z[c], &out.z[c], in.height, in.width, radius, queue, better);
}

}  // namespace

void erode(const SurfaceGrid& in, int radius, SurfaceGrid& out) {
    square_extreme(in, radius, out, [](double kept, double v) { return kept < v; });
}

void dilate(const SurfaceGrid& in, int radius, SurfaceGrid& out) {
    square_extreme(in, radius, out, [](double kept, double v) { return kept > v; });
}

void fill_gaps(SurfaceGrid& grid, int max_steps) {
    const int w = grid.width, h = grid.height;
    const std::size_t n = grid.z.size();
    std::vector<double> weighted(n, 0.0), weights(n, 0.0);
    std::vector<double> near_value(n), near_steps(n);
    static const int directions[8][2] = {{1, 0}, {-1, 0}, {0, 1}, {0, -1}, {1, 1}, {-1, -1}, {1, -1}, {-1, 1}};
    for (const auto& d : directions) {
        const int dx = d[0], dy = d[1];
        const double step = (dx != 0 && dy != 0) ? std::sqrt(2.0) : 1.0;
        // Walk so that the cell one step back along the direction is done first.
        for (int k = 0; k < h; ++k) {
            const int row = dy >= 0 ? k : h - 1 - k;
            for (int m = 0; m < w; ++m) {
                const int col = dx >= 0 ? m : w - 1 - m;
                const std::size_t i = std::size_t(row) * w + col;
                const double v = grid.z[i];
                if (!std::isnan(v)) {
                    near_value[i] = v;
                    near_steps[i] = 0;
                    continue;
                }
                const int pc = col - dx, pr = row - dy;
                near_steps[i] = -1;
                if (pc < 0 || pc >= w || pr < 0 || pr >= h) continue;
                const std::size_t p = std::size_t(pr) * w + pc;
                if (near_steps[p] < 0 || near_steps[p] + 1 > max_steps) continue;
                near_value[i] = near_value[p];
                near_steps[i] = near_steps[p] + 1;
                const double distance = near_steps[i] * step;
                const double weight = 1.0 / (distance * distance);
                weighted[i] += weight * near_value[i];
                weights[i] += weight;
            }
        }
    }
    for (std::size_t i = 0; i < n; ++i)
        if (std::isnan(grid.z[i]) && weights[i] > 0) grid.z[i] = weighted[i] / weights[i];
}

void slope_of(const SurfaceGrid& grid, double cell_size, std::vector<double>& slope) {
    const int w = grid.width, h = grid.height;
    slope.assign(grid.z.size(), 0.0);
    // Difference across the cell where both sides have values, else one-sided.
    auto derivative = [&](double before, double here, double after) {
        if (!std::isnan(before) && !std::isnan(after)) return (after - before) / (2 * cell_size);
        if (!std::isnan(after)) return (after - here) / cell_size;
        if (!std::isnan(before)) return (here - before) / cell_size;
        return 0.0;
    };
    for (int r = 0; r < h; ++r)
        for (int c = 0; c < w; ++c) {
            const double here = grid.at(c, r);
            if (std::isnan(here)) continue;
            const double gx = derivative(c > 0 ? grid.at(c - 1, r) : kNoValue, here,
                                         c + 1 < w ? grid.at(c + 1, r) : kNoValue);
            const double gy = derivative(r > 0 ? grid.at(c, r - 1) : kNoValue, here,
                                         r + 1 < h ? grid.at(c, r + 1) : kNoValue);
            slope[std::size_t(r) * w + c] = std::hypot(gx, gy);
        }
}

}  // namespace ground
