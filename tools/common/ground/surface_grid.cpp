#include "surface_grid.hpp"

#include <algorithm>
#include <cstdint>

namespace ground {
namespace {

// An output grid the size of the input, all empty unless it already was that size.
void size_like(const SurfaceGrid& in, SurfaceGrid& out) {
    if (out.z.size() != in.z.size()) out.z.assign(in.z.size(), kNoValue);
    out.width = in.width;
    out.height = in.height;
}

// Square erosion or dilation by the van Herk / Gil-Werman scheme: three
// comparisons per cell whatever the radius. Empty cells count as the
// neutral value (+inf for the lowest, -inf for the highest), so that they
// never win, and cells whose square holds no value come out empty.
template <class Pick>
void square_extreme(const SurfaceGrid& in, int radius, SurfaceGrid& out, const ActiveCells& active,
                    double neutral, Pick pick) {
    const int w = in.width, h = in.height, size = 2 * radius + 1;
    const std::size_t n = in.z.size();
    // Scratch kept by each thread between calls: fresh pages cost more than the work.
    thread_local std::vector<double> rows, line, ahead, behind, up, down;
    rows.resize(n);
    // Rows: each row's span, padded by the radius, split into blocks of the
    // window's size, with a running extreme from each block's start (ahead)
    // and from its end (behind). A row is needed wherever an active cell
    // within the radius above or below it is.
    const ActiveCells row_span = rows_around(active, -radius, radius, h);
    line.resize(w + 2 * radius);
    ahead.resize(w + 2 * radius);
    behind.resize(w + 2 * radius);
    for (int r = 0; r < h; ++r) {
        const int a = row_span.first[r], b = row_span.last[r];
        if (a >= b) continue;
        const int padded = b - a + 2 * radius;
        const double* src = &in.z[std::size_t(r) * w];
        for (int i = 0; i < padded; ++i) {
            const int c = a - radius + i;
            line[i] = (c >= 0 && c < w && !std::isnan(src[c])) ? src[c] : neutral;
        }
        for (int i = 0; i < padded; ++i) ahead[i] = i % size == 0 ? line[i] : pick(ahead[i - 1], line[i]);
        for (int i = padded - 1; i >= 0; --i)
            behind[i] = (i % size == size - 1 || i == padded - 1) ? line[i] : pick(behind[i + 1], line[i]);
        double* dst = &rows[std::size_t(r) * w];
        for (int c = a; c < b; ++c) dst[c] = pick(behind[c - a], ahead[c - a + 2 * radius]);
    }
    // Columns: the same along rows of cells at once, so the inner loops run
    // along memory. Padded row i (the grid's row i - radius) is read by the
    // output rows i - 2 radius .. i: its span is theirs (a running extreme
    // may start from a stale value outside it, which no output reads).
    const int tall = h + 2 * radius;
    const ActiveCells col_span = rows_around(active, -2 * radius, 0, tall);
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
        for (int c = col_span.first[i]; c < col_span.last[i]; ++c) {
            const double v = src ? src[c] : neutral;
            dst[c] = prev ? pick(prev[c], v) : v;
        }
    }
    for (int i = tall - 1; i >= 0; --i) {
        const double* src = row_of(i);
        double* dst = &down[std::size_t(i) * w];
        const bool start = i % size == size - 1 || i == tall - 1;
        const double* prev = start ? nullptr : &down[std::size_t(i + 1) * w];
        for (int c = col_span.first[i]; c < col_span.last[i]; ++c) {
            const double v = src ? src[c] : neutral;
            dst[c] = prev ? pick(prev[c], v) : v;
        }
    }
    size_like(in, out);
    for (int r = 0; r < h; ++r) {
        const double* a = &down[std::size_t(r) * w];
        const double* b = &up[std::size_t(r + 2 * radius) * w];
        double* dst = &out.z[std::size_t(r) * w];
        for (int c = active.first[r]; c < active.last[r]; ++c) {
            const double v = pick(a[c], b[c]);
            dst[c] = std::isinf(v) ? kNoValue : v;
        }
    }
}

}  // namespace

ActiveCells every_cell(int width, int height) {
    return {std::vector<int>(height, 0), std::vector<int>(height, width)};
}

ActiveCells rows_around(const ActiveCells& active, int from, int to, int count) {
    const int h = int(active.first.size());
    ActiveCells span{std::vector<int>(count, 0), std::vector<int>(count, 0)};
    for (int i = 0; i < count; ++i) {
        int a = INT32_MAX, b = INT32_MIN;
        for (int r = std::max(0, i + from); r <= std::min(h - 1, i + to); ++r)
            if (active.first[r] < active.last[r]) a = std::min(a, active.first[r]), b = std::max(b, active.last[r]);
        if (a < b) span.first[i] = a, span.last[i] = b;
    }
    return span;
}

void erode(const SurfaceGrid& in, int radius, SurfaceGrid& out, const ActiveCells& active) {
    square_extreme(in, radius, out, active, INFINITY, [](double a, double b) { return std::min(a, b); });
}

void dilate(const SurfaceGrid& in, int radius, SurfaceGrid& out, const ActiveCells& active) {
    square_extreme(in, radius, out, active, -INFINITY, [](double a, double b) { return std::max(a, b); });
}

void erode_by_one(const SurfaceGrid& in, SurfaceGrid& out, const ActiveCells& active) {
    const int w = in.width, h = in.height;
    thread_local std::vector<double> rows;
    rows.resize(in.z.size());
    auto value = [](double v) { return std::isnan(v) ? INFINITY : v; };
    const ActiveCells row_span = rows_around(active, -1, 1, h);
    for (int r = 0; r < h; ++r) {
        const double* src = &in.z[std::size_t(r) * w];
        double* dst = &rows[std::size_t(r) * w];
        for (int c = row_span.first[r]; c < row_span.last[r]; ++c) {
            double m = value(src[c]);
            if (c > 0) m = std::min(m, value(src[c - 1]));
            if (c + 1 < w) m = std::min(m, value(src[c + 1]));
            dst[c] = m;
        }
    }
    size_like(in, out);
    for (int r = 0; r < h; ++r) {
        const double* here = &rows[std::size_t(r) * w];
        const double* above = r > 0 ? here - w : here;
        const double* below = r + 1 < h ? here + w : here;
        double* dst = &out.z[std::size_t(r) * w];
        for (int c = active.first[r]; c < active.last[r]; ++c) {
            const double m = std::min(here[c], std::min(above[c], below[c]));
            dst[c] = std::isinf(m) ? kNoValue : m;
        }
    }
}

void fill_gaps(SurfaceGrid& grid, int max_steps, const ActiveCells& active) {
    const int w = grid.width, h = grid.height;
    const std::size_t n = grid.z.size();
    thread_local std::vector<double> weighted, weights, value_before, value_now;
    thread_local std::vector<int> steps_before, steps_now;
    weighted.resize(n);
    weights.resize(n);
    for (int r = 0; r < h; ++r)
        for (int c = active.first[r]; c < active.last[r]; ++c) {
            weighted[std::size_t(r) * w + c] = 0.0;
            weights[std::size_t(r) * w + c] = 0.0;
        }
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
    // No value reaches a row's span from outside it (the caller's promise).
    for (int r = 0; r < h; ++r) {
        const int a = active.first[r], b = active.last[r];
        for (const int dx : {1, -1}) {
            double value = 0;
            int steps = -1;
            for (int m = a; m < b; ++m) {
                const std::size_t i = std::size_t(r) * w + (dx > 0 ? m : a + b - 1 - m);
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
    }
    // Up and down the grid, straight and diagonal: each row from the one
    // before, of which only the span was carried.
    value_before.resize(w), value_now.resize(w), steps_before.resize(w), steps_now.resize(w);
    for (const int dy : {1, -1})
        for (const int dx : {0, 1, -1}) {
            const std::vector<double>& inverse = dx == 0 ? straight : diagonal;
            int before_first = 0, before_last = 0;
            for (int k = 0; k < h; ++k) {
                const int r = dy > 0 ? k : h - 1 - k;
                for (int c = active.first[r]; c < active.last[r]; ++c) {
                    const std::size_t i = std::size_t(r) * w + c;
                    const double v = grid.z[i];
                    const int from = c - dx;
                    steps_now[c] = -1;
                    if (!std::isnan(v)) {
                        value_now[c] = v, steps_now[c] = 0;
                    } else if (from >= before_first && from < before_last && steps_before[from] >= 0 &&
                               steps_before[from] < max_steps) {
                        value_now[c] = value_before[from];
                        steps_now[c] = steps_before[from] + 1;
                        gather(i, value_now[c], steps_now[c], inverse);
                    }
                }
                before_first = active.first[r], before_last = active.last[r];
                std::swap(value_before, value_now);
                std::swap(steps_before, steps_now);
            }
        }
    for (int r = 0; r < h; ++r)
        for (int c = active.first[r]; c < active.last[r]; ++c) {
            const std::size_t i = std::size_t(r) * w + c;
            if (std::isnan(grid.z[i]) && weights[i] > 0) grid.z[i] = weighted[i] / weights[i];
        }
}

void slope_of(const SurfaceGrid& grid, double cell_size, std::vector<double>& slope, const ActiveCells& active) {
    const int w = grid.width, h = grid.height;
    if (slope.size() != grid.z.size()) slope.assign(grid.z.size(), 0.0);
    // Difference across the cell where both sides have values, else one-sided.
    auto derivative = [&](double before, double here, double after) {
        if (!std::isnan(before) && !std::isnan(after)) return (after - before) / (2 * cell_size);
        if (!std::isnan(after)) return (after - here) / cell_size;
        if (!std::isnan(before)) return (here - before) / cell_size;
        return 0.0;
    };
    for (int r = 0; r < h; ++r)
        for (int c = active.first[r]; c < active.last[r]; ++c) {
            const double here = grid.at(c, r);
            double& out = slope[std::size_t(r) * w + c];
            out = 0.0;
            if (std::isnan(here)) continue;
            const double gx = derivative(c > 0 ? grid.at(c - 1, r) : kNoValue, here,
                                         c + 1 < w ? grid.at(c + 1, r) : kNoValue);
            const double gy = derivative(r > 0 ? grid.at(c, r - 1) : kNoValue, here,
                                         r + 1 < h ? grid.at(c, r + 1) : kNoValue);
            out = std::sqrt(gx * gx + gy * gy);
        }
}

}  // namespace ground
