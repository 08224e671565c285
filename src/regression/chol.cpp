#include "regression/chol.hpp"

#include <cmath>

namespace morva::regression {
namespace {

// Entry (i, j) of the packed triangle, 1-based, j <= i.
inline double& at(double* a, std::int32_t i, std::int32_t j) { return a[i * (i - 1) / 2 + j - 1]; }

}  // namespace

void chol(double* a, std::int32_t m, std::int32_t& nsing) {
    nsing = 0;
    for (std::int32_t i = 1; i <= m + 1; ++i) {
        const std::int32_t jmax = i < m ? i : m;
        for (std::int32_t j = 1; j <= jmax; ++j) {
            // Products are subtracted from zero in ascending k and the entry is
            // added last: this order fixes the rounding of every residue.
            double t = 0.0;
            for (std::int32_t k = 1; k < j; ++k) t = t - at(a, i, k) * at(a, j, k);
            const double s = t + at(a, i, j);
            if (j < i) {
                at(a, i, j) = s / at(a, j, j);
            } else if (s > 0.0) {
                at(a, i, i) = std::sqrt(s);
            } else {
                // Zero, negative (rounding) or NaN: the parameter is not
                // determined by the data; a huge pivot drives it towards 0.
                nsing += 1;
                at(a, i, i) = 1.0E9;
            }
        }
    }
    for (std::int32_t j = m; j >= 1; --j) {
        at(a, m + 1, j) = at(a, m + 1, j) / at(a, j, j);
        for (std::int32_t k = j - 1; k >= 1; --k) at(a, m + 1, k) = at(a, m + 1, k) - at(a, j, k) * at(a, m + 1, j);
    }
}

}  // namespace morva::regression
