#include "terrain_raster.hpp"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <exception>
#include <limits>
#include <mutex>
#include <thread>
#include <vector>

namespace morva::raster {

namespace {

template <class Value>
void sample_rows(const terrain::TerrainTriangulation& terrain, const RasterGeometry& g, TiledRaster& raster, int band,
                 unsigned threads) {
    const std::int64_t side = raster.side;
    // Only the cells between a row's first and last possible ground corner
    // are walked to (a strip flown across its box leaves most cells out).
    std::vector<double> lo, hi;
    terrain.row_extents(g.centre_n(0), g.resolution, static_cast<std::size_t>(g.rows), lo, hi);
    std::mutex storing;  // tiles are stored from one shared arena
    std::atomic<std::int64_t> next{0};
    auto work = [&] {
        std::vector<double> heights(static_cast<std::size_t>(g.cols));
        // Each thread takes whole rows of tiles: no tile is written by two.
        for (std::int64_t ty = next++; ty < raster.tiles_y; ty = next++) {
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
                const std::int64_t in_row = (row + raster.row_shift) % side;
                std::byte* tile = nullptr;
                std::int64_t tile_x = -1;
                for (std::int64_t col = 0; col < g.cols; ++col) {
                    const double h = heights[static_cast<std::size_t>(col)];
                    if (std::isnan(h)) continue;
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
        }
    };
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    const auto count = static_cast<unsigned>(std::clamp<std::int64_t>(threads ? threads : cores, 1, raster.tiles_y));
    std::vector<std::thread> pool;
    std::vector<std::exception_ptr> failures(count);
    auto work_on = [&](unsigned k) {
        try {
            work();
        } catch (...) {
            failures[k] = std::current_exception();
        }
    };
    for (unsigned k = 1; k < count; ++k) pool.emplace_back(work_on, k);
    work_on(0);
    for (std::thread& t : pool) t.join();
    for (const std::exception_ptr& f : failures) {
        if (f) std::rethrow_exception(f);
    }
}

}  // namespace

void sample_terrain_band(const terrain::TerrainTriangulation& terrain, const RasterGeometry& g, TiledRaster& raster,
                         int band, unsigned threads) {
    if (raster.value_size == 4)
        sample_rows<float>(terrain, g, raster, band, threads);
    else
        sample_rows<double>(terrain, g, raster, band, threads);
}

}  // namespace morva::raster
