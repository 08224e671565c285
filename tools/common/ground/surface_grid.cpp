#include "surface_grid.hpp"

#include <algorithm>
#include <cstdint>

namespace ground {
namespace {

// Square erosion or dilation by the van Herk / Gil-Werman scheme: three
// comparisons per cell whatever the radius. Empty cells count as the
// neutral value (+inf for the lowest, -inf for the highest), so that they
// never win, and cells whose square holds no value come out empty.
template <class Pick>
void square_extreme(const SurfaceGrid& in, int radius, SurfaceGrid& out, double neutral, Pick pick) {
    const int w = in.width, h = in.height, size = 2 * radius + 1;
    const std::size_t n = in.z.size();
    // Scratch kept by each thread between calls: fresh pages cost more than the work.
    thread_local std::vector<double> rows, line, ahead, behind, up, down;
    rows.resize(n);
    // Rows: each padded line split into blocks of the window's size, with a
    // running extreme from each block's start (ahead) and from its end (behind).
    const int padded = w + 2 * radius;
    line.resize(padded);
    ahead.resize(padded);
    behind.resize(padded);
    for (int r = 0; r < h; ++r) {
        const double* src = &in.z[std::size_t(r) * w];
        for (int i = 0; i < padded; ++i) {
            const int c = i - radius;
            line[i] = (c >= 0 && c < w && !std::isnan(src[c])) ? src[c] : neutral;
        }
        for (int i = 0; i < padded; ++i) ahead[i] = i % size == 0 ? line[i] : pick(ahead[i - 1], line[i]);
        for (int i = padded - 1; i >= 0; --i)
            behind[i] = (i % size == size - 1 || i == padded - 1) ? line[i] : pick(behind[i + 1], line[i]);
        double* dst = &rows[std::size_t(r) * w];
        for (int c = 0; c < w; ++c) dst[c] = pick(behind[c], ahead[c + 2 * radius]);
    }
    // Columns: the same along rows of cells at once, so the inner loops run
    // along memory.
    const int tall = h + 2 * radius;
    up.resize(std::size_t(tall) * w);
    down.resize(std::size_t(tall) * w);
    auto row_of = [&](int i) -> const double* {
        const int r = i - radius;
        return (r >= 0 && r < h) ? &rows[std::size_t(r) * w] : nullptr;
    };
    for (int i = 0; i < tall; ++i) {
        const double* src = row_of(i);
        double* dst = &up[std::size_t(i) * w];
        const double* prev = i % size == 0 ? nullptr : &up[std::size_t(i - 1) * w];
        for (int c = 0; c < w; ++c) {
            const double v = src ? src[c] : neutral;
            dst[c] = prev ? pick(prev[c], v) : v;
        }
    }
    for (int i = tall - 1; i >= 0; --i) {
        const double* src = row_of(i);
        double* dst = &down[std::size_t(i) * w];
        const bool start = i % size == size - 1 || i == tall - 1;
        const double* prev = start ? nullptr : &down[std::size_t(i + 1) * w];
        for (int c = 0; c < w; ++c) {
            const double v = src ? src[c] : neutral;
            dst[c] = prev ? pick(prev[c], v) : v;
        }
    }
    out.width = w;
    out.height = h;
    out.z.resize(n);
    for (int r = 0; r < h; ++r) {
        const double* a = &down[std::size_t(r) * w];
        const double* b = &up[std::size_t(r + 2 * radius) * w];
        double* dst = &out.z[std::size_t(r) * w];
        for (int c = 0; c < w; ++c) {
            const double v = pick(a[c], b[c]);
            dst[c] = std::isinf(v) ? kNoValue : v;
        }
    }
}

}  // namespace

void erode(const SurfaceGrid& in, int radius, SurfaceGrid& out) {
    square_extreme(in, radius, out, INFINITY, [](double a, double b) { return std::min(a, b); });
}

void dilate(const SurfaceGrid& in, int radius, SurfaceGrid& out) {
    square_extreme(in, radius, out, -INFINITY, [](double a, double b) { return std::max(a, b); });
}

void erode_by_one(const SurfaceGrid& in, SurfaceGrid& out) {
    const int w = in.width, h = in.height;
    thread_local std::vector<double> rows;
    rows.resize(in.z.size());
    auto value = [](double v) { return std::isnan(v) ? INFINITY : v; };
    for (int r = 0; r < h; ++r) {
        const double* src = &in.z[std::size_t(r) * w];
        double* dst = &rows[std::size_t(r) * w];
        for (int c = 0; c < w; ++c) {
            double m = value(src[c]);
            if (c > 0) m = std::min(m, value(src[c - 1]));
            if (c + 1 < w) m = std::min(m, value(src[c + 1]));
            dst[c] = m;
        }
    }
    out.width = w;
    out.height = h;
    out.z.resize(in.z.size());
    for (int r = 0; r < h; ++r) {
        const double* here = &rows[std::size_t(r) * w];
        const double* above = r > 0 ? here - w : here;
        const double* below = r + 1 < h ? here + w : here;
        double* dst = &out.z[std::size_t(r) * w];
        for (int c = 0; c < w; ++c) {
            const double m = std::min(here[c], std::min(above[c], below[c]));
            dst[c] = std::isinf(m) ? kNoValue : m;
        }
    }
}

void fill_gaps(SurfaceGrid& grid, int max_steps) {
    const int w = grid.width, h = grid.height;
    const std::size_t n = grid.z.size();
    thread_local std::vector<double> weighted, weights, value_before, value_now;
    thread_local std::vector<int> steps_before, steps_now;
    weighted.assign(n, 0.0);
    weights.assign(n, 0.0);
    // Inverse square distances by number of steps, straight and diagonal.
    std::vector<double> straight(max_steps + 1), diagonal(max_steps + 1);
    for (int k = 1; k <= max_steps; ++k) {
        straight[k] = 1.0 / (double(k) * k);
        diagonal[k] = 1.0 / (2.0 * k * k);
    }
    auto gather = [&](std::size_t i, double value, int steps, const std::vector<double>& inverse) {
        weighted[i] += inverse[steps] * value;
        weights[i] += inverse[steps];
    };
    // Along rows, both ways: the nearest value behind each cell carried along.
    for (int r = 0; r < h; ++r)
        for (const int dx : {1, -1}) {
            double value = 0;
            int steps = -1;
            for (int m = 0; m < w; ++m) {
                const std::size_t i = std::size_t(r) * w + (dx > 0 ? m : w - 1 - m);
                const double v = grid.z[i];
                if (!std::isnan(v)) {
                    value = v, steps = 0;
                } else if (steps >= 0 && steps < max_steps) {
                    gather(i, value, ++steps, straight);
                } else {
                    steps = -1;
                }
            }
        }
    // Up and down the grid, straight and diagonal: each row from the one before.
    value_before.resize(w), value_now.resize(w), steps_before.resize(w), steps_now.resize(w);
    for (const int dy : {1, -1})
        for (const int dx : {0, 1, -1}) {
            const std::vector<double>& inverse = dx == 0 ? straight : diagonal;
            std::fill(steps_before.begin(), steps_before.end(), -1);
            for (int k = 0; k < h; ++k) {
                const int r = dy > 0 ? k : h - 1 - k;
                for (int c = 0; c < w; ++c) {
                    const std::size_t i = std::size_t(r) * w + c;
                    const double v = grid.z[i];
                    const int from = c - dx;
                    steps_now[c] = -1;
                    if (!std::isnan(v)) {
                        value_now[c] = v, steps_now[c] = 0;
                    } else if (from >= 0 && from < w && steps_before[from] >= 0 && steps_before[from] < max_steps) {
                        value_now[c] = value_before[from];
                        steps_now[c] = steps_before[from] + 1;
                        gather(i, value_now[c], steps_now[c], inverse);
                    }
                }
                std::swap(value_before, value_now);
                std::swap(steps_before, steps_now);
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
            slope[std::size_t(r) * w + c] = std::sqrt(gx * gx + gy * gy);
        }
}

}  // namespace ground
