#pragma once
// End-of-run regression report: solves the normal equations and prints the
// height bias, the roll slope and the higher polynomial coefficients.

#include <cstdint>

#include "regression/normal_sums.hpp"

namespace morva::regression {

// The figures the report prints, unrounded.
struct RegressionFit {
    std::int32_t points = 0;         // points used
    std::int32_t parameters = 0;
    std::int32_t singularities = 0;
    double coefficients[6] = {};     // c[0] the height bias in metres; above `parameters` zero
    double slope_degrees = 0;        // the roll slope from the linear term
};

// Prints on the console and returns what it printed. Consumes `sums`: the
// solve replaces it with the factor and the solution.
RegressionFit report_regression(NormalSums& sums, std::int32_t m);

}  // namespace morva::regression
