#include "terrain_raster.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <mutex>
#include <vector>

#include "thread_jobs.hpp"

namespace morva::raster {

namespace {

// The heights of n cells of a row from column c0 stored in the raster's
// tiles (NaN: left empty); a tile first reached is stored under `storing`.
template <class Value>
void store_row(TiledRaster& raster, int band, std::int64_t row, std::int64_t c0, const double* heights,
               std::int64_t n, std::mutex& storing) {
    const std::int64_t side = raster.side;
    const std::int64_t ty = (row + raster.row_shift) / side, in_row = (row + raster.row_shift) % side;
    std::byte* tile = nullptr;
    std::int64_t tile_x = -1;
    for (std::int64_t k = 0; k < n; ++k) {
        const double h = heights[k];
        if (std::isnan(h)) continue;
        const std::int64_t col = c0 + k;
        const std::int64_t tx = (col + raster.col_shift) / side;
        if (tx != tile_x) {
            tile_x = tx;
            tile = raster.find(tx, ty);
            if (tile == nullptr) {
                const std::lock_guard lock(storing);
                tile = raster.make(tx, ty);
            }
        }
        const std::int64_t in_col = (col + raster.col_shift) % side;
        tile_band<Value>(raster, tile, band)[in_row * side + in_col] = static_cast<Value>(h);
    }
}

template <class Value>
void sample_rows(const terrain::TerrainTriangulation& terrain, const RasterGeometry& g, TiledRaster& raster, int band,
                 unsigned threads) {
    const std::int64_t side = raster.side;
    // Only the cells between a row's first and last possible ground corner
    // are walked to (a strip flown across its box leaves most cells out).
    std::vector<double> lo, hi;
    terrain.row_extents(g.centre_n(0), g.resolution, static_cast<std::size_t>(g.rows), lo, hi);
    std::mutex storing;  // tiles are stored from one shared arena
    // Each job is a whole row of tiles: no tile is written by two threads.
    common::run_jobs(static_cast<std::size_t>(raster.tiles_y), threads, [&](std::size_t job) {
        const auto ty = static_cast<std::int64_t>(job);
        std::vector<double> heights(static_cast<std::size_t>(g.cols));
        const std::int64_t row0 = std::max<std::int64_t>(0, ty * side - raster.row_shift);
        const std::int64_t row1 = std::min(g.rows, (ty + 1) * side - raster.row_shift);
        for (std::int64_t row = row0; row < row1; ++row) {
            std::fill(heights.begin(), heights.end(), std::numeric_limits<double>::quiet_NaN());
            const auto at = static_cast<std::size_t>(row);
            const double first = std::floor((lo[at] - g.centre_e(0)) / g.resolution) - 1;
            const double last = std::ceil((hi[at] - g.centre_e(0)) / g.resolution) + 1;
            const auto c0 = static_cast<std::int64_t>(std::clamp(first, 0.0, static_cast<double>(g.cols)));
            const auto c1 = static_cast<std::int64_t>(std::clamp(last + 1, 0.0, static_cast<double>(g.cols)));
            if (c0 < c1) {
                terrain.heights_along_row(g.centre_n(row), g.centre_e(c0), g.resolution, static_cast<std::size_t>(c1 - c0),
                                          heights.data() + c0);
            }
            store_row<Value>(raster, band, row, 0, heights.data(), g.cols, storing);
        }
    });
}

// A tile of the terrain model: the cells it gives heights to.
struct TerrainTile {
    std::int64_t c0 = 0, c1 = 0, r0 = 0, r1 = 0;  // columns and rows, last excluded
};

// The raster's cells in tiles of whole raster tiles, about `side` (CRS
// units) across; one tile without a max_edge (then no margin bounds the
// triangles a cell needs).
std::vector<TerrainTile> terrain_tiles(const RasterGeometry& g, const TiledRaster& raster, const TerrainTiling& t) {
    std::int64_t k = std::max<std::int64_t>(1, std::llround(t.side / (raster.side * g.resolution)));
    if (t.max_edge <= 0) k = std::max(raster.tiles_x, raster.tiles_y);
    const std::int64_t span = k * raster.side;
    std::vector<TerrainTile> tiles;
    for (std::int64_t ty = 0; ty * span < g.rows + raster.row_shift; ++ty)
        for (std::int64_t tx = 0; tx * span < g.cols + raster.col_shift; ++tx) {
            TerrainTile c;
            c.c0 = std::max<std::int64_t>(0, tx * span - raster.col_shift), c.c1 = std::min(g.cols, (tx + 1) * span - raster.col_shift);
            c.r0 = std::max<std::int64_t>(0, ty * span - raster.row_shift), c.r1 = std::min(g.rows, (ty + 1) * span - raster.row_shift);
            tiles.push_back(c);
        }
    return tiles;
}

// The bins of the ground a tile triangulates: its cell centres widened by the margin.
terrain::BinBox tile_bins(const terrain::GroundIndex& ground, const RasterGeometry& g, const TerrainTile& c, double margin) {
    if (margin <= 0) return ground.box_over(-HUGE_VAL, -HUGE_VAL, HUGE_VAL, HUGE_VAL);
    return ground.box_over(g.centre_e(c.c0) - margin, g.centre_n(c.r1 - 1) - margin, g.centre_e(c.c1 - 1) + margin,
                           g.centre_n(c.r0) + margin);
}

template <class Value>
void sample_tiles(const terrain::GroundIndex& ground, const RasterGeometry& g, TiledRaster& raster, int band,
                  const TerrainTiling& t) {
    const std::vector<TerrainTile> tiles = terrain_tiles(g, raster, t);
    std::mutex storing;  // tiles are stored from one shared arena
    common::run_jobs(tiles.size(), t.threads, [&](std::size_t job) {
        const TerrainTile& c = tiles[job];
        const std::int64_t cols = c.c1 - c.c0;
        std::vector<double> x, y, z, heights(static_cast<std::size_t>(cols * (c.r1 - c.r0)));
        std::vector<std::uint32_t> ids;
        // A margin of max_edge holds every corner of a triangle giving a cell
        // a height.
        const terrain::BinBox box = tile_bins(ground, g, c, t.max_edge);
        terrain::gather(ground, box, x, y, z, ids);
        if (x.size() < 3) return;
        const terrain::TerrainTriangulation model(x, y, z, t.max_edge, ids);
        for (std::int64_t row = c.r0; row < c.r1; ++row) {
            model.heights_along_row_of_whole(g.centre_n(row), g.centre_e(c.c0), g.resolution, static_cast<std::size_t>(cols),
                                             heights.data() + (row - c.r0) * cols, {&ground, box});
        }
        for (std::int64_t row = c.r0; row < c.r1; ++row)
            store_row<Value>(raster, band, row, c.c0, heights.data() + (row - c.r0) * cols, cols, storing);
    });
}


}  // namespace

void sample_terrain_band(const terrain::TerrainTriangulation& terrain, const RasterGeometry& g, TiledRaster& raster,
                         int band, unsigned threads) {
    if (raster.value_size == 4)
        sample_rows<float>(terrain, g, raster, band, threads);
    else
        sample_rows<double>(terrain, g, raster, band, threads);
}

std::uint64_t terrain_tile_count(const RasterGeometry& g, const TiledRaster& raster, const TerrainTiling& t) {
    return terrain_tiles(g, raster, t).size();
}

std::uint64_t largest_terrain_tile(const terrain::GroundIndex& ground, const RasterGeometry& g,
                                   const TiledRaster& raster, const TerrainTiling& t) {
    std::uint64_t largest = 0;
    for (const TerrainTile& c : terrain_tiles(g, raster, t))
        largest = std::max(largest, ground.points_in(tile_bins(ground, g, c, t.max_edge)));
    return largest;
}

void sample_terrain_tiles(const terrain::GroundIndex& ground, const RasterGeometry& g, TiledRaster& raster, int band,
                          const TerrainTiling& t) {
    if (raster.value_size == 4)
        sample_tiles<float>(ground, g, raster, band, t);
    else
        sample_tiles<double>(ground, g, raster, band, t);
}

}  // namespace morva::raster
