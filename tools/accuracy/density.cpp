#include "density.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
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

DensityFigures density_figures(const DensityRaster& raster, double density, double required_share) {
    DensityFigures f;
    const double area = raster.cell_size * raster.cell_size;
    for (const std::uint32_t count : raster.counts) {
        f.points += count;
        if (count == 0) {
            ++f.empty_cells;
            continue;
        }
        ++f.cells_with_data;
        if (count / area >= density) ++f.cells_meeting;
    }
    if (f.cells_with_data == 0) return f;
    f.mean_density = static_cast<double>(f.points) / (static_cast<double>(f.cells_with_data) * area);
    f.share_meeting = static_cast<double>(f.cells_meeting) / static_cast<double>(f.cells_with_data);
    if (density > 0)
        f.verdict = f.mean_density >= density && f.share_meeting >= required_share ? Verdict::pass : Verdict::fail;
    return f;
}

}  // namespace accuracy
