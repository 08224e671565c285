#pragma once
// End-of-run regression report: solves the normal equations and prints the
// height bias, the roll slope and the higher polynomial coefficients.

#include <cstdint>

#include "regression/normal_sums.hpp"

namespace morva::regression {

// Prints on the console. Consumes `sums`: the solve replaces it with the
// factor and the solution.
void report_regression(NormalSums& sums, std::int32_t m);

}  // namespace morva::regression
