#include "ground_tile.hpp"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <utility>

#include "surface_grid.hpp"

namespace ground {
namespace {

constexpr int kLowNoisePasses = 3;
// The points' rises above the reference are counted per square in this
// many bins up to the plain threshold (the first kBelowBins below zero), and
// one above; a square with fewer points keeps the plain threshold.
constexpr int kRiseBins = 120, kBelowBins = 20;
constexpr std::uint32_t kFewestInSquare = 16;
// How many times the low-noise radius a point alone within it is judged over.
constexpr int kLoneReach = 3;

int cells_for(double length, double cell_size) {
    return std::max(1, int(std::ceil(length / cell_size - 1e-9)));
}

// The region's points grouped by cell, lowest first in each cell (all in
// order of height where the low noise takes any). A point is known by its
// place k in the job's list (job.ids[k]).
struct CellPoints {
    std::vector<std::uint32_t> start;  // cell i's points: order[start[i] .. start[i+1])
    std::vector<std::uint32_t> order;  // places in the job's list
    std::vector<double> z;             // their heights, in the same order
    std::vector<std::uint32_t> cell;   // the cell of the point at each place
    std::vector<std::uint32_t> rank;   // where each place is in order
    std::vector<double> gathered;      // scratch: the heights in the list's order
    std::vector<std::uint32_t> next;   // scratch: the next free place of each cell
};

}  // namespace

// A worker's grids, kept from one tile to the next (fresh pages for every
// tile cost more than the work). Outside the active cells of the tile they
// served last they are empty (NaN, 0), and those cells are emptied before
// the next tile: every step writes only inside the active cells.
struct TileGrids {
    int width = 0, height = 0;
    ActiveCells used;
    SurfaceGrid lowest, eroded, wider, opened, previous, dem, reference;
    std::vector<double> slope, reference_slope;
    std::vector<int> square_col, square_row;
    std::vector<std::uint32_t> histogram;  // per square: kRiseBins + 1 counts
    std::vector<double> square_limit;      // per square: the highest rise a ground point may have
    std::vector<std::uint8_t> object;
    std::vector<std::uint32_t> skipped;
    CellPoints cells;
};

TileWorkspace::TileWorkspace() : grids(std::make_unique<TileGrids>()) {}
TileWorkspace::~TileWorkspace() = default;

namespace {

void group_by_cell(const Points& points, std::span<const std::int64_t> cols, std::span<const std::int64_t> rows,
                   const TileJob& job, int width, int height, CellPoints& cells) {
    const std::size_t n_cells = std::size_t(width) * height, count = job.ids.size();
    cells.start.assign(n_cells + 1, 0);
    cells.cell.resize(count);
    // The heights gathered once in the list's order (ascending ids: along memory).
    std::vector<double>& z = cells.gathered;
    z.resize(count);
    for (std::size_t k = 0; k < count; ++k) {
        const std::uint32_t id = job.ids[k];
        cells.cell[k] = std::uint32_t((rows[id] - job.region.row0) * width + (cols[id] - job.region.col0));
        z[k] = points.z[id];
        ++cells.start[cells.cell[k] + 1];
    }
    std::partial_sum(cells.start.begin(), cells.start.end(), cells.start.begin());
    cells.order.resize(count);
    cells.z.resize(count);
    std::vector<std::uint32_t>& next = cells.next;
    next.assign(cells.start.begin(), cells.start.end() - 1);
    for (std::size_t k = 0; k < count; ++k) {
        const std::uint32_t at = next[cells.cell[k]]++;
        cells.order[at] = std::uint32_t(k);
        cells.z[at] = z[k];
    }
    // Each cell's lowest point (by height, then id) first; the rest are put
    // in order only for the few cells that lose points to the low noise.
    for (std::size_t i = 0; i < n_cells; ++i) {
        const std::uint32_t first = cells.start[i], last = cells.start[i + 1];
        if (last - first <= 1) continue;
        std::uint32_t low = first;
        for (std::uint32_t at = first + 1; at < last; ++at)
            if (cells.z[at] < cells.z[low] ||
                (cells.z[at] == cells.z[low] && job.ids[cells.order[at]] < job.ids[cells.order[low]]))
                low = at;
        std::swap(cells.order[first], cells.order[low]);
        std::swap(cells.z[first], cells.z[low]);
    }
}

// Puts cell i's points in order of height (then id), their heights alongside.
void sort_cell(CellPoints& cells, std::span<const std::uint32_t> ids, std::size_t i) {
    const std::uint32_t first = cells.start[i], last = cells.start[i + 1];
    thread_local std::vector<std::pair<double, std::uint32_t>> sorted;
    sorted.clear();
    for (std::uint32_t at = first; at < last; ++at) sorted.emplace_back(cells.z[at], cells.order[at]);
    std::sort(sorted.begin(), sorted.end(), [&](const auto& a, const auto& b) {
        return a.first < b.first || (a.first == b.first && ids[a.second] < ids[b.second]);
    });
    for (std::uint32_t at = first; at < last; ++at) {
        cells.z[at] = sorted[at - first].first;
        cells.order[at] = sorted[at - first].second;
    }
}

// Where each point is in its cell's list (once the lists are final).
void rank_points(CellPoints& cells) {
    cells.rank.resize(cells.order.size());
    for (std::size_t at = 0; at < cells.order.size(); ++at) cells.rank[cells.order[at]] = std::uint32_t(at);
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

// The active cells within `margin` cells of the tile's own (the core), in
// the grid's cells.
ActiveCells near_core(const ActiveCells& active, const TileJob& job, int margin) {
    const std::int64_t col0 = job.core.col0 - margin - job.region.col0, col1 = job.core.col1 + margin - job.region.col0;
    const std::int64_t row0 = job.core.row0 - margin - job.region.row0, row1 = job.core.row1 + margin - job.region.row0;
    ActiveCells near = active;
    for (std::size_t r = 0; r < near.first.size(); ++r) {
        near.first[r] = int(std::max<std::int64_t>(near.first[r], col0));
        near.last[r] = int(std::min<std::int64_t>(near.last[r], col1));
        if (std::int64_t(r) < row0 || std::int64_t(r) >= row1 || near.first[r] >= near.last[r])
            near.first[r] = near.last[r] = 0;
    }
    return near;
}

// Calls f(i) for every active cell's index.
template <class F>
void for_each_active(const ActiveCells& active, int width, F f) {
    for (std::size_t r = 0; r < active.first.size(); ++r)
        for (int c = active.first[r]; c < active.last[r]; ++c) f(r * width + c);
}

// The grids ready for a tile: all the given size, empty.
void make_empty(TileGrids& g, int width, int height) {
    const std::size_t n = std::size_t(width) * height;
    SurfaceGrid* grids[] = {&g.lowest, &g.eroded, &g.wider, &g.opened, &g.previous, &g.dem, &g.reference};
    if (g.width != width || g.height != height) {
        for (SurfaceGrid* grid : grids) *grid = {width, height, std::vector<double>(n, kNoValue)};
        g.slope.assign(n, 0.0);
        g.reference_slope.assign(n, 0.0);
        g.object.assign(n, 0);
        g.skipped.assign(n, 0);
        g.width = width, g.height = height;
        return;
    }
    for_each_active(g.used, width, [&](std::size_t i) {
        for (SurfaceGrid* grid : grids) grid->z[i] = kNoValue;
        g.slope[i] = 0.0, g.reference_slope[i] = 0.0, g.object[i] = 0, g.skipped[i] = 0;
    });
}

// Copies the active cells of one grid into another.
void copy_active(const SurfaceGrid& from, SurfaceGrid& to, const ActiveCells& active) {
    for_each_active(active, from.width, [&](std::size_t i) { to.z[i] = from.z[i]; });
}

// Lowest point of each cell, skipping its first skipped[i] points (low
// noise); the cells with points are all active.
double lowest_left(const CellPoints& cells, const std::vector<std::uint32_t>& skipped, std::size_t i) {
    const std::uint32_t first = cells.start[i] + skipped[i];
    return first < cells.start[i + 1] ? cells.z[first] : kNoValue;
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
// neighbouring outliers goes too. Counts in skipped the points marked per cell.
void find_low_noise(CellPoints& cells, std::span<const std::uint32_t> ids, SurfaceGrid& surface, int radius,
                    double depth, const ActiveCells& active, std::vector<std::uint32_t>& skipped,
                    SurfaceGrid& lowest_around) {
    const int w = surface.width;
    for_each_active(active, w, [&](std::size_t i) { surface.z[i] = lowest_left(cells, skipped, i); });
    std::vector<std::size_t> changed;
    for (int pass = 0; pass < kLowNoisePasses; ++pass) {
        erode(surface, radius, lowest_around, active);
        // The surface stays as it was for the whole pass; a cell's own count
        // is read only by that cell.
        changed.clear();
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
                if (k < cells.start[i + 1] && cells.z[k] < around - depth && skipped[i] == 0) sort_cell(cells, ids, i);
                while (k < cells.start[i + 1] && cells.z[k] < around - depth) ++k;
                if (k != cells.start[i] + skipped[i]) {
                    skipped[i] = k - cells.start[i];
                    changed.push_back(i);
                }
            }
        for (const std::size_t i : changed) surface.z[i] = lowest_left(cells, skipped, i);
        if (changed.empty()) break;
    }
}

// Cells whose lowest point stands above a progressively wider opening of
// the surface (the gap-filled lowest surface, in g.eroded) by more than the
// terrain's slope allows: objects, in g.object. The opening of radius
// reference_radius is kept in g.reference.
void find_objects(TileGrids& g, const GroundSettings& settings, const ActiveCells& active, int reference_radius) {
    const int max_radius = cells_for(settings.max_window, settings.cell_size);
    SurfaceGrid &eroded = g.eroded, &wider = g.wider, &opened = g.opened, &previous = g.previous;
    std::vector<std::uint8_t>& object = g.object;
    copy_active(eroded, previous, active);
    for (int k = 1; k <= max_radius; ++k) {
        erode_by_one(eroded, wider, active);
        std::swap(eroded, wider);
        const double allowed = settings.slope * k * settings.cell_size;
        dilate(eroded, k, opened, active, [&](int row) {
            const std::size_t at = std::size_t(row) * eroded.width;
            for (std::size_t i = at + active.first[row]; i < at + active.last[row]; ++i)
                if (previous.z[i] - opened.z[i] > allowed) object[i] = 1;
        });
        if (k == reference_radius) copy_active(opened, g.reference, active);
        std::swap(previous, opened);
    }
}

// Two surfaces at (x, y), each from the four nearest cell centres, NaN-aware
// (the terrain model and the reference: one set of weights for both).
struct TwoHeights {
    double first, second;
};
TwoHeights heights_at(const SurfaceGrid& first, const SurfaceGrid& second, double fx, double fy) {
    const double cx = std::floor(fx), cy = std::floor(fy);
    const int c0 = int(cx), r0 = int(cy);
    const double tx = fx - cx, ty = fy - cy;
    double sum[2] = {0, 0}, weights[2] = {0, 0};
    for (int dr = 0; dr <= 1; ++dr)
        for (int dc = 0; dc <= 1; ++dc) {
            const int c = c0 + dc, r = r0 + dr;
            if (c < 0 || c >= first.width || r < 0 || r >= first.height) continue;
            const double weight = (dc ? tx : 1 - tx) * (dr ? ty : 1 - ty);
            const std::size_t i = std::size_t(r) * first.width + c;
            if (!std::isnan(first.z[i])) sum[0] += weight * first.z[i], weights[0] += weight;
            if (!std::isnan(second.z[i])) sum[1] += weight * second.z[i], weights[1] += weight;
        }
    return {weights[0] > 0 ? sum[0] / weights[0] : kNoValue, weights[1] > 0 ? sum[1] / weights[1] : kNoValue};
}

std::int64_t floor_div(std::int64_t a, std::int64_t b) {
    return a >= 0 ? a / b : -((-a + b - 1) / b);
}

// The squares the ground's spread is measured in: `side` cells each, on the
// global lattice (every tiling sees the same squares), those holding any of
// the tile's own cells inside its grid (a tile may reach far beyond the
// points).
struct Squares {
    std::int64_t col0 = 0, row0 = 0;  // the first square's index
    int cols = 0, rows = 0;
};

Squares squares_over(const TileJob& job, int side) {
    const std::int64_t col0 = std::max(job.core.col0, job.region.col0), col1 = std::min(job.core.col1, job.region.col1);
    const std::int64_t row0 = std::max(job.core.row0, job.region.row0), row1 = std::min(job.core.row1, job.region.row1);
    Squares q;
    q.col0 = floor_div(col0, side);
    q.row0 = floor_div(row0, side);
    q.cols = int(floor_div(col1 - 1, side) + 1 - q.col0);
    q.rows = int(floor_div(row1 - 1, side) + 1 - q.row0);
    return q;
}

// A rise's bin: kRiseBins bins of bin_width from kBelowBins bins below zero
// (lower rises in the first), the last for everything above.
int bin_of(double rise, double bin_width) {
    const double at = rise / bin_width + kBelowBins;
    return at <= 0 ? 0 : int(std::min(at, double(kRiseBins)));
}

// The rise below which `share` of a square's counted points lie (the
// middle of its bin), or INFINITY in the last bin.
double rise_quantile(const std::uint32_t* bins, std::uint32_t count, double share, double bin_width) {
    const double wanted = share * count;
    std::uint32_t below = 0;
    int b = 0;
    while (b < kRiseBins && double(below += bins[b]) < wanted) ++b;
    return b < kRiseBins ? (b - kBelowBins + 0.5) * bin_width : INFINITY;
}

// The highest rise above the reference a ground point of each square may
// have: the median rise of its points near the model plus
// scatter_factor times their spread, at least min_height_threshold;
// unbounded where that reaches height_threshold or the square holds too few
// points. The spread is taken from the median to the 80th percentile (as a
// normal deviation): low vegetation lies above the ground, so a square's
// lower rises are the ground's, and its upper fifth may be vegetation.
void limit_squares(const std::vector<std::uint32_t>& histogram, double bin_width, const GroundSettings& settings,
                   std::vector<double>& limit) {
    constexpr double kUpper = 0.8, kUpperDeviations = 0.8416;  // the normal's 80th percentile
    for (std::size_t q = 0; q < limit.size(); ++q) {
        const std::uint32_t* bins = &histogram[q * (kRiseBins + 1)];
        std::uint32_t count = 0;
        for (int b = 0; b <= kRiseBins; ++b) count += bins[b];
        limit[q] = INFINITY;
        if (count < kFewestInSquare) continue;
        const double median = rise_quantile(bins, count, 0.5, bin_width);
        const double spread = (rise_quantile(bins, count, kUpper, bin_width) - median) / kUpperDeviations;
        const double highest = median + settings.scatter_factor * spread;
        if (highest < settings.height_threshold) limit[q] = std::max(settings.min_height_threshold, highest);
    }
}

// How far from the tile's own cells each terrain model is needed (the
// margin taken apart): the last within two cells (its slope, the
// interpolation), each one a fill and a cell farther than the next; and the
// one the ground's spread is measured against (spread_pass) across the
// squares over the core, within `square` cells and two more of them.
std::vector<int> model_margins(const GroundSettings& settings) {
    const int fill = cells_for(settings.fill_distance, settings.cell_size);
    const int square = cells_for(settings.scatter_block, settings.cell_size);
    std::vector<int> margin(settings.reclaim_passes + 1);
    for (int pass = settings.reclaim_passes; pass >= 0; --pass)
        margin[pass] = pass == settings.reclaim_passes ? fill + 2 : margin[pass + 1] + fill + 1;
    margin[0] = std::max(margin[0], square + 2);
    return margin;
}

// The last model computed as far as the squares read: the spread is
// measured against it (the models after it differ only where the last
// passes gave cells back, and reaching farther would widen every margin).
int spread_pass(const std::vector<int>& margin, int square) {
    int pass = 0;
    while (pass + 1 < int(margin.size()) && margin[pass + 1] >= square + 2) ++pass;
    return pass;
}

}  // namespace

int reach_in_cells(const GroundSettings& settings) {
    const int window = cells_for(settings.max_window, settings.cell_size);
    const int fill = cells_for(settings.fill_distance, settings.cell_size);
    const int low_noise = cells_for(settings.low_noise_radius, settings.cell_size);
    // Each step reads its input this far around a cell: the low-noise passes,
    // the first fill, the openings (erosion then dilation), then the terrain
    // models (each one's fill and slope, the interpolation between cell
    // centres, the squares of the ground's spread).
    return kLowNoisePasses * kLoneReach * low_noise + fill + 2 * window + model_margins(settings)[0] + 1;
}

void classify_tile(const Points& points, std::span<const std::int64_t> cols,
                   std::span<const std::int64_t> rows, const TileJob& job,
                   const GroundSettings& settings, std::span<std::uint8_t> classes, TileWorkspace& workspace) {
    const int width = int(job.region.col1 - job.region.col0);
    const int height = int(job.region.row1 - job.region.row0);
    const int fill_steps = cells_for(settings.fill_distance, settings.cell_size);
    const int square = cells_for(settings.scatter_block, settings.cell_size);

    TileGrids& g = *workspace.grids;
    make_empty(g, width, height);
    CellPoints& cells = g.cells;
    group_by_cell(points, cols, rows, job, width, height, cells);
    // Far enough for a fill to carry no value past it, and for the erosion
    // and dilation of the widest opening around a cell with points to read
    // only cells computed as on the whole grid.
    const int window = cells_for(settings.max_window, settings.cell_size);
    const ActiveCells active = near_points(cells, width, height, std::max(2 * window, fill_steps + 1) + 1);
    g.used = active;
    // Each step is needed only as far from the tile's own cells as the steps
    // after it read (the margin, taken apart): the models (model_margins),
    // then the openings' erosion and dilation and the first fill farther
    // still.
    const std::vector<int> model_margin = model_margins(settings);
    const int opening_margin = model_margin[0] + 2 * window;

    // 1. The lowest surface, once isolated low points are set aside.
    const SurfaceGrid& lowest = g.lowest;
    const std::vector<std::uint32_t>& skipped = g.skipped;
    find_low_noise(cells, job.ids, g.lowest, cells_for(settings.low_noise_radius, settings.cell_size),
                   settings.low_noise_depth, active, g.skipped, g.opened);
    rank_points(cells);

    // 2. Objects: cells that a progressive opening of the gap-filled surface
    // removes (filled where the openings start from).
    copy_active(lowest, g.eroded, active);
    fill_gaps(g.eroded, fill_steps, near_core(active, job, opening_margin + fill_steps));
    const int reference_radius = std::min(window, cells_for(settings.reference_window, settings.cell_size));
    find_objects(g, settings, near_core(active, job, opening_margin), reference_radius);
    std::vector<std::uint8_t>& object = g.object;

    // 3. The ground's spread about the reference in each square over the
    // core, from its points (the core's and the margin's alike) within the
    // plain threshold of the terrain model of spread_pass, measured as soon
    // as that model is made (in 4).
    SurfaceGrid& dem = g.dem;
    std::vector<double>& slope = g.slope;
    const Squares squares = squares_over(job, square);
    const int measured_pass = spread_pass(model_margin, square);
    const double bin_width = settings.height_threshold / (kRiseBins - kBelowBins);
    std::vector<double>& reference_slope = g.reference_slope;
    slope_of(g.reference, settings.cell_size, reference_slope, near_core(active, job, square + 1));
    g.histogram.assign(std::size_t(squares.cols) * squares.rows * (kRiseBins + 1), 0);
    g.square_limit.resize(std::size_t(squares.cols) * squares.rows);
    // The square of each of the grid's columns and rows (-1 outside them).
    std::vector<int>& square_col = g.square_col;
    std::vector<int>& square_row = g.square_row;
    square_col.resize(width);
    square_row.resize(height);
    for (int c = 0; c < width; ++c) {
        const std::int64_t q = floor_div(job.region.col0 + c, square) - squares.col0;
        square_col[c] = q >= 0 && q < squares.cols ? int(q) : -1;
    }
    for (int r = 0; r < height; ++r) {
        const std::int64_t q = floor_div(job.region.row0 + r, square) - squares.row0;
        square_row[r] = q >= 0 && q < squares.rows ? int(q) : -1;
    }
    // Cell by cell: the points of the squares that are not low noise, each
    // against its cell's model and reference (enough for a spread, and
    // without the interpolation the points' classes take).
    const auto measure_spread = [&] {
        const auto inside = [](int q) { return q >= 0; };
        const int c0 = int(std::find_if(square_col.begin(), square_col.end(), inside) - square_col.begin());
        const int c1 = int(std::find_if(square_col.rbegin(), square_col.rend(), inside).base() - square_col.begin());
        for (int r = 0; r < height; ++r) {
            if (square_row[r] < 0) continue;
            for (int c = c0; c < c1; ++c) {
                const std::size_t i = std::size_t(r) * width + c;
                const double model = dem.z[i], base = g.reference.z[i];
                if (std::isnan(base) || std::isnan(model)) continue;
                const double allowed = settings.height_threshold + settings.slope_scale * slope[i];
                std::uint32_t* bins =
                    &g.histogram[(std::size_t(square_row[r]) * squares.cols + square_col[c]) * (kRiseBins + 1)];
                for (std::uint32_t at = cells.start[i] + skipped[i]; at < cells.start[i + 1]; ++at)
                    if (std::abs(cells.z[at] - model) <= allowed) ++bins[bin_of(cells.z[at] - base, bin_width)];
            }
        }
        limit_squares(g.histogram, bin_width, settings, g.square_limit);
    };

    // 4. The terrain model: the lowest points of ground cells, gaps filled;
    // then object cells whose lowest point lies on the model after all (the
    // upper edges of terrain steps and narrow terraces the openings cut off)
    // go back to the ground, a few times over.
    copy_active(lowest, dem, active);
    for (int pass = 0;; ++pass) {
        // Cells outside keep the last pass's values, which nothing needed reads.
        const ActiveCells model_cells = near_core(active, job, model_margin[pass]);
        for_each_active(model_cells, width, [&](std::size_t i) { dem.z[i] = object[i] ? kNoValue : lowest.z[i]; });
        fill_gaps(dem, fill_steps, model_cells);
        slope_of(dem, settings.cell_size, slope, model_cells);
        if (pass == measured_pass) measure_spread();
        if (pass == settings.reclaim_passes) break;
        bool reclaimed = false;
        for_each_active(model_cells, width, [&](std::size_t i) {
            const double allowed = settings.height_threshold + settings.slope_scale * slope[i];
            if (object[i] && std::abs(lowest.z[i] - dem.z[i]) <= settings.reclaim_share * allowed) {
                object[i] = 0;
                reclaimed = true;
            }
        });
        if (!reclaimed) {
            if (pass < measured_pass) measure_spread();  // the model is final
            break;
        }
    }

    // 5. Every point of the core: ground within the plain threshold of the
    // last model and, where the ground is smooth, within its square's limit
    // of the reference, in the list's order (along memory); the lowest
    // skipped[i] of cell i are low noise. The slope allowed for against the
    // reference is the mean of the model's (which rises over low
    // vegetation) and the reference's (which cuts across the upper edges of
    // steps).
    for (std::size_t k = 0; k < job.ids.size(); ++k) {
        const std::uint32_t id = job.ids[k];
        if (!job.core.holds(cols[id], rows[id])) continue;
        const std::uint32_t i = cells.cell[k];
        if (cells.rank[k] < cells.start[i] + skipped[i]) {
            classes[id] = kLowNoise;
            continue;
        }
        const double fx = points.x[id] / settings.cell_size - double(job.region.col0) - 0.5;
        const double fy = points.y[id] / settings.cell_size - double(job.region.row0) - 0.5;
        const TwoHeights at = heights_at(dem, g.reference, fx, fy);
        const double allowed = settings.height_threshold + settings.slope_scale * slope[i];
        const int qc = square_col[cols[id] - job.region.col0], qr = square_row[rows[id] - job.region.row0];
        const double rise_allowed = g.square_limit[std::size_t(qr) * squares.cols + qc] +
                                    settings.slope_scale * 0.5 * (slope[i] + reference_slope[i]);
        const bool is_ground = !std::isnan(at.first) && std::abs(points.z[id] - at.first) <= allowed &&
                               !(points.z[id] - at.second > rise_allowed);
        classes[id] = is_ground ? kGround : kUnclassified;
    }
}

}  // namespace ground
