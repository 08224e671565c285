#include "scanner/calibration.hpp"

#include <cmath>

#include "numeric/numeric.hpp"
#include "text/stop.hpp"

namespace morva::scanner {

// Element (i, j), both from 0, of a matrix stored by columns.
static inline double& at(double* m, int i, int j) { return m[i + 3 * j]; }
static inline double at(const double* m, int i, int j) { return m[i + 3 * j]; }

void matrix_mult(const double* a, const double* b, double* c) {
    for (int j = 0; j < 3; ++j) {
        for (int i = 0; i < 3; ++i) {
            double sum = 0.0;
            for (int m = 0; m < 3; ++m) sum += at(a, i, m) * at(b, m, j);
            at(c, i, j) = sum;
        }
    }
}

void matrix_mult_tr(const double* a, const double* b, double* c) {
    for (int j = 0; j < 3; ++j) {
        for (int i = 0; i < 3; ++i) {
            double sum = 0.0;
            for (int m = 0; m < 3; ++m) sum += at(a, i, m) * at(b, j, m);
            at(c, i, j) = sum;
        }
    }
}

void matrix_vect(const double* a, const double* x, double* y) {
    for (int i = 0; i < 3; ++i) {
        double sum = 0.0;
        for (int j = 0; j < 3; ++j) sum += at(a, i, j) * x[j];
        y[i] = sum;
    }
}

void riegl_cal(const double& r, const double& theta, const std::int32_t& scanno, double& x, double& y,
               double& z, const float* a, const float* b, const float* c, const float* d,
               const float (*e)[3], const float* eps) {
    // Facet of this scan: 1..4 in turn. A scan number below 1 never comes
    // from the scan stream; it is kept inside the mirror all the same.
    int k = scanno % 4;
    if (k <= 0) k += 4;
    const int f = k - 1;

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
    const double u[3] = {e[f][0], e[f][1], e[f][2]};
    double mirror[9];
    for (int j = 0; j < 3; ++j) {
        for (int i = 0; i < 3; ++i) at(mirror, i, j) = (i == j ? 1.0 : 0.0) - 2.0 * u[i] * u[j];
    }

    // Beam angles of the emitter, in single precision as the instrument gives them.
    const float alpha = numeric::asin_single(b[1]);
    const float root = static_cast<float>(std::sqrt(1.0 - static_cast<double>(b[1]) * b[1]));
    const float q = static_cast<float>(static_cast<double>(b[0]) / root);
    const float beta = numeric::asin_single(q);

    if (r <= 0.0) text::stop_run("*** r le zero in riegl_cal ***");

    const double ar = static_cast<double>(alpha) / r;
    const double br = static_cast<double>(beta) / r;
    const double v[3] = {std::cos(ar) * std::sin(br), -std::sin(ar), std::cos(ar) * std::cos(br)};

    double p[9], qm[9];
    matrix_mult(rot, mirror, p);
    matrix_mult_tr(p, mirror, qm);

    double w[3];
    for (int i = 0; i < 3; ++i) w[i] = a[i] + r * v[i];

    double g[3], n[3];
    matrix_vect(qm, w, g);
    matrix_vect(rot, u, n);

    const double twice_eps = 2.0 * eps[f];
    x = g[0] + twice_eps * n[0] + d[0];
    y = g[1] + twice_eps * n[1] + d[1];
    z = g[2] + twice_eps * n[2] + d[2];
}

}  // namespace morva::scanner
