#include "regression/report.hpp"

#include "regression/chol.hpp"
#include "text/free_output.hpp"
#include "text/layout.hpp"
#include "text/out_stream.hpp"

namespace morva::regression {

RegressionFit report_regression(NormalSums& sums, std::int32_t m) {
    static const text::Layout warning = text::layout(R"(" *** warning: detrending " I2 " singularities")");
    static const text::Layout fit = text::layout(
        R"(" bias:" F7.2 " m, slope (roll0):" F6.2 " degrees" / " polynomial coefficients :" 8F9.4)");

    text::OutStream& out = text::console();
    text::write_free(out, {"Regression of surface relative to geoid:"});
    text::write_free(out, {"no of points used in regression: ", sums.nreg, ", parameters: ", m});

    std::int32_t nsing = 0;
    chol(sums.s, m, nsing);
    if (nsing != 0) text::write_fixed(out, warning, {nsing});

    RegressionFit result{sums.nreg, m, nsing};
    // Coefficients above m stay zero; the table has room for six.
    double* const c = result.coefficients;
    const std::int32_t first = m * (m + 1) / 2;
    for (std::int32_t k = 0; k < m && k < 6; ++k) c[k] = sums.s[first + k];

    // Roll offset in degrees from the linear term; the products are taken
    // left to right and then negated, so the printed rounding is fixed.
    result.slope_degrees = -(57.29577951289617 * c[1] * 0.01);
    text::write_fixed(out, fit, {c[0], result.slope_degrees, c[2], c[3], c[4], c[5]});
    return result;
}

}  // namespace morva::regression
