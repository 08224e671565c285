#pragma once
// The scanner's own geometry from its header calibration: emitter, rotating
// four-facet polygon mirror and offsets. Matrices are 3x3, stored by columns.

#include <cstdint>

namespace morva::scanner {

void matrix_mult(const double* a, const double* b, double* c);     // C = A B
void matrix_mult_tr(const double* a, const double* b, double* c);  // C = A B^T
void matrix_vect(const double* a, const double* x, double* y);     // y = A x

// Range r (metres) and optical scan angle theta (radians) of scan `scanno`
// to the calibrated point (x, y, z) in the scanner frame.
void riegl_cal(const double& r, const double& theta, const std::int32_t& scanno, double& x, double& y,
               double& z, const float* a, const float* b, const float* c, const float* d,
               const float (*e)[3], const float* eps);

}  // namespace morva::scanner
