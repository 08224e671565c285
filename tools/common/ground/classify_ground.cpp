#include "classify_ground.hpp"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <exception>
#include <map>
#include <mutex>
#include <thread>

#include "ground_tile.hpp"

namespace ground {
namespace {

std::int64_t floor_div(std::int64_t a, std::int64_t b) {
    return a >= 0 ? a / b : -((-a + b - 1) / b);
}

struct TileKey {
    std::int64_t row, col;
    auto operator<=>(const TileKey&) const = default;
};

// The points sorted by tile, and where each occupied tile's run begins.
struct TileIndex {
    std::vector<TileKey> keys;            // occupied tiles, sorted
    std::vector<std::size_t> start;       // keys[t]'s points: order[start[t] .. start[t+1])
    std::vector<std::uint32_t> order;
};

TileIndex index_tiles(const std::vector<std::uint32_t>& usable, std::span<const std::int64_t> cols,
                      std::span<const std::int64_t> rows, std::int64_t tile_cells, const CellBox& span) {
    auto key_of = [&](std::uint32_t id) {
        return TileKey{floor_div(rows[id] - span.row0, tile_cells), floor_div(cols[id] - span.col0, tile_cells)};
    };
    // A counting sort: points come in runs of one tile (a scan stays in a
    // tile for a while), so each run costs one look-up in the few tiles.
    std::map<TileKey, std::size_t> slot;
    auto slot_of = [&slot, last = TileKey{INT64_MIN, INT64_MIN}, at = slot.end()](const TileKey& key) mutable {
        if (at == slot.end() || key != last) {
            at = slot.try_emplace(key, 0).first;
            last = key;
        }
        return at;
    };
    for (const std::uint32_t id : usable) ++slot_of(key_of(id))->second;
    TileIndex index;
    std::size_t sum = 0;
    for (auto& [key, count] : slot) {
        index.keys.push_back(key);
        index.start.push_back(sum);
        sum += count;
        count = index.start.back();  // from here on: the next place of the tile's points
    }
    index.start.push_back(sum);
    // In ascending order of id within each tile, as `usable` is.
    index.order.resize(usable.size());
    for (const std::uint32_t id : usable) index.order[slot_of(key_of(id))->second++] = id;
    return index;
}

// The tile's own cells, its margin, and the points inside both. The grid is
// the margin cut to the cells all the points span (the same for every
// tiling: a grid cut to the tile's own points would lose cells that the
// gap filling gives values, and the slopes beside them, at its edge).
void make_job(const TileIndex& index, std::size_t t, std::span<const std::int64_t> cols,
              std::span<const std::int64_t> rows, std::int64_t tile_cells, std::int64_t margin, const CellBox& span,
              TileJob& job) {
    const TileKey key = index.keys[t];
    job.ids.clear();  // the list's memory kept from the worker's last tile
    job.core = {span.col0 + key.col * tile_cells, span.row0 + key.row * tile_cells,
                span.col0 + (key.col + 1) * tile_cells, span.row0 + (key.row + 1) * tile_cells};
    const CellBox wide{job.core.col0 - margin, job.core.row0 - margin, job.core.col1 + margin,
                       job.core.row1 + margin};
    const std::int64_t reach = (margin + tile_cells - 1) / tile_cells;
    for (std::int64_t row = key.row - reach; row <= key.row + reach; ++row) {
        const auto first = std::lower_bound(index.keys.begin(), index.keys.end(), TileKey{row, key.col - reach});
        for (auto it = first; it != index.keys.end() && it->row == row && it->col <= key.col + reach; ++it) {
            const std::size_t u = std::size_t(it - index.keys.begin());
            for (std::size_t k = index.start[u]; k < index.start[u + 1]; ++k) {
                const std::uint32_t id = index.order[k];
                if (wide.holds(cols[id], rows[id])) job.ids.push_back(id);
            }
        }
    }
    job.region = {std::max(wide.col0, span.col0), std::max(wide.row0, span.row0),
                  std::min(wide.col1, span.col1), std::min(wide.row1, span.row1)};
}

}  // namespace

std::vector<std::uint8_t> classify_ground(const Points& points, const GroundSettings& settings) {
    const std::size_t n = points.size();
    std::vector<std::uint8_t> classes(n, kUnclassified);
    std::vector<std::int64_t> cols(n), rows(n);
    std::vector<std::uint32_t> usable;
    usable.reserve(n);
    for (std::size_t i = 0; i < n; ++i) {
        if (!points.classification.empty() && (points.classification[i] == 7 || points.classification[i] == 18)) {
            classes[i] = points.classification[i];
            continue;
        }
        if (settings.keep_existing && !points.classification.empty() && points.classification[i] > kGround) {
            classes[i] = points.classification[i];
            continue;
        }
        if (!std::isfinite(points.x[i]) || !std::isfinite(points.y[i]) || !std::isfinite(points.z[i])) continue;
        cols[i] = std::int64_t(std::floor(points.x[i] / settings.cell_size));
        rows[i] = std::int64_t(std::floor(points.y[i] / settings.cell_size));
        usable.push_back(std::uint32_t(i));
    }
    const std::int64_t tile_cells = std::max<std::int64_t>(1, std::llround(settings.tile_size / settings.cell_size));
    const std::int64_t margin = reach_in_cells(settings);
    // Tiles start at the points' first cell: as few as the extent needs.
    CellBox span{INT64_MAX, INT64_MAX, INT64_MIN, INT64_MIN};
    for (const std::uint32_t id : usable) {
        span.col0 = std::min(span.col0, cols[id]);
        span.row0 = std::min(span.row0, rows[id]);
        span.col1 = std::max(span.col1, cols[id] + 1);
        span.row1 = std::max(span.row1, rows[id] + 1);
    }
    const TileIndex index = index_tiles(usable, cols, rows, tile_cells, span);

    std::atomic<std::size_t> next{0};
    std::exception_ptr failure;
    std::mutex failure_lock;
    auto work = [&] {
        try {
            TileWorkspace workspace;
            TileJob job;
            for (std::size_t t = next++; t < index.keys.size(); t = next++) {
                make_job(index, t, cols, rows, tile_cells, margin, span, job);
                classify_tile(points, cols, rows, job, settings, classes, workspace);
            }
        } catch (...) {
            std::lock_guard lock(failure_lock);
            if (!failure) failure = std::current_exception();
            next = index.keys.size();
        }
    };
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    const unsigned threads = std::min<std::size_t>(settings.threads ? settings.threads : cores, index.keys.size());
    std::vector<std::thread> pool;
    for (unsigned k = 1; k < threads; ++k) pool.emplace_back(work);
    work();
    for (auto& thread : pool) thread.join();
    if (failure) std::rethrow_exception(failure);
    if (settings.keep_existing && !points.classification.empty()) {
        for (std::size_t i = 0; i < n; ++i)
            if (points.classification[i] == kGround) classes[i] = kGround;
    }
    return classes;
}

}  // namespace ground
