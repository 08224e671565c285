#include "spilled_tiles.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <map>
#include <numeric>
#include <vector>

#include "memory_budget.hpp"
#include "thread_jobs.hpp"
#include "tile_lattice.hpp"

namespace morva::ground_program {
namespace {

using ground::TileKey;

// Points read back from the spill at once in the passes over all of them.
constexpr std::size_t kBlock = std::size_t{1} << 16;

// Every spilled point in order, a block at a time.
template <typename Visit>
void visit_spill(const common::ScratchFile& file, Visit visit) {
    std::vector<SpilledPoint> block(kBlock);
    const std::uint64_t count = file.size() / sizeof(SpilledPoint);
    for (std::uint64_t first = 0; first < count; first += kBlock) {
        const std::size_t n = std::size_t(std::min<std::uint64_t>(kBlock, count - first));
        file.read_at(block.data(), n * sizeof(SpilledPoint), first * sizeof(SpilledPoint));
        for (std::size_t k = 0; k < n; ++k) visit(block[k]);
    }
}

// What is looked up for the tiles whose margin holds a point (own tile or
// not), kept while the points, in flight order, fall in the same tiles: a
// lookup per tile and point cost more than the rest of the pass.
template <typename Found>
class ReadersOf {
public:
    template <typename Lookup>
    const std::vector<Found>& of(const ground::TileLattice& lattice, std::int64_t col, std::int64_t row,
                                 Lookup lookup) {
        const auto r = lattice.readers_of(col, row);
        if (found_.empty() || r != last_) {
            last_ = r;
            found_.clear();
            for (std::int64_t row = r.row0; row <= r.row1; ++row)
                for (std::int64_t col = r.col0; col <= r.col1; ++col) found_.push_back(lookup(TileKey{row, col}));
        }
        return found_;
    }

private:
    ground::TileLattice::Readers last_{};
    std::vector<Found> found_;
};

struct TileCounts {
    std::uint64_t own = 0;   // points in the tile itself
    std::uint64_t read = 0;  // points in it and its margin
};

// The occupied tiles (those holding points of their own: the only ones
// classified), in order, and where each one's points lie in the tile file.
struct TileRuns {
    std::vector<TileKey> keys;
    std::vector<std::uint64_t> start;  // keys[t]'s points: [start[t], start[t+1]) in points
    std::uint64_t largest = 0;
};

TileRuns count_tiles(const common::ScratchFile& usable, const ground::TileLattice& lattice, double cell_size) {
    std::map<TileKey, TileCounts> counts;  // its nodes stay where they are
    TileKey own_key{INT64_MIN, INT64_MIN};
    TileCounts* own = nullptr;
    ReadersOf<TileCounts*> readers;
    visit_spill(usable, [&](const SpilledPoint& p) {
        const std::int64_t col = ground::cell_of(p.x, cell_size), row = ground::cell_of(p.y, cell_size);
        const TileKey key = lattice.key_of(col, row);
        if (own == nullptr || key != own_key) {
            own_key = key;
            own = &counts[key];
        }
        ++own->own;
        for (TileCounts* c : readers.of(lattice, col, row, [&](TileKey k) { return &counts[k]; })) ++c->read;
    });
    TileRuns runs;
    runs.start.push_back(0);
    for (const auto& [key, c] : counts) {
        if (c.own == 0) continue;
        runs.keys.push_back(key);
        runs.start.push_back(runs.start.back() + c.read);
        runs.largest = std::max(runs.largest, c.read);
    }
    return runs;
}

// Each point into the run of every occupied tile that reads it, in order,
// through a buffer per tile.
void scatter(const common::ScratchFile& usable, const ground::TileLattice& lattice, double cell_size,
             const TileRuns& runs, std::size_t buffered, common::ScratchFile& tiles) {
    std::map<TileKey, std::size_t> slot;
    for (std::size_t t = 0; t < runs.keys.size(); ++t) slot.emplace(runs.keys[t], t);
    std::vector<std::vector<SpilledPoint>> buffers(runs.keys.size());
    std::vector<std::uint64_t> written(runs.start.begin(), runs.start.end() - 1);
    auto drain = [&](std::size_t t) {
        tiles.write_at(buffers[t].data(), buffers[t].size() * sizeof(SpilledPoint), written[t] * sizeof(SpilledPoint));
        written[t] += buffers[t].size();
        buffers[t].clear();
    };
    constexpr std::size_t kNone = SIZE_MAX;  // a tile without points of its own: never classified
    ReadersOf<std::size_t> readers;
    const auto slot_of = [&](TileKey key) {
        const auto at = slot.find(key);
        return at == slot.end() ? kNone : at->second;
    };
    visit_spill(usable, [&](const SpilledPoint& p) {
        for (const std::size_t t :
             readers.of(lattice, ground::cell_of(p.x, cell_size), ground::cell_of(p.y, cell_size), slot_of)) {
            if (t == kNone) continue;
            std::vector<SpilledPoint>& b = buffers[t];
            if (b.capacity() == 0) b.reserve(buffered);
            b.push_back(p);
            if (b.size() == buffered) drain(t);
        }
    });
    for (std::size_t t = 0; t < buffers.size(); ++t) drain(t);
}

// A worker's arrays, kept from one tile to the next.
struct TileWork {
    ground::TileWorkspace workspace;
    ground::TileJob job;
    std::vector<SpilledPoint> block;  // read back a block at a time
    std::vector<std::uint64_t> ids;   // the points' places among the output's
    std::vector<double> x, y, z;
    std::vector<std::uint8_t> return_number, number_of_returns, classification, classes;
    std::vector<std::int64_t> cols, rows;
    std::vector<std::uint32_t> from, next;  // the neighbouring tile each point belongs to
};

// One tile from its run: the points in the order of their ids (as the
// in-memory classifier holds them), listed in the job as that classifier
// lists them, by the tile they belong to and then by id; the classes of the
// tile's own points into `classes` at their ids.
void classify_run(const common::ScratchFile& tiles, const TileRuns& runs, std::size_t t,
                  const ground::TileLattice& lattice, const ground::GroundSettings& settings,
                  std::span<std::uint8_t> classes, TileWork& w) {
    const std::size_t n = std::size_t(runs.start[t + 1] - runs.start[t]);
    w.ids.resize(n);
    for (auto* v : {&w.x, &w.y, &w.z}) v->resize(n);
    for (auto* v : {&w.return_number, &w.number_of_returns, &w.classification}) v->resize(n);
    w.cols.resize(n);
    w.rows.resize(n);
    w.classes.assign(n, ground::kUnclassified);
    const TileKey key = runs.keys[t];
    const std::int64_t reach = lattice.reach(), side = 2 * reach + 1;
    w.from.resize(n);
    w.next.assign(std::size_t(side * side) + 1, 0);
    w.block.resize(kBlock);
    for (std::size_t k = 0; k < n; ++k) {
        const std::size_t in_block = k % kBlock;
        if (in_block == 0) {
            const std::size_t count = std::min(kBlock, n - k);
            tiles.read_at(w.block.data(), count * sizeof(SpilledPoint), (runs.start[t] + k) * sizeof(SpilledPoint));
        }
        const SpilledPoint& p = w.block[in_block];
        w.ids[k] = p.id();
        w.x[k] = p.x;
        w.y[k] = p.y;
        w.z[k] = p.z;
        w.return_number[k] = p.return_number;
        w.number_of_returns[k] = p.number_of_returns;
        w.classification[k] = p.classification;
        w.cols[k] = ground::cell_of(p.x, settings.cell_size);
        w.rows[k] = ground::cell_of(p.y, settings.cell_size);
        const TileKey own = lattice.key_of(w.cols[k], w.rows[k]);
        w.from[k] = std::uint32_t((own.row - key.row + reach) * side + (own.col - key.col + reach));
        ++w.next[w.from[k] + 1];
    }
    // A counting sort by the tile each point belongs to (rows, then columns), stable.
    std::partial_sum(w.next.begin(), w.next.end(), w.next.begin());
    w.job.ids.resize(n);
    for (std::size_t k = 0; k < n; ++k) w.job.ids[w.next[w.from[k]]++] = std::uint32_t(k);
    w.job.core = lattice.core(key);
    w.job.region = lattice.region(key);
    const ground::Points points{w.x, w.y, w.z, w.return_number, w.number_of_returns, w.classification};
    ground::classify_tile(points, w.cols, w.rows, w.job, settings, w.classes, w.workspace);
    for (std::size_t k = 0; k < n; ++k) {
        if (!w.job.core.holds(w.cols[k], w.rows[k])) continue;
        std::uint8_t& c = classes[w.ids[k]];
        // With keep_existing ground stays ground (it was put here by add).
        if (!(settings.keep_existing && c == ground::kGround)) c = w.classes[k];
    }
}

}  // namespace

std::uint64_t spill_fixed_bytes(std::uint64_t points) { return kProgramBytes + points; }

std::uint64_t tile_grid_bytes(const ground::GroundSettings& settings) {
    const std::uint64_t side = std::uint64_t(std::llround(settings.tile_size / settings.cell_size)) +
                               2 * std::uint64_t(ground::reach_in_cells(settings));
    return side * side * kBytesPerCell;
}

PointSpill::PointSpill(const std::string& output, std::uint64_t points, const ground::GroundSettings& settings)
    : output_(output), settings_(settings), usable_(std::make_unique<common::ScratchFile>(output)),
      classes_file_(output), classes_(classes_file_.map(points)), span_(ground::empty_span()) {}

void PointSpill::add(const common::LasPoint& p) {
    const std::uint64_t id = next_++;
    if (const std::uint8_t kept = ground::kept_class(p.classification, settings_.keep_existing)) {
        classes_[id] = kept;
        return;
    }
    if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z)) {
        classes_[id] = ground::kUnclassified;
        return;
    }
    // Until its tile is classified: its class as it was (ground that keep_existing keeps).
    classes_[id] = p.classification;
    ground::grow(span_, ground::cell_of(p.x, settings_.cell_size), ground::cell_of(p.y, settings_.cell_size));
    const SpilledPoint s{p.x, p.y, p.z, std::uint32_t(id), std::uint8_t(id >> 32), p.return_number,
                         p.number_of_returns, p.classification};
    usable_->append(&s, sizeof s);
}

std::span<const std::uint8_t> PointSpill::classify(std::uint64_t bound) {
    usable_->flush();
    if (usable_->size() == 0) return classes_;
    const ground::TileLattice lattice = ground::tile_lattice(settings_, span_);
    const TileRuns runs = count_tiles(*usable_, lattice, settings_.cell_size);

    // One tile, its grid and its points, on each thread; before that, the
    // same memory buffers the points on their way to the tiles.
    const std::uint64_t fixed = spill_fixed_bytes(classes_.size());
    const std::uint64_t per_tile = tile_grid_bytes(settings_) + runs.largest * kTileBytesPerPoint;
    common::check_memory(fixed + per_tile, bound,
                         "classifying a tile of " + std::to_string(runs.largest) + " points with its margin",
                         "give a smaller --tile-size");
    const std::uint64_t free = bound - fixed;
    const unsigned threads = unsigned(std::min<std::uint64_t>(ground::tile_threads(settings_.threads, runs.keys.size()),
                                                              free / per_tile));
    const std::size_t buffered = std::size_t(
        std::clamp<std::uint64_t>(free / runs.keys.size() / sizeof(SpilledPoint), 64, std::uint64_t{1} << 15));

    common::ScratchFile tiles(output_);
    scatter(*usable_, lattice, settings_.cell_size, runs, buffered, tiles);
    usable_.reset();  // its disk space given back
    common::run_jobs_with_state<TileWork>(runs.keys.size(), threads, [&](std::size_t t, TileWork& w) {
        classify_run(tiles, runs, t, lattice, settings_, classes_, w);
    });
    return classes_;
}

}  // namespace morva::ground_program
