#pragma once
// Numeric helpers shared by the computing stages.

#include <cmath>
#include <cstdint>

namespace morva::numeric {

// Nearest whole number, halves away from zero; keeps the sign (-0.4 gives
// -0.0); NaN, infinities and magnitudes from 2^52 up are returned unchanged.
// Inline: every binary scan-point record rounds four fields.
inline double round_half_away(double x) {
    if (!(std::fabs(x) < 0x1p52)) return x;  // NaN, infinity, or already whole
    // Adding 0.5 to the magnitude could round up at 0.49999999999999994;
    // truncating and comparing the exact remainder cannot.
    const double whole = static_cast<double>(static_cast<std::int64_t>(x));
    const double rest = x - whole;
    const double rounded = whole + (rest >= 0.5 ? 1.0 : 0.0) - (rest <= -0.5 ? 1.0 : 0.0);
    return std::copysign(rounded, x);
}

// Arcsine of a single-precision argument, accurate to single precision.
// Outside [-1, 1] the result is a quiet NaN and the first such call of the
// run prints " *** warning - arcsine argument out of range".
float asin_single(float x);

// The same without the warning, for callers that report it themselves at
// their place in the run (the scan loop's worker threads).
float asin_single_quiet(float x);

// Whether asin_single warns for x (outside [-1, 1]; a NaN does not warn).
inline bool outside_arcsine_domain(float x) { return std::fabs(x) > 1.0f; }

// The warning line itself.
void warn_arcsine_domain();

}  // namespace morva::numeric
