#pragma once
// Normal equations of the across-scan surface regression: the row of one
// point and the running sums over every point whose height lies within 3 m
// of the reference surface.

#include <cstdint>

namespace morva::regression {

// Packed lower triangle, row by row: entry (i, j), j <= i, 1-based, sits at
// index i(i-1)/2 + j - 1. Rows 1..m hold the sums of products of powers of x,
// row m+1 the sums of y times each power followed by the sum of y^2. The
// solve overwrites it in place.
struct NormalSums {
    static constexpr int kCapacity = 66;  // a triangle of 11 rows
    double s[kCapacity] = {};
    std::int32_t nreg = 0;  // points summed
};

// row[0..m] = (1, x, x^2, ..., x^(m-1), y); each power is the previous one
// times x.
void setov(double x, double y, std::int32_t m, double* row);

// Adds the point (xscan, h) to the sums when |h| < 3.0; the caller calls it
// only when the regression is on.
void accumulate(NormalSums& sums, double h, double xscan, std::int32_t m);

}  // namespace morva::regression
