#include "density.hpp"

#include <algorithm>
#include <cmath>
#include <string>

#include "text/stop.hpp"

namespace accuracy {

DensityRaster density_raster(std::span<const double> x, std::span<const double> y, double cell_size,
                             std::size_t max_cells) {
    DensityRaster r;
    r.cell_size = cell_size;
    if (x.empty()) return r;
    if (!(cell_size > 0)) morva::text::stop_run("*** the density cell size must be above 0");
    const auto [xmin, xmax] = std::minmax_element(x.begin(), x.end());
    const auto [ymin, ymax] = std::minmax_element(y.begin(), y.end());
    const double west_index = std::floor(*xmin / cell_size), east_index = std::floor(*xmax / cell_size);
    const double south_index = std::floor(*ymin / cell_size), north_index = std::floor(*ymax / cell_size);
    const double columns = east_index - west_index + 1, rows = north_index - south_index + 1;
    if (columns * rows > static_cast<double>(max_cells))
        morva::text::stop_run("*** the density raster would hold " + std::to_string(static_cast<long long>(columns * rows)) +
                              " cells of " + std::to_string(cell_size) + " m; give a larger cell size");
    r.west = west_index * cell_size;
    r.north = (north_index + 1) * cell_size;
    r.columns = static_cast<std::size_t>(columns);
    r.rows = static_cast<std::size_t>(rows);
    r.counts.assign(r.columns * r.rows, 0);
    for (std::size_t i = 0; i < x.size(); ++i) {
        const auto column = static_cast<std::size_t>(std::floor(x[i] / cell_size) - west_index);
        const auto row = static_cast<std::size_t>(north_index - std::floor(y[i] / cell_size));
        ++r.counts[row * r.columns + column];
    }
    return r;
}

namespace {
constexpr double kCellLimit = 1e15;  // beyond it a cell's index is not exact in a double
std::uint64_t tile_key(std::int64_t column, std::int64_t row) {
    return (static_cast<std::uint64_t>(column) << 32) ^ static_cast<std::uint64_t>(row & 0xffffffff);
}
}  // namespace

DensityCounter::DensityCounter(double cell_size) : cell_size_(cell_size) {
    if (!(cell_size > 0)) morva::text::stop_run("*** the density cell size must be above 0");
}

void DensityCounter::add(double x, double y) {
    const double cx = std::floor(x / cell_size_), cy = std::floor(y / cell_size_);
    if (!(std::fabs(cx) < kCellLimit) || !(std::fabs(cy) < kCellLimit)) return;
    const auto column = static_cast<std::int64_t>(cx), row = static_cast<std::int64_t>(cy);
    const std::uint64_t key = tile_key(column >> kTileBits, row >> kTileBits);
    if (last_tile_ == nullptr || key != last_key_) {
        auto& tile = tiles_[key];
        if (tile.empty()) tile.assign(std::size_t(1) << (2 * kTileBits), 0);
        last_tile_ = &tile;
        last_key_ = key;
    }
    constexpr std::int64_t mask = (std::int64_t(1) << kTileBits) - 1;
    ++(*last_tile_)[static_cast<std::size_t>(((row & mask) << kTileBits) | (column & mask))];
}

std::uint64_t DensityCounter::bytes() const {
    return tiles_.size() * ((std::uint64_t(1) << (2 * kTileBits)) * sizeof(std::uint32_t) + 64);
}

DensityRaster DensityCounter::raster(std::size_t max_cells) const {
    DensityRaster r;
    r.cell_size = cell_size_;
    if (tiles_.empty()) return r;
    // Every cell holding points: its column, row and count.
    const auto each_cell = [this](auto visit) {
        constexpr std::int64_t side = std::int64_t(1) << kTileBits;
        for (const auto& [key, counts] : tiles_) {
            const std::int64_t c0 = static_cast<std::int64_t>(static_cast<std::int32_t>(key >> 32)) * side;
            const std::int64_t r0 = static_cast<std::int64_t>(static_cast<std::int32_t>(key & 0xffffffff)) * side;
            for (std::int64_t i = 0; i < side * side; ++i) {
                const std::uint32_t n = counts[static_cast<std::size_t>(i)];
                if (n != 0) visit(c0 + (i & (side - 1)), r0 + (i >> kTileBits), n);
            }
        }
    };
    // The cells holding points bound the raster, as density_raster bounds it by the points.
    std::int64_t west = INT64_MAX, east = INT64_MIN, south = INT64_MAX, north = INT64_MIN;
    each_cell([&](std::int64_t column, std::int64_t row, std::uint32_t) {
        west = std::min(west, column);
        east = std::max(east, column);
        south = std::min(south, row);
        north = std::max(north, row);
    });
    const double columns = static_cast<double>(east - west + 1), rows = static_cast<double>(north - south + 1);
    if (columns * rows > static_cast<double>(max_cells))
        morva::text::stop_run("*** the density raster would hold " + std::to_string(static_cast<long long>(columns * rows)) +
                              " cells of " + std::to_string(cell_size_) + " m; give a larger cell size");
    r.west = static_cast<double>(west) * cell_size_;
    r.north = static_cast<double>(north + 1) * cell_size_;
    r.columns = static_cast<std::size_t>(columns);
    r.rows = static_cast<std::size_t>(rows);
    r.counts.assign(r.columns * r.rows, 0);
    each_cell([&](std::int64_t column, std::int64_t row, std::uint32_t n) {
        r.counts[static_cast<std::size_t>(north - row) * r.columns + static_cast<std::size_t>(column - west)] = n;
    });
    return r;
}

DensityFigures density_figures(const DensityRaster& raster, double density, double required_share) {
    DensityFigures f;
    const double area = raster.cell_size * raster.cell_size;
    for (std::size_t row = 0; row < raster.rows; ++row) {
        const std::uint32_t* counts = raster.counts.data() + row * raster.columns;
        std::size_t first = raster.columns, last = 0, with_data = 0;
        for (std::size_t c = 0; c < raster.columns; ++c) {
            f.points += counts[c];
            if (counts[c] == 0) continue;
            first = std::min(first, c);
            last = c;
            ++with_data;
            if (counts[c] / area >= density) ++f.cells_meeting;
        }
        f.cells_with_data += with_data;
        // Empty cells between cells with data on a row are voids of the
        // data, not its outside: they count in the area, meeting nothing
        // (otherwise sparse points in fine cells read as dense).
        if (with_data > 0) f.void_cells += last - first + 1 - with_data;
    }
    f.empty_cells = raster.rows * raster.columns - f.cells_with_data;
    if (f.cells_with_data == 0) return f;
    const double data_cells = static_cast<double>(f.cells_with_data + f.void_cells);
    f.mean_density = static_cast<double>(f.points) / (data_cells * area);
    f.share_meeting = static_cast<double>(f.cells_meeting) / data_cells;
    if (density > 0)
        f.verdict = f.mean_density >= density && f.share_meeting >= required_share ? Verdict::pass : Verdict::fail;
    return f;
}

}  // namespace accuracy
