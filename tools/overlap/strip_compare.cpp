#include "strip_compare.hpp"

#include <algorithm>
#include <cmath>

namespace morva::overlap {

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

namespace {

// A grid's tiles, south to north and west to east within a row, so that
// every sum over cells is taken in one order whatever the tiles' history.
template <class Cell>
std::vector<std::pair<grid::CellIndex, const Cell*>> tiles_in_order(const grid::TiledGrid<Cell>& g) {
    std::vector<std::pair<grid::CellIndex, const Cell*>> tiles;
    g.for_each_tile([&](grid::CellIndex first, const Cell* cells) { tiles.emplace_back(first, cells); });
    std::sort(tiles.begin(), tiles.end(), [](const auto& x, const auto& y) {
        return x.first.iy != y.first.iy ? x.first.iy < y.first.iy : x.first.ix < y.first.ix;
    });
    return tiles;
}

constexpr std::size_t kTileCells = grid::kTileSide * grid::kTileSide;

}  // namespace

void summarise(Strip& s, const StripCells& cells, const TrackSums& track, const SmoothCriteria& c) {
    const grid::RasterGeometry g = cells.extent();
    s.window = {g.ix0, g.iy1 - g.rows + 1, g.cols, g.rows};
    s.resolution = cells.resolution();
    s.planes = std::make_unique<StripPlanes>(s.resolution);
    double residual_sq = 0, freedom = 0;
    for (const auto& [first, sums] : tiles_in_order(cells)) {
        for (std::size_t k = 0; k < kTileCells; ++k) {
            if (sums[k].n == 0) continue;
            ++s.cells_with_points;
            const Plane p = fit_plane(sums[k]);
            const bool smooth = p.fitted && p.n >= c.min_points && p.roughness <= c.max_roughness &&
                                p.slope_deg <= c.max_slope_deg &&
                                p.narrowest_spread >= SmoothCriteria::min_spread(s.resolution);
            s.planes->at(StripCells::cell_at(first, k)) = {p.height, p.n, static_cast<std::uint8_t>(smooth)};
            if (smooth) {
                ++s.smooth_cells;
                residual_sq += p.residual_sq;
                freedom += p.n - 3.0;
            }
        }
    }
    if (freedom > 0) s.precision = std::sqrt(residual_sq / freedom);
    if (track.n > 0) s.track = fitted_track(track);
}

namespace {

// The value at fraction q of the sorted values, interpolated linearly between
// neighbours (rank q (n - 1)).
double quantile(const std::vector<double>& sorted, double q) {
    const double rank = q * static_cast<double>(sorted.size() - 1);
    const auto lo = static_cast<std::size_t>(std::floor(rank));
    const std::size_t hi = std::min(lo + 1, sorted.size() - 1);
    return sorted[lo] + (sorted[hi] - sorted[lo]) * (rank - static_cast<double>(lo));
}

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

}  // namespace

bool compare(const Strip& A, const Strip& B, PairResult& r) {
    // The strips' tiles share their layout: a cell lies at one offset in both.
    std::int64_t oc0 = 0, oc1 = 0, or0 = 0, or1 = 0;
    r.dz = std::make_unique<PairCells>(A.resolution);
    std::vector<double> dz, ua, ub;
    for (const auto& [first, a] : tiles_in_order(*A.planes)) {
        const CellPlane* b = B.planes->find(first);
        if (b == nullptr) continue;
        for (std::size_t k = 0; k < kTileCells; ++k) {
            if (a[k].n == 0 || b[k].n == 0) continue;
            const grid::CellIndex cell = StripPlanes::cell_at(first, k);
            if (r.overlap_cells++ == 0) {
                oc0 = oc1 = cell.ix;
                or0 = or1 = cell.iy;
            }
            oc0 = std::min(oc0, cell.ix);
            oc1 = std::max(oc1, cell.ix);
            or0 = std::min(or0, cell.iy);
            or1 = std::max(or1, cell.iy);
            r.points_a += a[k].n;
            r.points_b += b[k].n;
            if (!a[k].smooth || !b[k].smooth) continue;
            const double d = a[k].height - b[k].height;
            r.dz->at(cell).dz = static_cast<float>(d);
            const double x = (static_cast<double>(cell.ix) + 0.5) * A.resolution;
            const double y = (static_cast<double>(cell.iy) + 0.5) * A.resolution;
            dz.push_back(d);
            ua.push_back(right_of(A.track, x, y));
            ub.push_back(right_of(B.track, x, y));
        }
    }
    if (r.overlap_cells == 0) return false;
    r.window = {oc0, or0, oc1 - oc0 + 1, or1 - or0 + 1};
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
    r.median = quantile(sorted, 0.5);
    for (double& d : sorted) d = std::fabs(d);
    std::sort(sorted.begin(), sorted.end());
    r.p95_abs = quantile(sorted, 0.95);
    r.max_abs = sorted.back();
    return true;
}

void explain_not_tested(PairResult& r, double resolution, const SmoothCriteria& c, std::uint64_t min_smooth) {
    char text[400];
    const double area = static_cast<double>(r.overlap_cells) * resolution * resolution;
    // The sparser strip's points per square metre where both have points.
    const double density = static_cast<double>(std::min(r.points_a, r.points_b)) / area;
    // A cell is smooth only with min_points points spread over it: a scan
    // pattern fills cells unevenly, so ask for three times as many on average.
    const double want = 3.0 * c.min_points;
    const double step = resolution < 1 ? 0.1 : 0.5;
    const double coarser = std::ceil(std::sqrt(want / density) / step - 1e-9) * step;
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
