#include "strip_compare.hpp"

#include <algorithm>
#include <cmath>

#include "sorted_quantile.hpp"

namespace morva::overlap {

namespace {

Track fitted_track(const TrackSums& s) {
    Track t;
    const double n = s.n;
    t.cx = s.x0 + s.sx / n;
    t.cy = s.y0 + s.sy / n;
    const double var_t = s.stt - s.st * s.st / n;
    const double vx = var_t > 0 ? (s.stx - s.st * s.sx / n) / var_t : 0;
    const double vy = var_t > 0 ? (s.sty - s.st * s.sy / n) / var_t : 0;
    const double speed = std::hypot(vx, vy);
    if (speed > 0) {
        t.ux = vx / speed;
        t.uy = vy / speed;
    }
    t.heading_deg = std::atan2(t.ux, t.uy) * (180.0 / M_PI);
    if (t.heading_deg < 0) t.heading_deg += 360;
    const double tm = s.st / n;
    t.start_x = t.cx + vx * (s.t_min - tm);
    t.start_y = t.cy + vy * (s.t_min - tm);
    t.end_x = t.cx + vx * (s.t_max - tm);
    t.end_y = t.cy + vy * (s.t_max - tm);
    return t;
}

// Across-track position right of the flight line, metres.
double right_of(const Track& t, double x, double y) { return (x - t.cx) * t.uy - (y - t.cy) * t.ux; }

double slope_of(const std::vector<double>& u, const std::vector<double>& v) {
    const double n = static_cast<double>(u.size());
    double mu = 0, mv = 0;
    for (std::size_t i = 0; i < u.size(); ++i) {
        mu += u[i];
        mv += v[i];
    }
    mu /= n;
    mv /= n;
    double suv = 0, suu = 0;
    for (std::size_t i = 0; i < u.size(); ++i) {
        suv += (u[i] - mu) * (v[i] - mv);
        suu += (u[i] - mu) * (u[i] - mu);
    }
    return suu > 0 ? suv / suu : 0;
}

// A strip's points on blocks of about 4 m: on a fine grid most cells hold
// no point, and the cells holding one would not measure the area.
struct Blocks {
    CellTable table;
    std::vector<std::uint64_t> points;
};

std::int64_t floor_div(std::int64_t x, std::int64_t d) { return x >= 0 ? x / d : -((-x - 1) / d) - 1; }

Blocks blocks_of(const Strip& s, std::int64_t block) {
    Blocks b;
    for (std::uint32_t k = 0; k < s.cells.size(); ++k) {
        const raster::CellIndex c = s.cells.cell(k);
        const std::uint32_t n = b.table.number({floor_div(c.ix, block), floor_div(c.iy, block)});
        if (n == b.points.size()) b.points.push_back(0);
        b.points[n] += s.planes[k].n;
    }
    return b;
}

}  // namespace

void summarise(Strip& s, StripCells&& cells, const TrackSums& track, const SmoothCriteria& c) {
    s.resolution = cells.resolution;
    s.planes.resize(cells.sums.size());
    double residual_sq = 0, freedom = 0;
    raster::CellExtent box;
    for (std::uint32_t k = 0; k < cells.sums.size(); ++k) {
        box.add(cells.table.cell(k));
        ++s.cells_with_points;
        const Plane p = fit_plane(cells.sums[k]);
        const bool smooth = p.fitted && p.n >= c.min_points && p.roughness <= c.max_roughness &&
                            p.slope_deg <= c.max_slope_deg &&
                            p.narrowest_spread >= SmoothCriteria::min_spread(s.resolution);
        s.planes[k] = {p.height, p.n, static_cast<std::uint8_t>(smooth)};
        if (smooth) {
            ++s.smooth_cells;
            residual_sq += p.residual_sq;
            freedom += p.n - 3.0;
        }
    }
    s.window = box.raster(s.resolution);
    s.cells = std::move(cells.table);
    // Every sum over a pair's cells is taken in this one order, whatever the
    // order of the points: the cells by row and column, as one unsigned key.
    std::vector<std::pair<std::uint64_t, std::uint32_t>> keyed(s.planes.size());
    for (std::uint32_t k = 0; k < keyed.size(); ++k) {
        const raster::CellIndex c = s.cells.cell(k);
        keyed[k] = {(static_cast<std::uint64_t>(c.iy - box.iy_min) << 32) | static_cast<std::uint64_t>(c.ix - box.ix_min), k};
    }
    std::sort(keyed.begin(), keyed.end());
    s.south_to_north.resize(keyed.size());
    for (std::size_t k = 0; k < keyed.size(); ++k) s.south_to_north[k] = keyed[k].second;
    cells.sums = {};
    if (freedom > 0) s.precision = std::sqrt(residual_sq / freedom);
    if (track.n > 0) s.track = fitted_track(track);
}

bool compare(const Strip& A, const Strip& B, PairResult& r) {
    raster::CellExtent box;
    std::vector<double> dz, ua, ub;
    for (const std::uint32_t ka : A.south_to_north) {
        const raster::CellIndex cell = A.cells.cell(ka);
        const std::uint32_t kb = B.cells.find(cell);
        if (kb == CellTable::kNone) continue;
        const CellPlane& a = A.planes[ka];
        const CellPlane& b = B.planes[kb];
        ++r.overlap_cells;
        box.add(cell);
        if (!a.smooth || !b.smooth) continue;
        const double d = a.height - b.height;
        r.dz.push_back({static_cast<std::int32_t>(cell.ix), static_cast<std::int32_t>(cell.iy), static_cast<float>(d)});
        const double x = (static_cast<double>(cell.ix) + 0.5) * A.resolution;
        const double y = (static_cast<double>(cell.iy) + 0.5) * A.resolution;
        dz.push_back(d);
        ua.push_back(right_of(A.track, x, y));
        ub.push_back(right_of(B.track, x, y));
    }
    if (r.overlap_cells == 0) return false;
    r.window = box.raster(A.resolution);
    r.smooth_cells = dz.size();
    if (dz.empty()) return true;
    const double n = static_cast<double>(dz.size());
    double sum = 0, sq = 0;
    for (double d : dz) {
        sum += d;
        sq += d * d;
    }
    r.mean = sum / n;
    r.rmsdz = std::sqrt(sq / n);
    double dev = 0;
    for (double d : dz) dev += (d - r.mean) * (d - r.mean);
    r.std_dev = dz.size() > 1 ? std::sqrt(dev / (n - 1)) : 0;
    r.gradient_a = slope_of(ua, dz);
    r.gradient_b = slope_of(ub, dz);
    std::vector<double> sorted = dz;
    std::sort(sorted.begin(), sorted.end());
    r.median = common::sorted_quantile(sorted, 0.5);
    for (double& d : sorted) d = std::fabs(d);
    std::sort(sorted.begin(), sorted.end());
    r.p95_abs = common::sorted_quantile(sorted, 0.95);
    r.max_abs = sorted.back();
    return true;
}

void explain_not_tested(PairResult& r, const Strip& A, const Strip& B, const SmoothCriteria& c,
                        std::uint64_t min_smooth) {
    const double resolution = A.resolution;
    char text[400];
    // The sparser strip's points per square metre on the blocks both cover.
    const std::int64_t block = std::max<std::int64_t>(1, std::llround(4.0 / resolution));
    const Blocks a = blocks_of(A, block), b = blocks_of(B, block);
    std::uint64_t shared = 0, points_a = 0, points_b = 0;
    for (std::uint32_t k = 0; k < a.table.size(); ++k) {
        const std::uint32_t m = b.table.find(a.table.cell(k));
        if (m == CellTable::kNone) continue;
        ++shared;
        points_a += a.points[k];
        points_b += b.points[m];
    }
    const double side = static_cast<double>(block) * resolution;
    const double area = static_cast<double>(shared) * side * side;
    const double density = static_cast<double>(std::min(points_a, points_b)) / area;
    // A cell is smooth only with min_points points spread over it: a scan
    // pattern fills cells unevenly, so ask for three times as many on average.
    const double want = 3.0 * c.min_points;
    const double exact = std::sqrt(want / density);
    const double step = exact < 1 ? 0.1 : 0.5;
    const double coarser = std::ceil(exact / step - 1e-9) * step;
    const std::string got = std::to_string(r.smooth_cells) + " smooth cells of " + std::to_string(r.overlap_cells) +
                            ", " + std::to_string(min_smooth) + " needed";
    if (coarser <= resolution) {
        std::snprintf(text, sizeof text,
                      "%s; the cells hold %.1f points of each strip on average, but are rough, steep or unevenly "
                      "covered (--max-roughness, --max-slope)",
                      got.c_str(), density * resolution * resolution);
    } else if (area / (coarser * coarser) < 2.0 * static_cast<double>(min_smooth)) {
        std::snprintf(text, sizeof text,
                      "%s; at %.2f points per m2 cells of %g m would hold about %.0f points each, but the overlap "
                      "(%.0f m2) is too small for %llu of them",
                      got.c_str(), density, coarser, density * coarser * coarser, area,
                      static_cast<unsigned long long>(min_smooth));
    } else {
        r.test_resolution = coarser;
        std::snprintf(text, sizeof text,
                      "%s; at %.2f points per m2 of the sparser strip, --resolution %g would hold about %.0f points "
                      "of each strip in a cell",
                      got.c_str(), density, coarser, density * coarser * coarser);
    }
    r.not_tested = text;
}

}  // namespace morva::overlap
