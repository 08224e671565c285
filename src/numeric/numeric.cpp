#include "numeric/numeric.hpp"

#include <cmath>
#include <limits>

#include "text/free_output.hpp"

namespace morva::numeric {

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
