#pragma once
// In-place Cholesky solve of the packed normal equations.

#include <cstdint>

namespace morva::regression {

// Factorises rows 1..m of the packed triangle `a` (layout of NormalSums),
// carries row m+1 through the forward substitution and back-substitutes.
// On return a[m(m+1)/2 .. m(m+1)/2 + m - 1] hold parameters 1..m; the sum of
// y^2 (entry (m+1, m+1)) is left as it was. A pivot residue that is zero,
// negative or NaN is counted in `nsing` and replaced by 1.0E9, so the solve
// always completes.
void chol(double* a, std::int32_t m, std::int32_t& nsing);

}  // namespace morva::regression
