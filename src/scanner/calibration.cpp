#include "scanner/calibration.hpp"

#include <cmath>
#include <cstring>
#include <new>

#include "numeric/numeric.hpp"
#include "text/stop.hpp"

namespace morva::scanner {

namespace {

// Element (i, j), both from 0, of a matrix stored by columns.
inline double& at(double* m, int i, int j) { return m[i + 3 * j]; }

// Facet of scan `scanno`, 0..3: scans 1, 2, 3, 4, 5 use facets 0, 1, 2, 3, 0.
int facet_of(std::int32_t scanno) {
    // A scan number below 1 never comes from the scan stream; it is kept
    // inside the mirror all the same.
    int k = scanno % 4;
    if (k <= 0) k += 4;
    return k - 1;
}

// The second arcsine's argument.
float beta_sine(const float* b) {
    const float root = static_cast<float>(std::sqrt(1.0 - static_cast<double>(b[1]) * b[1]));
    return static_cast<float>(static_cast<double>(b[0]) / root);
}

void position_mirror(double theta, int facet, const float* c, const float (*e)[3], const float* eps,
                     MirrorPosition& m) {
    const double s = std::sin(theta);
    const double co = std::cos(theta);

    // Rotation by theta about the mirror axis c (taken as it stands).
    const double c1 = c[0], c2 = c[1], c3 = c[2];
    const double one_c = 1.0 - co;
    double rot[9];
    at(rot, 0, 0) = c1 * c1 + (1.0 - c1 * c1) * co;
    at(rot, 1, 1) = c2 * c2 + (1.0 - c2 * c2) * co;
    at(rot, 2, 2) = c3 * c3 + (1.0 - c3 * c3) * co;
    at(rot, 1, 0) = c1 * c2 * one_c + c3 * s;
    at(rot, 0, 1) = c1 * c2 * one_c - c3 * s;
    at(rot, 2, 0) = c1 * c3 * one_c - c2 * s;
    at(rot, 0, 2) = c1 * c3 * one_c + c2 * s;
    at(rot, 2, 1) = c2 * c3 * one_c + c1 * s;
    at(rot, 1, 2) = c2 * c3 * one_c - c1 * s;

    // Reflection in the facet: M = I - 2 u u^T.
    const double u[3] = {e[facet][0], e[facet][1], e[facet][2]};
    double mirror[9];
    for (int j = 0; j < 3; ++j) {
        for (int i = 0; i < 3; ++i) at(mirror, i, j) = (i == j ? 1.0 : 0.0) - 2.0 * u[i] * u[j];
    }

    double p[9];
    matrix_mult(rot, mirror, p);
    matrix_mult_tr(p, mirror, m.q);

    // The facet normal turned by the scan rotation.
    double n[3];
    matrix_vect(rot, u, n);
    const double twice_eps = 2.0 * eps[facet];
    for (int i = 0; i < 3; ++i) m.offset[i] = twice_eps * n[i];
}

// The point at range r from the mirror and the beam: the only part of the
// work that depends on the range.
void place_point(const MirrorPosition& m, BeamAngles beam, double r, const float* a, const float* d, double& x,
                 double& y, double& z) {
    if (r <= 0.0) text::stop_run("*** r le zero in riegl_cal ***");

    // The beam angles shrink with the range.
    const double ar = static_cast<double>(beam.alpha) / r;
    const double br = static_cast<double>(beam.beta) / r;
    const double v[3] = {std::cos(ar) * std::sin(br), -std::sin(ar), std::cos(ar) * std::cos(br)};

    double w[3];
    for (int i = 0; i < 3; ++i) w[i] = a[i] + r * v[i];

    // g + 2 eps(k) n + d, summed in that order.
    double g[3];
    matrix_vect(m.q, w, g);
    x = g[0] + m.offset[0] + d[0];
    y = g[1] + m.offset[1] + d[1];
    z = g[2] + m.offset[2] + d[2];
}

bool made_from(const CalibrationCache& cache, const scanner_header& hdr) {
    return cache.generation != 0 && std::memcmp(cache.b, hdr.b, sizeof cache.b) == 0 &&
           std::memcmp(cache.c, hdr.c, sizeof cache.c) == 0 && std::memcmp(cache.e, hdr.e, sizeof cache.e) == 0 &&
           std::memcmp(cache.eps, hdr.eps, sizeof cache.eps) == 0 &&
           std::memcmp(&cache.angle_unit, &hdr.angle_unit, sizeof cache.angle_unit) == 0;
}

void prepare(CalibrationCache& cache, const scanner_header& hdr) {
    constexpr std::size_t nslots = 4 * CalibrationCache::kStepsPerFacet;
    if (!cache.slots) {
        // Zeroed memory marks every slot empty; pages never used stay untouched.
        auto* p = static_cast<CalibrationCache::Slot*>(std::calloc(nslots, sizeof(CalibrationCache::Slot)));
        if (p == nullptr) throw std::bad_alloc();
        cache.slots.reset(p);
    }
    std::memcpy(cache.b, hdr.b, sizeof cache.b);
    std::memcpy(cache.c, hdr.c, sizeof cache.c);
    std::memcpy(cache.e, hdr.e, sizeof cache.e);
    std::memcpy(cache.eps, hdr.eps, sizeof cache.eps);
    cache.angle_unit = hdr.angle_unit;
    // A new generation empties every slot at once.
    cache.generation += 1;
    if (cache.generation == 0) {
        std::memset(static_cast<void*>(cache.slots.get()), 0, nslots * sizeof(CalibrationCache::Slot));
        cache.generation = 1;
    }
    // The optical scan angle turns two encoder steps of angle_unit gon each.
    cache.steps_per_radian = hdr.angle_unit > 0.0 ? 200.0 / 3.141592653589793 / (2.0 * hdr.angle_unit) : 0.0;
    cache.beam = {numeric::asin_single_quiet(hdr.b[1]), numeric::asin_single_quiet(beta_sine(hdr.b))};
}

// Encoder step of theta within the facet's slots; any theta gets a slot.
std::size_t step_slot(const CalibrationCache& cache, double theta) {
    const double steps = theta * cache.steps_per_radian;
    if (!(std::fabs(steps) < 0x1p40)) return 0;
    // Shifted to be positive, then rounded to the nearest step.
    const auto step = static_cast<std::uint64_t>(steps + (0x1p40 + 0.5));
    return static_cast<std::size_t>(step % CalibrationCache::kStepsPerFacet);
}

}  // namespace

void riegl_cal(const double& r, const double& theta, const std::int32_t& scanno, double& x, double& y,
               double& z, const float* a, const float* b, const float* c, const float* d,
               const float (*e)[3], const float* eps) {
    MirrorPosition m;
    position_mirror(theta, facet_of(scanno), c, e, eps, m);
    place_point(m, {numeric::asin_single(b[1]), numeric::asin_single(beta_sine(b))}, r, a, d, x, y, z);
}

bool beam_outside_arcsine(const scanner_header& hdr) {
    return numeric::outside_arcsine_domain(hdr.b[1]) || numeric::outside_arcsine_domain(beta_sine(hdr.b));
}

void calibrated_point(CalibrationCache& cache, const scanner_header& hdr, double r, double theta,
                      std::int32_t scanno, double& x, double& y, double& z) {
    if (!made_from(cache, hdr)) prepare(cache, hdr);
    const int facet = facet_of(scanno);
    CalibrationCache::Slot& slot =
        cache.slots[static_cast<std::size_t>(facet) * CalibrationCache::kStepsPerFacet + step_slot(cache, theta)];
    std::uint64_t bits;
    std::memcpy(&bits, &theta, sizeof bits);
    if (slot.generation != cache.generation || slot.theta_bits != bits) {
        position_mirror(theta, facet, hdr.c, hdr.e, hdr.eps, slot.mirror);
        slot.theta_bits = bits;
        slot.generation = cache.generation;
    }
    place_point(slot.mirror, cache.beam, r, hdr.a, hdr.d, x, y, z);
}

}  // namespace morva::scanner
