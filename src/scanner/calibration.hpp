#pragma once
// The scanner's own geometry from its header calibration: emitter, rotating
// four-facet polygon mirror and offsets. Matrices are 3x3, stored by columns.

#include <cstdint>
#include <cstdlib>
#include <memory>

#include "scanner/scanner_header.hpp"

namespace morva::scanner {

// The loops are unrolled: the helpers run for every calibrated measurement.

// C = A B, or C = A B^T when `transposed`.
template <bool transposed>
inline void matrix_product(const double* a, const double* b, double* c) {
#pragma GCC unroll 3
    for (int j = 0; j < 3; ++j) {
#pragma GCC unroll 3
        for (int i = 0; i < 3; ++i) {
            double sum = 0.0;
#pragma GCC unroll 3
            for (int m = 0; m < 3; ++m) sum += a[i + 3 * m] * (transposed ? b[j + 3 * m] : b[m + 3 * j]);
            c[i + 3 * j] = sum;
        }
    }
}

inline void matrix_mult(const double* a, const double* b, double* c) { matrix_product<false>(a, b, c); }
inline void matrix_mult_tr(const double* a, const double* b, double* c) { matrix_product<true>(a, b, c); }

// y = A x
inline void matrix_vect(const double* a, const double* x, double* y) {
#pragma GCC unroll 3
    for (int i = 0; i < 3; ++i) {
        double sum = 0.0;
#pragma GCC unroll 3
        for (int j = 0; j < 3; ++j) sum += a[i + 3 * j] * x[j];
        y[i] = sum;
    }
}

// Range r (metres) and optical scan angle theta (radians) of scan `scanno`
// to the calibrated point (x, y, z) in the scanner frame.
void riegl_cal(const double& r, const double& theta, const std::int32_t& scanno, double& x, double& y,
               double& z, const float* a, const float* b, const float* c, const float* d,
               const float (*e)[3], const float* eps);

// The parts of riegl_cal's work that the range does not change.

// The emitter's beam angles, in single precision as the instrument gives them.
struct BeamAngles {
    float alpha;
    float beta;
};

// The mirror turned to one scan angle, on one facet.
struct MirrorPosition {
    double q[9];       // facet matrix (R M) M^T
    double offset[3];  // 2 eps(k) R u: the facet offset along the turned facet normal
};

// What riegl_cal would compute again for every measurement: the beam angles
// of the header, and the mirror positions of the scan angles met so far.
// Scan angles are whole encoder steps and repeat from scan to scan, so a
// mirror position is found again by its encoder step and facet, and then
// checked against the exact scan angle.
struct CalibrationCache {
    static constexpr int kStepsPerFacet = 4096;  // more than a 60 degree scan at 0.01 gon per step

    struct Slot {
        std::uint64_t theta_bits;
        std::uint32_t generation;  // 0: never filled
        MirrorPosition mirror;
    };
    struct FreeSlots {
        void operator()(Slot* p) const { std::free(p); }
    };

    // The header values everything here was made from (compared bit for bit).
    float b[2] = {}, c[3] = {}, e[4][3] = {}, eps[4] = {};
    double angle_unit = 0;
    std::uint32_t generation = 0;  // changes with the header values; 0: nothing prepared
    BeamAngles beam = {};
    double steps_per_radian = 0;
    std::unique_ptr<Slot[], FreeSlots> slots;  // 4 x kStepsPerFacet, by facet
};

// riegl_cal for the calibration of `hdr`, through `cache`, with the same
// results bit for bit. The first call, and the first after the header values
// change, takes the beam angles, without the arcsine warning: the caller
// reports it at its place in the run (see beam_outside_arcsine).
void calibrated_point(CalibrationCache& cache, const scanner_header& hdr, double r, double theta,
                      std::int32_t scanno, double& x, double& y, double& z);

// Whether the beam angles of the header's calibration meet an argument
// outside the arcsine's domain (riegl_cal warns once for that).
bool beam_outside_arcsine(const scanner_header& hdr);

}  // namespace morva::scanner
