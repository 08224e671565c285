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

void summarise(Strip& s, const StripCells& cells, const TrackSums& track, const SmoothCriteria& c) {
    const grid::RasterGeometry g = cells.extent();
    s.window = {g.ix0, g.iy1 - g.rows + 1, g.cols, g.rows};
    s.resolution = cells.resolution();
    s.planes.assign(static_cast<std::size_t>(g.cells()), Plane{});
    s.smooth.assign(static_cast<std::size_t>(g.cells()), 0);
    double residual_sq = 0, freedom = 0;
    for (std::int64_t r = 0; r < s.window.rows; ++r) {
        for (std::int64_t col = 0; col < s.window.cols; ++col) {
            const CellSums* k = cells.find({s.window.col0 + col, s.window.row0 + r});
            if (k == nullptr || k->n == 0) continue;
            const auto i = static_cast<std::size_t>(r * s.window.cols + col);
            ++s.cells_with_points;
            const Plane p = fit_plane(*k);
            s.planes[i] = p;
            if (p.fitted && p.n >= c.min_points && p.roughness <= c.max_roughness && p.slope_deg <= c.max_slope_deg &&
                p.narrowest_spread >= SmoothCriteria::min_spread(s.resolution)) {
                s.smooth[i] = 1;
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
    const std::int64_t c0 = std::max(A.window.col0, B.window.col0);
    const std::int64_t r0 = std::max(A.window.row0, B.window.row0);
    const std::int64_t c1 = std::min(A.window.col0 + A.window.cols, B.window.col0 + B.window.cols);
    const std::int64_t r1 = std::min(A.window.row0 + A.window.rows, B.window.row0 + B.window.rows);
    if (c0 >= c1 || r0 >= r1) return false;
    auto index = [](const Strip& s, std::int64_t c, std::int64_t row) {
        return static_cast<std::size_t>((row - s.window.row0) * s.window.cols + (c - s.window.col0));
    };
    // The overlap's own box, shrunk to the cells both strips hold.
    std::int64_t oc0 = c1, oc1 = c0, or0 = r1, or1 = r0;
    for (std::int64_t row = r0; row < r1; ++row) {
        for (std::int64_t c = c0; c < c1; ++c) {
            if (A.planes[index(A, c, row)].n > 0 && B.planes[index(B, c, row)].n > 0) {
                ++r.overlap_cells;
                oc0 = std::min(oc0, c);
                oc1 = std::max(oc1, c + 1);
                or0 = std::min(or0, row);
                or1 = std::max(or1, row + 1);
            }
        }
    }
    if (r.overlap_cells == 0) return false;
    r.window = {oc0, or0, oc1 - oc0, or1 - or0};
    r.dz.assign(static_cast<std::size_t>(r.window.cols * r.window.rows), std::numeric_limits<float>::quiet_NaN());
    std::vector<double> dz, ua, ub;
    for (std::int64_t row = or0; row < or1; ++row) {
        for (std::int64_t c = oc0; c < oc1; ++c) {
            const std::size_t ia = index(A, c, row), ib = index(B, c, row);
            if (!A.smooth[ia] || !B.smooth[ib]) continue;
            const double d = A.planes[ia].height - B.planes[ib].height;
            r.dz[static_cast<std::size_t>((row - or0) * r.window.cols + (c - oc0))] = static_cast<float>(d);
            const double x = (static_cast<double>(c) + 0.5) * A.resolution;
            const double y = (static_cast<double>(row) + 0.5) * A.resolution;
            dz.push_back(d);
            ua.push_back(right_of(A.track, x, y));
            ub.push_back(right_of(B.track, x, y));
        }
    }
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

}  // namespace morva::overlap
