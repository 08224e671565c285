#include "classify_ground.hpp"

#include <algorithm>
#include <cmath>
#include <map>

#include "ground_tile.hpp"
#include "thread_jobs.hpp"
#include "tile_lattice.hpp"

namespace ground {
namespace {

// The points sorted by tile, and where each occupied tile's run begins.
struct TileIndex {
    std::vector<TileKey> keys;            // occupied tiles, sorted
    std::vector<std::size_t> start;       // keys[t]'s points: order[start[t] .. start[t+1])
    std::vector<std::uint32_t> order;
};

// A point the method leaves as it is (a class kept, a coordinate not finite).
constexpr std::int64_t kNoCell = INT64_MIN;

// The usable points (those with a cell), in ascending order of id.
template <typename Visit>
void for_each_usable(std::span<const std::int64_t> cols, Visit visit) {
    for (std::size_t i = 0; i < cols.size(); ++i)
        if (cols[i] != kNoCell) visit(std::uint32_t(i));
}

TileIndex index_tiles(std::span<const std::int64_t> cols, std::span<const std::int64_t> rows,
                      const TileLattice& lattice) {
    auto key_of = [&](std::uint32_t id) { return lattice.key_of(cols[id], rows[id]); };
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
    std::size_t usable = 0;
    for_each_usable(cols, [&](std::uint32_t id) {
        ++slot_of(key_of(id))->second;
        ++usable;
    });
    TileIndex index;
    std::size_t sum = 0;
    for (auto& [key, count] : slot) {
        index.keys.push_back(key);
        index.start.push_back(sum);
        sum += count;
        count = index.start.back();  // from here on: the next place of the tile's points
    }
    index.start.push_back(sum);
    // In ascending order of id within each tile.
    index.order.resize(usable);
    for_each_usable(cols, [&](std::uint32_t id) { index.order[slot_of(key_of(id))->second++] = id; });
    return index;
}

// The tile's own cells, its region, and the points inside its margin.
void make_job(const TileIndex& index, std::size_t t, std::span<const std::int64_t> cols,
              std::span<const std::int64_t> rows, const TileLattice& lattice, TileJob& job) {
    const TileKey key = index.keys[t];
    job.ids.clear();  // the list's memory kept from the worker's last tile
    job.core = lattice.core(key);
    const CellBox wide = lattice.wide(key);
    const std::int64_t reach = lattice.reach();
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
    job.region = lattice.region(key);
}

}  // namespace

std::vector<std::uint8_t> classify_ground(const Points& points, const GroundSettings& settings) {
    const std::size_t n = points.size();
    std::vector<std::uint8_t> classes(n, kUnclassified);
    std::vector<std::int64_t> cols(n, kNoCell), rows(n, kNoCell);
    // Tiles start at the points' first cell: as few as the extent needs.
    CellBox span = empty_span();
    for (std::size_t i = 0; i < n; ++i) {
        if (!points.classification.empty()) {
            if (const std::uint8_t kept = kept_class(points.classification[i], settings.keep_existing)) {
                classes[i] = kept;
                continue;
            }
        }
        if (!std::isfinite(points.x[i]) || !std::isfinite(points.y[i]) || !std::isfinite(points.z[i])) continue;
        cols[i] = cell_of(points.x[i], settings.cell_size);
        rows[i] = cell_of(points.y[i], settings.cell_size);
        grow(span, cols[i], rows[i]);
    }
    const TileLattice lattice = tile_lattice(settings, span);
    const TileIndex index = index_tiles(cols, rows, lattice);

    struct Worker {
        TileWorkspace workspace;
        TileJob job;
    };
    morva::common::run_jobs_with_state<Worker>(index.keys.size(), tile_threads(settings.threads, index.keys.size()),
                                                [&](std::size_t t, Worker& w) {
                                                    make_job(index, t, cols, rows, lattice, w.job);
                                                    classify_tile(points, cols, rows, w.job, settings, classes,
                                                                  w.workspace);
                                                });
    if (settings.keep_existing && !points.classification.empty()) {
        for (std::size_t i = 0; i < n; ++i)
            if (points.classification[i] == kGround) classes[i] = kGround;
    }
    return classes;
}

}  // namespace ground
