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
// never win, and cells whose square holds no value come out empty. Each
// finished output row is handed to done(row).
template <class Pick>
void square_extreme(const SurfaceGrid& in, int radius, SurfaceGrid& out, const ActiveCells& active,
                    double neutral, Pick pick, const RowDone& done) {
    const int w = in.width, h = in.height, size = 2 * radius + 1;
    // Rows padded by the radius above and below: padded row i is the grid's
    // row i - radius (neutral outside the grid), read by the output rows
    // i - 2 radius .. i, so its span is theirs.
    const int tall = h + 2 * radius;
    const ActiveCells span = rows_around(active, -2 * radius, 0, tall);
    // Scratch kept by each thread between calls: fresh pages cost more than the work.
    thread_local std::vector<double> line, ahead, behind, along, up, down_now, down_before;
    line.resize(w + 2 * radius);
    ahead.resize(w + 2 * radius);
    behind.resize(w + 2 * radius);
    along.resize(std::size_t(size) * w);
    up.resize(std::size_t(size) * w);
    down_now.resize(std::size_t(size) * w);
    down_before.resize(std::size_t(size) * w);
    size_like(in, out);
    // The columns go block by block of the window's height, each block's
    // rows kept in the cache: the extremes along each row (along), then a
    // running extreme down the block from its top (up) and from its bottom
    // (down). Output row r takes down at r and up at r + 2 radius: one of
    // them in the block just done, the other in it or in the one before.
    for (int top = 0; top < tall; top += size) {
        const int bottom = std::min(tall, top + size);
        for (int i = top; i < bottom; ++i) {
            const int a = span.first[i], b = span.last[i], r = i - radius;
            double* dst = &along[std::size_t(i - top) * w];
            if (a >= b) continue;
            if (r < 0 || r >= h) {
                std::fill(dst + a, dst + b, neutral);
                continue;
            }
            // Along the row: its span padded by the radius, split into blocks
            // of the window's size, with a running extreme from each block's
            // start (ahead) and from its end (behind).
            const int padded = b - a + 2 * radius;
            const double* src = &in.z[std::size_t(r) * w];
            // Outside the grid, then inside it (a loop the compiler can vectorise).
            const int inside0 = std::max(0, radius - a), inside1 = std::min(padded, w - a + radius);
            std::fill(line.begin(), line.begin() + inside0, neutral);
            for (int k = inside0; k < inside1; ++k) {
                const double v = src[a - radius + k];
                line[k] = std::isnan(v) ? neutral : v;
            }
            std::fill(line.begin() + std::max(inside0, inside1), line.begin() + padded, neutral);
            for (int from = 0; from < padded; from += size) {
                const int to = std::min(padded, from + size);
                ahead[from] = line[from];
                for (int k = from + 1; k < to; ++k) ahead[k] = pick(ahead[k - 1], line[k]);
                behind[to - 1] = line[to - 1];
                for (int k = to - 2; k >= from; --k) behind[k] = pick(behind[k + 1], line[k]);
            }
            for (int c = a; c < b; ++c) dst[c] = pick(behind[c - a], ahead[c - a + 2 * radius]);
        }
        // A running extreme from row `first` on, `step` rows at a time; it
        // starts from a stale value outside a row's span only where no output reads it.
        const auto running = [&](std::vector<double>& into, int first, int end, int step) {
            for (int i = first; i != end; i += step) {
                const double* src = &along[std::size_t(i - top) * w];
                double* dst = &into[std::size_t(i - top) * w];
                if (i == first) {
                    std::copy(src + span.first[i], src + span.last[i], dst + span.first[i]);
                } else {
                    const double* prev = dst - std::ptrdiff_t(step) * w;
                    for (int c = span.first[i]; c < span.last[i]; ++c) dst[c] = pick(prev[c], src[c]);
                }
            }
        };
        running(up, top, bottom, 1);
        std::swap(down_before, down_now);
        running(down_now, bottom - 1, top - 1, -1);
        for (int r = std::max(0, top - 2 * radius); r < std::min(h, bottom - 2 * radius); ++r) {
            const double* a = r >= top ? &down_now[std::size_t(r - top) * w]
                                       : &down_before[std::size_t(r - top + size) * w];
            const double* b = &up[std::size_t(r + 2 * radius - top) * w];
            double* dst = &out.z[std::size_t(r) * w];
            for (int c = active.first[r]; c < active.last[r]; ++c) {
                const double v = pick(a[c], b[c]);
                dst[c] = std::isinf(v) ? kNoValue : v;
            }
            if (done) done(r);
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

void erode(const SurfaceGrid& in, int radius, SurfaceGrid& out, const ActiveCells& active, const RowDone& done) {
    square_extreme(in, radius, out, active, INFINITY, [](double a, double b) { return std::min(a, b); }, done);
}

void dilate(const SurfaceGrid& in, int radius, SurfaceGrid& out, const ActiveCells& active, const RowDone& done) {
    square_extreme(in, radius, out, active, -INFINITY, [](double a, double b) { return std::max(a, b); }, done);
}

void erode_by_one(const SurfaceGrid& in, SurfaceGrid& out, const ActiveCells& active) {
    const int w = in.width, h = in.height;
    // The lowest along each row, for the three rows around the output row
    // (row r in slot r % 3), so that every row is read and written once.
    thread_local std::vector<double> rows, line;
    rows.resize(std::size_t(3) * w);
    line.resize(w + 2);
    const ActiveCells row_span = rows_around(active, -1, 1, h);
    auto along = [&](int r) {
        const int a = row_span.first[r], b = row_span.last[r];
        if (a >= b) return;
        // The row's span and a cell either side, empty cells (and those past
        // the grid's edge) as +inf: line[k] is column a - 1 + k.
        const double* src = &in.z[std::size_t(r) * w];
        line[0] = a > 0 && !std::isnan(src[a - 1]) ? src[a - 1] : INFINITY;
        for (int c = a; c < b; ++c) line[c - a + 1] = std::isnan(src[c]) ? INFINITY : src[c];
        line[b - a + 1] = b < w && !std::isnan(src[b]) ? src[b] : INFINITY;
        double* dst = &rows[std::size_t(r % 3) * w];
        for (int c = a; c < b; ++c) {
            const double* at = &line[c - a + 1];
            dst[c] = std::min(std::min(at[0], at[-1]), at[1]);
        }
    };
    size_like(in, out);
    if (h > 0) along(0);
    for (int r = 0; r < h; ++r) {
        if (r + 1 < h) along(r + 1);
        const double* here = &rows[std::size_t(r % 3) * w];
        const double* above = r > 0 ? &rows[std::size_t((r + 2) % 3) * w] : here;
        const double* below = r + 1 < h ? &rows[std::size_t((r + 1) % 3) * w] : here;
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
    thread_local std::vector<double> weighted, weights, value_before[3], value_now[3];
    thread_local std::vector<int> steps_before[3], steps_now[3];
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
    // before, of which only the span was carried. The three directions of a
    // sweep go together (one read of the grid instead of three), each cell
    // gathering them in the same order as three sweeps would.
    constexpr int kDirections = 3;
    constexpr int kDx[kDirections] = {0, 1, -1};
    for (int d = 0; d < kDirections; ++d) {
        value_before[d].resize(w), value_now[d].resize(w), steps_before[d].resize(w), steps_now[d].resize(w);
    }
    for (const int dy : {1, -1}) {
        int before_first = 0, before_last = 0;
        for (int k = 0; k < h; ++k) {
            const int r = dy > 0 ? k : h - 1 - k;
            for (int c = active.first[r]; c < active.last[r]; ++c) {
                const std::size_t i = std::size_t(r) * w + c;
                const double v = grid.z[i];
                if (!std::isnan(v)) {
                    for (int d = 0; d < kDirections; ++d) value_now[d][c] = v, steps_now[d][c] = 0;
                    continue;
                }
                for (int d = 0; d < kDirections; ++d) {
                    const int from = c - kDx[d];
                    const std::vector<int>& steps = steps_before[d];
                    steps_now[d][c] = -1;
                    if (from >= before_first && from < before_last && steps[from] >= 0 && steps[from] < max_steps) {
                        value_now[d][c] = value_before[d][from];
                        steps_now[d][c] = steps[from] + 1;
                        gather(i, value_now[d][c], steps_now[d][c], kDx[d] == 0 ? straight : diagonal);
                    }
                }
            }
            before_first = active.first[r], before_last = active.last[r];
            for (int d = 0; d < kDirections; ++d) {
                std::swap(value_before[d], value_now[d]);
                std::swap(steps_before[d], steps_now[d]);
            }
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
