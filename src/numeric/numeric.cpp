#include "numeric/numeric.hpp"

#include <cmath>
#include <limits>
#include <utility>

#include "text/free_output.hpp"

namespace morva::numeric {

void warn_arcsine_domain() { text::write_free(text::console(), {"*** warning - arcsine argument out of range"}); }

float asin_single(float x) {
    static bool reported = false;
    if (outside_arcsine_domain(x) && !std::exchange(reported, true)) warn_arcsine_domain();
    return asin_single_quiet(x);
}

float asin_single_quiet(float x) {
    if (std::isnan(x)) return x;
    if (outside_arcsine_domain(x)) return std::numeric_limits<float>::quiet_NaN();
    // Double arcsine rounded once to single precision: correctly rounded for
    // all but a vanishing few arguments, far inside single-precision accuracy.
    return static_cast<float>(std::asin(static_cast<double>(x)));
}

}  // namespace morva::numeric
