#include "ground_tile.hpp"

#include <algorithm>
#include <cmath>
#include <numeric>

#include "surface_grid.hpp"

namespace ground {
namespace {

constexpr int kLowNoisePasses = 3;
// How many times the low-noise radius a point alone within it is judged over.
constexpr int kLoneReach = 3;

int cells_for(double length, double cell_size) {
    return std::max(1, int(std::ceil(length / cell_size - 1e-9)));
}

// The region's points grouped by cell, lowest first in each cell.
struct CellPoints {
    std::vector<std::uint32_t> start;  // cell i's points: order[start[i] .. start[i+1])
    std::vector<std::uint32_t> order;  // point ids
};

CellPoints group_by_cell(const Points& points, std::span<const std::int64_t> cols,
                         std::span<const std::int64_t> rows, const TileJob& job, int width,
                         int height, std::vector<std::uint32_t>& cell_of) {
    CellPoints cells;
    const std::size_t n_cells = std::size_t(width) * height;
    cells.start.assign(n_cells + 1, 0);
    cell_of.resize(job.ids.size());
    for (std::size_t k = 0; k < job.ids.size(); ++k) {
        const std::uint32_t id = job.ids[k];
        cell_of[k] = std::uint32_t((rows[id] - job.region.row0) * width + (cols[id] - job.region.col0));
        ++cells.start[cell_of[k] + 1];
    }
    std::partial_sum(cells.start.begin(), cells.start.end(), cells.start.begin());
    cells.order.resize(job.ids.size());
    std::vector<std::uint32_t> next(cells.start.begin(), cells.start.end() - 1);
    for (std::size_t k = 0; k < job.ids.size(); ++k) cells.order[next[cell_of[k]]++] = job.ids[k];
    for (std::size_t i = 0; i < n_cells; ++i)
        std::sort(cells.order.begin() + cells.start[i], cells.order.begin() + cells.start[i + 1],
                  [&](std::uint32_t a, std::uint32_t b) {
                      return points.z[a] < points.z[b] || (points.z[a] == points.z[b] && a < b);
                  });
    return cells;
}

// The cells whose results can reach a point: those within `reach` cells of
// a cell holding one, as a span of columns per row. Every cell outside stays
// empty in every grid (the fills carry no value that far; the openings'
// erosions and dilations there change no object flag of a cell with
// points), so the passes skip them: in a tile crossed diagonally by a swath
// most of the grid is such cells.
ActiveCells near_points(const CellPoints& cells, int width, int height, int reach) {
    ActiveCells occupied{std::vector<int>(height, width), std::vector<int>(height, 0)};
    for (int r = 0; r < height; ++r)
        for (int c = 0; c < width; ++c) {
            const std::size_t i = std::size_t(r) * width + c;
            if (cells.start[i] == cells.start[i + 1]) continue;
            occupied.first[r] = std::min(occupied.first[r], c);
            occupied.last[r] = c + 1;
        }
    ActiveCells active = rows_around(occupied, -reach, reach, height);
    for (int r = 0; r < height; ++r)
        if (active.first[r] < active.last[r]) {
            active.first[r] = std::max(0, active.first[r] - reach);
            active.last[r] = std::min(width, active.last[r] + reach);
        }
    return active;
}

// Calls f(i) for every active cell's index.
template <class F>
void for_each_active(const ActiveCells& active, int width, F f) {
    for (std::size_t r = 0; r < active.first.size(); ++r)
        for (int c = active.first[r]; c < active.last[r]; ++c) f(r * width + c);
}

// Lowest point of each cell, skipping its first skipped[i] points (low
// noise); the cells with points are all active.
void lowest_surface(const Points& points, const CellPoints& cells, const std::vector<std::uint32_t>& skipped,
                    const ActiveCells& active, SurfaceGrid& surface) {
    for_each_active(active, surface.width, [&](std::size_t i) {
        const std::uint32_t first = cells.start[i] + skipped[i];
        surface.z[i] = first < cells.start[i + 1] ? points.z[cells.order[first]] : kNoValue;
    });
}

// The lowest value of the cells within radius of (c, r), itself left out.
double lowest_other(const SurfaceGrid& surface, int c, int r, int radius) {
    double around = INFINITY;
    for (int rr = std::max(0, r - radius); rr <= std::min(surface.height - 1, r + radius); ++rr)
        for (int cc = std::max(0, c - radius); cc <= std::min(surface.width - 1, c + radius); ++cc) {
            const double v = surface.at(cc, rr);
            if ((rr != r || cc != c) && !std::isnan(v)) around = std::min(around, v);
        }
    return around;
}

// Marks as low noise the points of a cell more than depth below the lowest
// point of every other cell within radius cells (only a cell that is the
// lowest of its square can hold any), a few times over so that a pair of
// neighbouring outliers goes too. Returns the number of points marked per cell.
std::vector<std::uint32_t> find_low_noise(const Points& points, const CellPoints& cells,
                                          SurfaceGrid& surface, int radius, double depth,
                                          const ActiveCells& active) {
    const int w = surface.width;
    std::vector<std::uint32_t> skipped(surface.z.size(), 0);
    SurfaceGrid lowest_around;
    for (int pass = 0; pass < kLowNoisePasses; ++pass) {
        lowest_surface(points, cells, skipped, active, surface);
        erode(surface, radius, lowest_around, active);
        bool changed = false;
        std::vector<std::uint32_t> next = skipped;
        for (int r = 0; r < int(active.first.size()); ++r)
            for (int c = active.first[r]; c < active.last[r]; ++c) {
                const std::size_t i = std::size_t(r) * w + c;
                if (std::isnan(surface.z[i]) || surface.z[i] != lowest_around.z[i]) continue;
                // A point alone within the radius (at a swath's edge, in a
                // sparse cloud) is judged against the cells farther out.
                double around = lowest_other(surface, c, r, radius);
                if (!std::isfinite(around)) around = lowest_other(surface, c, r, kLoneReach * radius);
                if (!std::isfinite(around)) continue;
                std::uint32_t k = cells.start[i] + skipped[i];
                while (k < cells.start[i + 1] && points.z[cells.order[k]] < around - depth) ++k;
                if (k != cells.start[i] + skipped[i]) {
                    next[i] = k - cells.start[i];
                    changed = true;
                }
            }
        skipped.swap(next);
        if (!changed) break;
    }
    lowest_surface(points, cells, skipped, active, surface);
    return skipped;
}

// Cells whose lowest point stands above a progressively wider opening of
// the surface by more than the terrain's slope allows: objects.
std::vector<std::uint8_t> find_objects(const SurfaceGrid& filled, const GroundSettings& settings,
                                       const ActiveCells& active) {
    const int max_radius = cells_for(settings.max_window, settings.cell_size);
    std::vector<std::uint8_t> object(filled.z.size(), 0);
    SurfaceGrid eroded = filled, wider, opened, previous = filled;
    for (int k = 1; k <= max_radius; ++k) {
        erode_by_one(eroded, wider, active);
        std::swap(eroded, wider);
        const double allowed = settings.slope * k * settings.cell_size;
        dilate(eroded, k, opened, active, [&](int row) {
            const std::size_t at = std::size_t(row) * filled.width;
            for (std::size_t i = at + active.first[row]; i < at + active.last[row]; ++i)
                if (previous.z[i] - opened.z[i] > allowed) object[i] = 1;
        });
        std::swap(previous, opened);
    }
    return object;
}

// The terrain model at (x, y) from the four nearest cell centres, NaN-aware.
double terrain_at(const SurfaceGrid& dem, double fx, double fy) {
    const double cx = std::floor(fx), cy = std::floor(fy);
    const int c0 = int(cx), r0 = int(cy);
    const double tx = fx - cx, ty = fy - cy;
    double sum = 0, weights = 0;
    for (int dr = 0; dr <= 1; ++dr)
        for (int dc = 0; dc <= 1; ++dc) {
            const int c = c0 + dc, r = r0 + dr;
            if (c < 0 || c >= dem.width || r < 0 || r >= dem.height) continue;
            const double v = dem.at(c, r);
            if (std::isnan(v)) continue;
            const double weight = (dc ? tx : 1 - tx) * (dr ? ty : 1 - ty);
            sum += weight * v;
            weights += weight;
        }
    return weights > 0 ? sum / weights : kNoValue;
}

}  // namespace

int reach_in_cells(const GroundSettings& settings) {
    const int window = cells_for(settings.max_window, settings.cell_size);
    const int fill = cells_for(settings.fill_distance, settings.cell_size);
    const int low_noise = cells_for(settings.low_noise_radius, settings.cell_size);
    // Each step reads its input this far around a cell: the low-noise passes,
    // the first fill, the openings (erosion then dilation), each terrain
    // model's fill and slope, and the interpolation between cell centres.
    return kLowNoisePasses * kLoneReach * low_noise + fill + 2 * window +
           (settings.reclaim_passes + 1) * (fill + 1) + 1 + 1;
}

void classify_tile(const Points& points, std::span<const std::int64_t> cols,
                   std::span<const std::int64_t> rows, const TileJob& job,
                   const GroundSettings& settings, std::span<std::uint8_t> classes) {
    const int width = int(job.region.col1 - job.region.col0);
    const int height = int(job.region.row1 - job.region.row0);
    const int fill_steps = cells_for(settings.fill_distance, settings.cell_size);

    std::vector<std::uint32_t> cell_of;
    const CellPoints cells = group_by_cell(points, cols, rows, job, width, height, cell_of);
    // Far enough for a fill to carry no value past it, and for the erosion
    // and dilation of the widest opening around a cell with points to read
    // only cells computed as on the whole grid.
    const int window = cells_for(settings.max_window, settings.cell_size);
    const ActiveCells active = near_points(cells, width, height, std::max(2 * window, fill_steps + 1) + 1);

    // 1. The lowest surface, once isolated low points are set aside.
    SurfaceGrid lowest{width, height, std::vector<double>(std::size_t(width) * height, kNoValue)};
    const std::vector<std::uint32_t> skipped =
        find_low_noise(points, cells, lowest, cells_for(settings.low_noise_radius, settings.cell_size),
                       settings.low_noise_depth, active);

    // 2. Objects: cells that a progressive opening of the gap-filled surface removes.
    SurfaceGrid filled = lowest;
    fill_gaps(filled, fill_steps, active);
    std::vector<std::uint8_t> object = find_objects(filled, settings, active);

    // 3. The terrain model: the lowest points of ground cells, gaps filled;
    // then object cells whose lowest point lies on the model after all (the
    // upper edges of terrain steps and narrow terraces the openings cut off)
    // go back to the ground, a few times over.
    SurfaceGrid dem;
    std::vector<double> slope;
    for (int pass = 0;; ++pass) {
        dem = lowest;
        for_each_active(active, width, [&](std::size_t i) {
            if (object[i]) dem.z[i] = kNoValue;
        });
        fill_gaps(dem, fill_steps, active);
        slope_of(dem, settings.cell_size, slope, active);
        if (pass == settings.reclaim_passes) break;
        bool reclaimed = false;
        for_each_active(active, width, [&](std::size_t i) {
            const double allowed = settings.height_threshold + settings.slope_scale * slope[i];
            if (object[i] && std::abs(lowest.z[i] - dem.z[i]) <= settings.reclaim_share * allowed) {
                object[i] = 0;
                reclaimed = true;
            }
        });
        if (!reclaimed) break;
    }

    // 4. Every point of the core against the model.
    const int core_col0 = int(std::max(job.core.col0, job.region.col0) - job.region.col0);
    const int core_col1 = int(std::min(job.core.col1, job.region.col1) - job.region.col0);
    const int core_row0 = int(std::max(job.core.row0, job.region.row0) - job.region.row0);
    const int core_row1 = int(std::min(job.core.row1, job.region.row1) - job.region.row0);
    for (int row = core_row0; row < core_row1; ++row)
        for (int col = core_col0; col < core_col1; ++col) {
            const std::size_t i = std::size_t(row) * width + col;
            for (std::uint32_t k = cells.start[i]; k < cells.start[i + 1]; ++k) {
                const std::uint32_t id = cells.order[k];
                if (k < cells.start[i] + skipped[i]) {
                    classes[id] = kLowNoise;
                    continue;
                }
                const double fx = points.x[id] / settings.cell_size - double(job.region.col0) - 0.5;
                const double fy = points.y[id] / settings.cell_size - double(job.region.row0) - 0.5;
                const double terrain = terrain_at(dem, fx, fy);
                const double allowed = settings.height_threshold + settings.slope_scale * slope[i];
                const bool is_ground = !std::isnan(terrain) && std::abs(points.z[id] - terrain) <= allowed;
                classes[id] = is_ground ? kGround : kUnclassified;
            }
        }
}

}  // namespace ground
