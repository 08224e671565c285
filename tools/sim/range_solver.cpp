#include "range_solver.hpp"

#include <cmath>

namespace morva::sim {
namespace {

constexpr double kNewtonTolerance = 1e-6;  // metres: a step this small from a guessed slope is final
constexpr double kSecantTolerance = 1e-5;  // metres: after it the error is second order, far below
constexpr int kMaxEvaluations = 40;
constexpr double kEdgeTolerance = 2e-6;    // metres: a roof point's miss, well below the check's 1e-5

// Where the secant search fails (grazing beams over steep waves, a poor
// start), the first crossing from the aircraft along the beam is bracketed
// by marching out and then halved down to a micrometre.
RangeFit first_crossing(const Beam& beam, double r_guess, double r_max, RangeFit fit) {
    georef::GroundPoint p;
    const double step = std::fmax(0.25, 0.005 * std::fabs(r_guess));
    double lo = georef::kMinRange;
    double g_lo = misfit(beam, lo, p);
    ++fit.evaluations;
    if (!(g_lo > 0.0)) return fit;
    double hi = lo;
    for (;;) {
        hi = lo + step;
        if (hi > r_max) return fit;
        const double g_hi = misfit(beam, hi, p);
        ++fit.evaluations;
        if (!std::isfinite(g_hi)) return fit;
        if (g_hi <= 0.0) break;
        lo = hi;
        g_lo = g_hi;
    }
    while (hi - lo > 1e-7) {
        const double mid = 0.5 * (lo + hi);
        const double g = misfit(beam, mid, p);
        ++fit.evaluations;
        if (g > 0.0)
            lo = mid;
        else
            hi = mid;
    }
    fit.r = 0.5 * (lo + hi);
    fit.slope = -1.0;  // only a start for the next search
    fit.ok = true;
    return fit;
}

RangeFit secant_search(const Beam& beam, double r_guess, double slope_guess) {
    RangeFit fit;
    georef::GroundPoint p;
    double r0 = r_guess;
    double g0 = misfit(beam, r0, p);
    fit.evaluations = 1;
    if (!std::isfinite(g0) || !(slope_guess < 0.0)) return fit;
    double step = -g0 / slope_guess;
    if (std::fabs(step) < kNewtonTolerance) {
        fit.r = r0 + step;
        fit.slope = slope_guess;
        fit.ok = true;
        return fit;
    }
    double r1 = r0 + step;
    while (fit.evaluations < kMaxEvaluations) {
        const double g1 = misfit(beam, r1, p);
        ++fit.evaluations;
        const double slope = (g1 - g0) / (r1 - r0);
        if (!std::isfinite(g1) || !(slope < 0.0)) return fit;  // the beam does not descend onto the surface
        step = -g1 / slope;
        r0 = r1;
        g0 = g1;
        r1 += step;
        if (std::fabs(step) < kSecantTolerance) {
            fit.r = r1;
            fit.slope = slope;
            fit.ok = true;
            return fit;
        }
    }
    return fit;
}

}  // namespace

double misfit(const Beam& beam, double r, georef::GroundPoint& point) {
    georef::locate(*beam.model, *beam.pose, beam.thr, r, beam.scan_angle, beam.scanno, point);
    return point.h - surface_hit(*beam.surface, point.lat, point.lon, beam.sees).height - beam.distortion;
}

RangeFit solve_range(const Beam& beam, double r_guess, double slope_guess, double r_max) {
    RangeFit fit = secant_search(beam, r_guess, slope_guess);
    if (fit.ok && fit.r >= georef::kMinRange && fit.r <= r_max) {
        // On roofs and among a scene's objects the secant steps can settle
        // across an edge (a ridge, an eave, the foot of a wall, a crown's
        // rim), where the surface bends: the result is taken only when it
        // meets the surface.
        if (beam.surface->kind != SurfaceKind::Roofs && beam.surface->scene.objects == 0) return fit;
        georef::GroundPoint p;
        ++fit.evaluations;
        if (std::fabs(misfit(beam, fit.r, p)) <= kEdgeTolerance) return fit;
    }
    fit.ok = false;
    return first_crossing(beam, r_guess, r_max, fit);
}

}  // namespace morva::sim
