#include "numeric/numeric.hpp"

#include <cmath>
#include <limits>

#include "text/free_output.hpp"

namespace morva::numeric {

double round_half_away(double x) {
    if (!(std::fabs(x) < 0x1p52)) return x;  // NaN, infinity, or already whole
    // Adding 0.5 to the magnitude could round up at 0.49999999999999994;
    // truncating and comparing the remainder cannot.
    double whole = std::trunc(x);
    double rest = x - whole;  // exact
    if (rest >= 0.5) whole += 1.0;
    else if (rest <= -0.5) whole -= 1.0;
    return std::copysign(whole, x);
}

float asin_single(float x) {
    if (std::isnan(x)) return x;
    if (std::fabs(x) > 1.0f) {
        static bool reported = false;
        if (!reported) {
            reported = true;
            text::write_free(text::console(), {"*** warning - arcsine argument out of range"});
        }
        return std::numeric_limits<float>::quiet_NaN();
    }
    // Double arcsine rounded once to single precision: correctly rounded for
    // all but a vanishing few arguments, far inside single-precision accuracy.
    return static_cast<float>(std::asin(static_cast<double>(x)));
}

}  // namespace morva::numeric
