#include "regression/normal_sums.hpp"

#include <cmath>

namespace morva::regression {

void setov(double x, double y, std::int32_t m, double* row) {
    row[0] = 1.0;
    row[1] = x;
    for (std::int32_t k = 3; k <= m; ++k) row[k - 1] = row[k - 2] * x;
    row[m] = y;
}

void accumulate(NormalSums& sums, double h, double xscan, std::int32_t m) {
    // Strictly inside the band; a NaN height fails the test and stays out.
    if (!(std::fabs(h) < 3.0)) return;
    double row[11];
    setov(xscan, h, m, row);
    double* next = sums.s;
    for (std::int32_t k = 0; k <= m; ++k) {
        for (std::int32_t l = 0; l <= k; ++l) *next++ += row[k] * row[l];
    }
    sums.nreg += 1;
}

}  // namespace morva::regression
