#pragma once
// Numeric helpers shared by the computing stages.

namespace morva::numeric {

// Nearest whole number, halves away from zero; keeps the sign (-0.4 gives
// -0.0); NaN, infinities and magnitudes from 2^52 up are returned unchanged.
double round_half_away(double x);

// Arcsine of a single-precision argument, accurate to single precision.
// Outside [-1, 1] the result is a quiet NaN and the first such call of the
// run prints " *** warning - arcsine argument out of range".
float asin_single(float x);

}  // namespace morva::numeric
