#include "terrain_pits.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "thread_jobs.hpp"
#include "terrain_triangulation.hpp"

namespace terrain {
namespace {

// Whether the point lies more than depth below its nearest live neighbour:
// a nearest neighbour always shares a triangle with it (the circle on their
// distance as diameter holds no other point), so no other point can be a
// pit in the first pass.
bool below_nearest(const GroundIndex& g, std::size_t i, double depth) {
    const double px = g.x[i], py = g.y[i];
    const std::int64_t bx = g.bin_x(px), by = g.bin_y(py);
    double best = std::numeric_limits<double>::infinity(), best_z = 0;
    const std::int64_t last_ring = std::max(g.cols, g.rows);
    for (std::int64_t ring = 0; ring <= last_ring; ++ring) {
        for (std::int64_t y = std::max<std::int64_t>(0, by - ring); y <= std::min(g.rows - 1, by + ring); ++y) {
            const bool edge_row = y == by - ring || y == by + ring;
            const std::int64_t step = edge_row ? 1 : 2 * ring;
            for (std::int64_t x = bx - ring; x <= bx + ring; x += std::max<std::int64_t>(1, step)) {
                if (x < 0 || x >= g.cols) continue;
                const auto k = static_cast<std::size_t>(y * g.cols + x);
                for (std::uint64_t j = g.start[k]; j < g.start[k + 1]; ++j) {
                    if (j == i || !g.alive[j]) continue;
                    const double d = (g.x[j] - px) * (g.x[j] - px) + (g.y[j] - py) * (g.y[j] - py);
                    if (d < best) best = d, best_z = g.z[j];
                }
            }
        }
        // Every bin further out lies beyond the block of bins searched.
        const double west = px - (g.ox + static_cast<double>(bx - ring) * g.bin);
        const double east = g.ox + static_cast<double>(bx + ring + 1) * g.bin - px;
        const double south = py - (g.oy + static_cast<double>(by - ring) * g.bin);
        const double north = g.oy + static_cast<double>(by + ring + 1) * g.bin - py;
        const double reach = std::min({west, east, south, north});
        if (best <= reach * reach) break;
    }
    return std::isfinite(best) && g.z[i] < best_z - depth;
}

struct Buffers {
    std::vector<double> x, y, z;
    std::vector<std::uint32_t> ids;
};

// The point judged in the triangulation of the points of the bins around
// it and of the points beyond them found to change its triangles (a hull
// edge or a thin triangle's circle may reach far along a strip's edge); the
// bins twice as far after a few rounds of those.
PitVerdict judge(const GroundIndex& g, std::size_t i, double depth, Buffers& b) {
    constexpr int kRounds = 64;
    std::vector<std::uint32_t> extra;
    for (double reach = 2 * g.bin;; reach *= 2) {
        const BinBox box = g.box_over(g.x[i] - reach, g.y[i] - reach, g.x[i] + reach, g.y[i] + reach);
        std::erase_if(extra, [&](std::uint32_t k) { return box.holds_bin(g.bin_x(g.x[k]), g.bin_y(g.y[k])); });
        for (int round = 0; round < kRounds; ++round) {
            b.x.clear(), b.y.clear(), b.z.clear(), b.ids.clear();
            gather(g, box, b.x, b.y, b.z, b.ids);
            for (std::uint32_t k : extra) b.x.push_back(g.x[k]), b.y.push_back(g.y[k]), b.z.push_back(g.z[k]), b.ids.push_back(k);
            const TerrainTriangulation t(b.x, b.y, b.z, 0, b.ids);
            PitVerdict v = t.pit_verdict(g.x[i], g.y[i], depth, Held{&g, box});
            if (v.certain) return v;
            // All the points in a line: no triangle, no pit.
            if (g.covers_all(box)) return PitVerdict{true, false, {}, {}};
            if (v.missing.empty()) break;
            extra.insert(extra.end(), v.missing.begin(), v.missing.end());
            std::sort(extra.begin(), extra.end());
            extra.erase(std::unique(extra.begin(), extra.end()), extra.end());
        }
    }
}

// The highest live point within two bins of each bin (-inf where none).
std::vector<double> highest_around(const GroundIndex& g) {
    const double none = -std::numeric_limits<double>::infinity();
    std::vector<double> own(g.start.size() - 1, none), rows(own.size(), none), around(own.size(), none);
    for (std::size_t k = 0; k < own.size(); ++k)
        for (std::uint64_t i = g.start[k]; i < g.start[k + 1]; ++i) {
            if (g.alive[i]) own[k] = std::max(own[k], g.z[i]);
        }
    auto at = [&](std::int64_t x, std::int64_t y) { return static_cast<std::size_t>(y * g.cols + x); };
    for (std::int64_t y = 0; y < g.rows; ++y)
        for (std::int64_t x = 0; x < g.cols; ++x)
            for (std::int64_t d = std::max<std::int64_t>(0, x - 2); d <= std::min(g.cols - 1, x + 2); ++d)
                rows[at(x, y)] = std::max(rows[at(x, y)], own[at(d, y)]);
    for (std::int64_t y = 0; y < g.rows; ++y)
        for (std::int64_t x = 0; x < g.cols; ++x)
            for (std::int64_t d = std::max<std::int64_t>(0, y - 2); d <= std::min(g.rows - 1, y + 2); ++d)
                around[at(x, y)] = std::max(around[at(x, y)], rows[at(x, d)]);
    return around;
}

}  // namespace

std::size_t remove_pits(GroundIndex& g, double depth, unsigned threads) {
    constexpr std::size_t kChunk = 1024;  // bins a job
    // A point sharing its bin with another has its nearest neighbour within
    // two bins: no pit when no point there stands more than depth above it.
    const std::vector<double> highest = highest_around(g);
    std::vector<std::uint8_t> low(g.size(), 0);
    const std::size_t bins = g.start.size() - 1;
    morva::common::run_jobs((bins + kChunk - 1) / kChunk, threads, [&](std::size_t c) {
        for (std::size_t k = c * kChunk; k < std::min(bins, (c + 1) * kChunk); ++k) {
            std::uint64_t live = 0;
            for (std::uint64_t i = g.start[k]; i < g.start[k + 1]; ++i) live += g.alive[i];
            for (std::uint64_t i = g.start[k]; i < g.start[k + 1]; ++i) {
                if (!g.alive[i] || (live > 1 && g.z[i] >= highest[k] - depth)) continue;
                low[i] = below_nearest(g, i, depth);
            }
        }
    });
    std::vector<std::uint32_t> candidates;
    for (std::size_t i = 0; i < g.size(); ++i) {
        if (low[i]) candidates.push_back(static_cast<std::uint32_t>(i));
    }
    std::vector<std::uint8_t>().swap(low);
    // As remove_pits: the candidates judged at once, then removed together;
    // the next pass judges only their neighbours.
    std::size_t removed = 0;
    for (int pass = 0; pass < kPitPasses && !candidates.empty(); ++pass) {
        std::vector<PitVerdict> verdicts(candidates.size());
        constexpr std::size_t kJudged = 16;
        morva::common::run_jobs((candidates.size() + kJudged - 1) / kJudged, threads, [&](std::size_t c) {
            Buffers b;
            for (std::size_t k = c * kJudged; k < std::min(candidates.size(), (c + 1) * kJudged); ++k)
                verdicts[k] = judge(g, candidates[k], depth, b);
        });
        std::vector<std::uint32_t> next;
        std::size_t pits = 0;
        for (std::size_t k = 0; k < candidates.size(); ++k) {
            if (!verdicts[k].pit) continue;
            ++pits;
            next.insert(next.end(), verdicts[k].neighbours.begin(), verdicts[k].neighbours.end());
        }
        if (pits == 0) break;
        for (std::size_t k = 0; k < candidates.size(); ++k) {
            if (verdicts[k].pit) g.alive[candidates[k]] = 0;
        }
        std::sort(next.begin(), next.end());
        next.erase(std::unique(next.begin(), next.end()), next.end());
        std::erase_if(next, [&](std::uint32_t i) { return !g.alive[i]; });
        removed += pits;
        candidates = std::move(next);
    }
    return removed;
}

}  // namespace terrain
