#include "grid_run.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <future>
#include <memory>
#include <new>
#include <string>
#include <thread>
#include <vector>

#include "cells_into_tiles.hpp"
#include "grid.hpp"
#include "grid_fill.hpp"
#include "grid_inputs.hpp"
#include "las_crs.hpp"
#include "memory_budget.hpp"
#include "point_pass.hpp"
#include "point_source.hpp"
#include "projection.hpp"
#include "staged_files.hpp"
#include "terrain_band.hpp"
#include "text/stop.hpp"
#include "text/command_line.hpp"
#include "text/warning.hpp"

namespace morva::grid {
namespace {

[[noreturn]] void fail(const std::string& message) { text::stop_run(message); }

// The statistics cells (float32 or float64 extrema) and, for idw, the inverse-distance sums.
template <class Stats>
struct Accumulators {
    raster::TiledGrid<Stats> stats;
    std::unique_ptr<raster::TiledGrid<IdwSums>> idw;
    explicit Accumulators(double r) : stats(r) {}
    std::uint64_t bytes() const {
        return stats.tiles() * raster::TiledGrid<Stats>::tile_bytes() +
               (idw ? idw->tiles() * raster::TiledGrid<IdwSums>::tile_bytes() : 0);
    }
};

// Every cell whose centre lies within radius of (e, n).
template <class F>
void for_cells_within(double e, double n, double r, double radius, F&& f) {
    const auto ix_lo = static_cast<std::int64_t>(std::floor((e - radius) / r - 0.5));
    const auto ix_hi = static_cast<std::int64_t>(std::floor((e + radius) / r - 0.5)) + 1;
    const auto iy_lo = static_cast<std::int64_t>(std::floor((n - radius) / r - 0.5));
    const auto iy_hi = static_cast<std::int64_t>(std::floor((n + radius) / r - 0.5)) + 1;
    const double r2 = radius * radius;
    for (std::int64_t iy = iy_lo; iy <= iy_hi; ++iy) {
        const double dn = (static_cast<double>(iy) + 0.5) * r - n;
        for (std::int64_t ix = ix_lo; ix <= ix_hi; ++ix) {
            const double de = (static_cast<double>(ix) + 0.5) * r - e;
            const double d2 = de * de + dn * dn;
            if (d2 <= r2) f(raster::CellIndex{ix, iy}, d2);
        }
    }
}

constexpr std::int64_t kMaxCells = std::int64_t{1} << 31;

std::string metres(double m) {
    std::string s = std::to_string(m);
    s.erase(s.find_last_not_of('0') + 1);
    if (s.back() == '.') s.pop_back();
    return s;
}

// A length in the raster's unit (its CRS's: metre, foot, US survey foot), as messages say it.
std::string unit_symbol(const std::string& unit) {
    return unit == "metre" ? "m" : unit == "foot" ? "ft" : unit == "US survey foot" ? "US survey ft" : unit;
}

std::string length(double v, const std::string& unit) { return metres(v) + " " + unit_symbol(unit); }

[[noreturn]] void too_many_cells(const GridOptions& o, const std::string& size, const std::string& unit = "metre") {
    fail(o.output + ": a resolution of " + length(o.resolution, unit) + " makes a raster of " + size +
         " cells over these points, above 2^31; choose a coarser --resolution" +
         (o.radius ? std::string(" or a smaller --radius") : std::string()));
}

// Stops the pass when the cells grow past the memory bound: asked every few
// thousand points (a point's radius may reach many new tiles), it costs the
// pass nothing it would notice.
template <class Stats>
struct MemoryWatch {
    const GridOptions& o;
    const Accumulators<Stats>& acc;
    std::uint64_t expected_points = 0;  // the inputs' records
    std::uint64_t points_done = 0;
    const std::string* unit = nullptr;  // the raster's linear unit

    void check(std::uint64_t points_now) const {
        const std::uint64_t bytes = acc.bytes();
        if (bytes <= o.max_memory) return;
        // What the whole pass would take if the points go on as they began.
        const double share = points_now == 0 || expected_points <= points_now
                                 ? 1.0 : static_cast<double>(expected_points) / static_cast<double>(points_now);
        common::check_memory(static_cast<std::uint64_t>(static_cast<double>(bytes) * share), o.max_memory,
                             o.output + ": a raster of " + length(o.resolution, *unit) + " cells over these points",
                             o.radius ? "choose a coarser --resolution or a smaller --radius" : "choose a coarser --resolution");
    }
};

template <class Stats>
void bin_block(const raster::ProjectedBlock& b, const GridOptions& o, bool want_stats, Accumulators<Stats>& acc,
               const MemoryWatch<Stats>& watch) {
    const double r = o.resolution;
    constexpr std::size_t kWatchEvery = 4096;
    if (want_stats && !o.radius && !acc.idw && b.cells != nullptr) {
        // The common case, bound by memory: the cell a few points ahead is
        // asked for early, while this point's is updated.
        constexpr std::size_t kAhead = 8;
        for (std::size_t k0 = 0; k0 < b.n; k0 += kWatchEvery) {
            const std::size_t k1 = std::min(b.n, k0 + kWatchEvery);
            for (std::size_t k = k0; k < k1; ++k) {
                if (k + kAhead < b.n) acc.stats.prefetch(b.cells[k + kAhead]);
                acc.stats.at(b.cells[k]).add(b.geo[k].h);
            }
            watch.check(watch.points_done + k1);
        }
        return;
    }
    const raster::CellLocator locate(r);
    for (std::size_t k = 0; k < b.n; ++k) {
        const double e = b.en[k].e, n = b.en[k].n, h = b.geo[k].h;
        if (want_stats) {
            if (o.radius) {
                for_cells_within(e, n, r, *o.radius, [&](raster::CellIndex c, double) { acc.stats.at(c).add(h); });
            } else {
                acc.stats.at(b.cells != nullptr ? b.cells[k] : locate(e, n)).add(h);
            }
        }
        if (acc.idw) {
            for_cells_within(e, n, r, o.radius.value_or(r * std::sqrt(2.0)),
                             [&](raster::CellIndex c, double d2) { acc.idw->at(c).add(h, d2); });
        }
        if (o.radius || k % kWatchEvery == 0) watch.check(watch.points_done + k + 1);
    }
}

// Before the pass, from the inputs' bounds (LAS headers exact, scan-point
// samples close): a raster far too fine stops before its tiles fill the memory.
// A point reaches the cells within --radius of it (idw: r sqrt 2 unless given).
void check_estimated_size(const GridOptions& o, const std::vector<common::PointSource>& sources, double reach) {
    for (const common::PointSource& s : sources) {
        if (s.bounds.empty) continue;
        const double mid = 0.5 * (s.bounds.lat_min + s.bounds.lat_max) * M_PI / 180;
        const double width = (s.bounds.lon_max - s.bounds.lon_min) * 111320 * std::cos(mid) + o.resolution + 2 * reach;
        const double height = (s.bounds.lat_max - s.bounds.lat_min) * 110574 + o.resolution + 2 * reach;
        const double cols = std::ceil(width / o.resolution), rows = std::ceil(height / o.resolution);
        if (cols * rows > static_cast<double>(kMaxCells)) too_many_cells(o, "about " + metres(cols) + " x " + metres(rows));
    }
}

// The raster's tiles (of side `side`) that will be stored: those a tile of
// the cells overlaps, and with a fill their neighbours too.
template <class Cell>
void mark_stored_tiles(const raster::TiledGrid<Cell>& cells, const raster::RasterGeometry& g, int side,
                       std::vector<char>& marks) {
    const std::int64_t tiles_x = (g.cols + side - 1) / side, tiles_y = (g.rows + side - 1) / side;
    cells.for_each_tile([&](raster::CellIndex first, const Cell*) {
        const std::int64_t c0 = std::max<std::int64_t>(0, g.col_of(first.ix));
        const std::int64_t c1 = std::min(g.cols - 1, g.col_of(first.ix + raster::kTileSide - 1));
        const std::int64_t r0 = std::max<std::int64_t>(0, g.row_of(first.iy + raster::kTileSide - 1));
        const std::int64_t r1 = std::min(g.rows - 1, g.row_of(first.iy));
        for (std::int64_t ty = r0 / side; c0 <= c1 && ty <= r1 / side && ty < tiles_y; ++ty) {
            for (std::int64_t tx = c0 / side; tx <= c1 / side && tx < tiles_x; ++tx) marks[static_cast<std::size_t>(ty * tiles_x + tx)] = 1;
        }
    });
}

// The memory the raster's stored tiles (and a fill's list of filled cells) will take.
template <class Stats>
std::uint64_t raster_bytes(const Accumulators<Stats>& acc, const raster::RasterGeometry& g, int side, int fill,
                           std::size_t bands, std::size_t value_size) {
    const std::int64_t tiles_x = (g.cols + side - 1) / side, tiles_y = (g.rows + side - 1) / side;
    std::vector<char> marks(static_cast<std::size_t>(tiles_x * tiles_y), 0);
    if (!acc.stats.empty()) mark_stored_tiles(acc.stats, g, side, marks);
    if (acc.idw) mark_stored_tiles(*acc.idw, g, side, marks);
    std::uint64_t stored = 0;
    for (std::int64_t ty = 0; ty < tiles_y; ++ty) {
        for (std::int64_t tx = 0; tx < tiles_x; ++tx) {
            bool near = false;
            const std::int64_t d = fill > 0 ? 1 : 0;
            for (std::int64_t y = std::max<std::int64_t>(0, ty - d); y <= std::min(tiles_y - 1, ty + d) && !near; ++y) {
                for (std::int64_t x = std::max<std::int64_t>(0, tx - d); x <= std::min(tiles_x - 1, tx + d) && !near; ++x) {
                    near = marks[static_cast<std::size_t>(y * tiles_x + x)] != 0;
                }
            }
            stored += near;
        }
    }
    const std::uint64_t cells = stored * static_cast<std::uint64_t>(side) * static_cast<std::uint64_t>(side);
    // A fill lists each cell it fills (a pointer and a value) before it writes them.
    return cells * bands * value_size + (fill > 0 ? cells * 16 : 0) +
           static_cast<std::uint64_t>(tiles_x * tiles_y) * sizeof(std::byte*);
}

// Cells without points between the first and last cell with points of
// their row, over rows sampled across the raster: a resolution finer than
// the points' spacing leaves a moire of empty cells inside the survey.
template <class Value>
std::string empty_interior(const raster::TiledRaster& r, const GridOptions& o, std::uint64_t points, const std::string& unit) {
    const std::int64_t step = std::max<std::int64_t>(1, r.rows / 2048);
    const auto empty = static_cast<Value>(r.empty[0]);
    std::uint64_t inside = 0, held = 0;
    for (std::int64_t row = 0; row < r.rows; row += step) {
        std::int64_t first = -1, last = -1, with_points = 0;
        for (std::int64_t tx = 0; tx < r.tiles_x; ++tx) {
            std::byte* tile = r.find(tx, row / r.side);
            if (tile == nullptr) continue;
            const Value* cells = raster::tile_band<Value>(r, tile, 0) + (row % r.side) * r.side;
            for (std::int64_t c = 0; c < r.side && tx * r.side + c < r.cols; ++c) {
                if (cells[c] == empty) continue;
                if (first < 0) first = tx * r.side + c;
                last = tx * r.side + c;
                ++with_points;
            }
        }
        if (first < 0) continue;
        inside += static_cast<std::uint64_t>(last - first + 1);
        held += static_cast<std::uint64_t>(with_points);
    }
    if (inside < 1000 || static_cast<double>(held) >= 0.8 * static_cast<double>(inside)) return {};
    const double share = 1 - static_cast<double>(held) / static_cast<double>(inside);
    // Points per square unit inside the survey; cells expecting two points each are seldom empty.
    const double area = static_cast<double>(inside) * static_cast<double>(step) * o.resolution * o.resolution;
    const double density = static_cast<double>(points) / area;
    char text[320];
    std::snprintf(text, sizeof text,
                  "%.0f %% of the cells inside the survey hold no point at %s (about %.2g points per square %s); "
                  "a --resolution of %s or coarser would fill most of them (or --fill)",
                  100 * share, length(o.resolution, unit).c_str(), density, unit.c_str(),
                  length(std::ceil(std::sqrt(2 / density) * 10) / 10, unit).c_str());
    return text;
}

// Where each output is written until all are complete (staged temporaries).
struct OutputPaths {
    std::string raster, hillshade, world_file;
};

// The band the hillshade shades: the terrain model's, else the first height band.
int shaded_band(const std::vector<Statistic>& types) {
    auto band = std::ranges::find(types, Statistic::Dtm);
    if (band == types.end()) band = std::ranges::find_if(types, is_height);
    return band == types.end() ? 0 : static_cast<int>(band - types.begin());
}

template <class Stats, class Value>
void grid_and_write(const GridOptions& o, const std::vector<common::PointSource>& sources,
                    std::optional<georef::Geodesy> geodesy, std::promise<common::ProjectionRequest>& projection_request,
                    std::future<common::ProjectionSetup>& pending, const OutputPaths& paths,
                    common::StagedFiles& outputs) {
    projection_request.set_value(raster::projection_request(sources, o.crs));

    bool want_stats = false, want_idw = false;
    for (Statistic s : o.types) (s == Statistic::Idw ? want_idw : want_stats) = true;
    const bool want_dtm = std::ranges::find(o.types, Statistic::Dtm) != o.types.end();
    // The scan points a terrain model classifies are gathered in the pass.
    GroundGathering gathering;
    std::uint64_t gathered_bytes = 0;
    if (want_dtm) {
        for (const common::PointSource& s : sources) {
            if (s.kind == common::SourceKind::ScanPoints) gathered_bytes += s.records * kGatheredBytesPerPoint;
        }
        common::check_memory(gathered_bytes, o.max_memory, o.output + ": the terrain model (dtm) of these runs' points",
                             "grid fewer runs at once");
        gathering.reserve(gathered_bytes / kGatheredBytesPerPoint);
    }
    check_estimated_size(o, sources, o.radius ? *o.radius : want_idw ? o.resolution * std::sqrt(2.0) : 0.0);
    Accumulators<Stats> acc(o.resolution);
    if (want_idw) acc.idw = std::make_unique<raster::TiledGrid<IdwSums>>(o.resolution);
    // A grid too fine for its area stops before its tiles fill the memory.
    const std::size_t tile_limit = static_cast<std::size_t>(kMaxCells / (raster::kTileSide * raster::kTileSide));
    common::ProjectionSetup setup;
    MemoryWatch<Stats> watch{o, acc};
    watch.unit = &setup.unit;
    for (const common::PointSource& s : sources) watch.expected_points += s.records;

    const raster::PassCounts counts = raster::project_points(sources, pending, setup, [&](const raster::ProjectedBlock& b) {
        bin_block(b, o, want_stats, acc, watch);
        if (want_dtm) gathering.add(b, sources);
        watch.points_done += b.n;
        if (acc.stats.tiles() + (acc.idw ? acc.idw->tiles() : 0) > tile_limit) {
            too_many_cells(o, "more than 2^31", setup.unit);
        }
    }, want_stats && !o.radius ? o.resolution : 0);
    if (counts.points == 0) fail(o.output + ": the inputs hold no points to grid");
    // Warnings follow the note of the written raster (a stop is one line).
    std::vector<std::string> warnings;
    if (!setup.warning.empty()) warnings.push_back(setup.warning);

    raster::RasterGeometry g = want_stats ? acc.stats.extent() : acc.idw->extent();
    if (want_stats && want_idw) {
        // The union of both extents (the idw radius reaches further than the cells).
        const raster::RasterGeometry w = acc.idw->extent();
        const std::int64_t ix_min = std::min(g.ix0, w.ix0), iy_max = std::max(g.iy1, w.iy1);
        const std::int64_t ix_max = std::max(g.ix0 + g.cols, w.ix0 + w.cols) - 1;
        const std::int64_t iy_min = std::min(g.iy1 - g.rows, w.iy1 - w.rows) + 1;
        g = raster::raster_over(ix_min, iy_min, ix_max, iy_max, o.resolution);
    }
    if (g.cells() == 0) {
        // Only a radius below half a cell's diagonal can miss every cell centre.
        char reach[32];
        std::snprintf(reach, sizeof reach, "%.3g", o.resolution * std::sqrt(0.5));
        fail(o.output + ": no cell centre lies within --radius " + length(o.radius.value_or(0), setup.unit) +
             " of any point at cells of " + length(o.resolution, setup.unit) + "; choose a --radius of at least " + reach + " " +
             unit_symbol(setup.unit) + " (half a cell's diagonal) or a finer --resolution");
    }
    if (g.cells() > kMaxCells) {
        too_many_cells(o, std::to_string(g.cols) + " x " + std::to_string(g.rows), setup.unit);
    }

    // The cells with points, tile by tile as the file stores them; a tile
    // without any stays unstored.
    const std::size_t n_bands = o.types.size();
    std::vector<double> empty_cell(n_bands);
    for (std::size_t k = 0; k < n_bands; ++k) empty_cell[k] = o.types[k] == Statistic::Count ? 0.0 : o.nodata;
    // Stored in tiles of 64 cells, a quarter of the file's: they follow a
    // strip's edges closer (a third less memory on a diagonal strip, and
    // memory never touched before costs more to touch than to fill). A fill
    // reaches one tile beyond a stored one, and its window may be 100 cells.
    // Without a fill or idw, the values take the grid's own tiles instead:
    // no memory of their own at all.
    const int stored_side = o.fill > 0 ? raster::kCogTileSide : raster::kCogTileSide / 4;
    const bool in_place = o.fill == 0 && !acc.idw && !want_dtm && raster::values_fit_in_cells<Stats>(sizeof(Value), n_bands);
    // The cells and the raster live together until the cells are copied in
    // (unless the values take the cells' own tiles).
    const std::uint64_t stored_bytes = in_place ? 0 : raster_bytes(acc, g, stored_side, o.fill, n_bands, sizeof(Value));
    common::check_memory(acc.bytes() + stored_bytes + gathered_bytes, o.max_memory,
                         o.output + ": a raster of " + std::to_string(g.cols) + " x " + std::to_string(g.rows) + " cells of " +
                             length(o.resolution, setup.unit),
                         "choose a coarser --resolution");
    raster::TiledRaster raster = in_place ? raster::raster_in_grid_tiles(g, sizeof(Value), empty_cell)
                                  : raster::TiledRaster(g.cols, g.rows, stored_side, sizeof(Value), empty_cell);
    if (want_stats) {
        raster::cells_into_raster(acc.stats, g, raster, in_place, [&](const Stats& c, std::byte* tile, std::size_t at) {
            for (std::size_t b = 0; b < n_bands; ++b) {
                double v = 0;
                switch (o.types[b]) {
                    case Statistic::Min: v = c.min; break;
                    case Statistic::Max: v = c.max; break;
                    case Statistic::Mean: v = c.mean; break;
                    case Statistic::Count: v = c.count; break;
                    case Statistic::Stdev: v = c.stdev(); break;
                    case Statistic::Idw:
                    case Statistic::Dtm: continue;
                }
                raster::tile_band<Value>(raster, tile, static_cast<int>(b))[at] = static_cast<Value>(v);
            }
        });
    }
    if (acc.idw) {
        raster::cells_into_tiles(*acc.idw, g, raster, [&](const IdwSums& c, std::byte* tile, std::size_t at) {
            for (std::size_t b = 0; b < n_bands; ++b) {
                if (o.types[b] == Statistic::Idw)
                    raster::tile_band<Value>(raster, tile, static_cast<int>(b))[at] = static_cast<Value>(c.value());
            }
        });
    }
    // The cells are freed on a thread of their own while GDAL writes:
    // returning their memory takes the system a while. (A jthread: a stop
    // thrown from the writer joins it on the way out.)
    // Unless the raster lives in them.
    std::jthread release;
    if (!in_place) release = std::jthread([cells = std::move(acc)]() mutable {});
    if (want_dtm) {
        add_terrain_bands(gathering, sources, raster::projection_request(sources, o.crs),
                          {&o.types, o.max_edge, o.dtm_tile, static_cast<unsigned>(o.threads), o.output, stored_bytes, o.max_memory}, g, raster);
    }
    if (o.fill == 0 && !o.radius && want_stats) {
        if (std::string w = empty_interior<Value>(raster, o, counts.points, setup.unit); !w.empty()) warnings.push_back(w);
    }
    if (o.fill > 0) {
        store_neighbours(raster);
        for (std::size_t k = 0; k < n_bands; ++k) {
            if (is_height(o.types[k])) fill_empty(raster, static_cast<int>(k), static_cast<Value>(o.nodata), o.fill);
        }
    }

    raster::CogRequest cog;
    cog.output = o.output;
    cog.path = paths.raster;
    cog.geometry = g;
    const common::CompoundCrs crs = common::raster_crs(setup.wkt, o.vertical_crs, sources);
    if (!crs.error.empty()) text::stop_run(crs.error);
    cog.wkt = crs.wkt;
    cog.type = o.data_type;
    cog.compression = o.compression;
    cog.nodata = o.nodata;
    for (Statistic s : o.types) cog.band_descriptions.emplace_back(statistic_name(s));
    cog.metadata = {{"VERTICAL", sources.front().vertical}};
    if (geodesy) cog.metadata.push_back({"GEODESY", georef::geodesy_name(*geodesy)});
    cog.metadata.push_back({"TIFFTAG_SOFTWARE", "morva-grid " + std::string(text::project_version())});
    cog.metadata.push_back({"POINTS", std::to_string(counts.points)});
    cog.hillshade = o.hillshade;
    cog.hillshade_path = paths.hillshade;
    cog.hillshade_world_file_path = paths.world_file;
    cog.hillshade_band = shaded_band(o.types) + 1;
    raster::write_cog(cog, raster::RasterTiles(raster, raster::kCogTileSide));
    outputs.commit();

    text::note(std::to_string(counts.points) + " points in " + std::to_string(g.cols) + " x " + std::to_string(g.rows) +
               " cells of " + length(o.resolution, setup.unit) + " (" +
               setup.crs_name + ") written to " + o.output);
    if (counts.filtered > 0) {
        text::note(std::to_string(counts.filtered) + " LAS points left out: withheld, noise (classes 7 and 18) or "
                   "not of --classes or --returns");
    }
    for (const std::string& w : warnings) text::warn(w);
    if (counts.not_points > 0) {
        text::warn(std::to_string(counts.not_points) +
                   " records skipped: their time, latitude, longitude or height was not written (asterisks, NaN or "
                   "the overflow marker)");
    }
}

void run(const GridOptions& o) {
    // PROJ opens its database while the inputs are opened and sampled (the
    // UTM zone waits for their centre). The promise, declared after the
    // future, goes first: a stop breaks it, and the start-up's thread ends
    // before the future's end waits for it.
    std::future<common::ProjectionSetup> pending;
    std::promise<common::ProjectionRequest> request;
    pending = common::start_projection(request.get_future());
    const std::vector<common::PointSource> sources = open_inputs(o);
    const std::optional<georef::Geodesy> geodesy = points_geodesy(o, sources);
    const std::string world_file =
        o.hillshade.empty() || raster::hillshade_is_geotiff(o.hillshade) ? std::string()
                                                                         : raster::hillshade_world_file(o.hillshade);
    check_outputs(o, sources, world_file);
    // Every output staged before the pass (a folder that cannot take them
    // stops at once), and all put in place together when all are complete.
    common::StagedFiles outputs;
    OutputPaths paths;
    paths.raster = outputs.add(o.output);
    if (!o.hillshade.empty()) paths.hillshade = outputs.add(o.hillshade);
    if (!world_file.empty()) paths.world_file = outputs.add(world_file);
    if (o.data_type == raster::DataType::Float32)
        grid_and_write<CellStats, float>(o, sources, geodesy, request, pending, paths, outputs);
    else
        grid_and_write<CellStats64, double>(o, sources, geodesy, request, pending, paths, outputs);
}

}  // namespace

void make_grid(const GridOptions& o) {
    try {
        run(o);
    } catch (const std::bad_alloc&) {
        // The staged outputs are already removed on the way out of run().
        fail(o.output + ": the machine's memory ran out; choose a coarser --resolution or a lower --max-memory");
    }
}

}  // namespace morva::grid
