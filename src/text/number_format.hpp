#pragma once
// Field formatters of the fixed layouts. Each writes exactly w characters at
// `out`: right-justified, asterisks when the value does not fit.

#include <cstdint>

namespace morva::text {

// Iw: decimal digits with a leading "-" when negative.
void format_int(char* out, int w, std::int64_t value);

// Fw.d: fixed point, rounded from the decimal expansion taken to 18
// significant digits (16 for a 4-byte real), exact halves to the even decimal,
// at most 16 significant digits shown; "NaN", "Inf", "-Inf" for non-finite.
void format_fixed(char* out, int w, int d, double value, bool single = false);

// Gw.d: fixed point with 4 trailing blanks for magnitudes from 0.1 up to
// 10^d after rounding to d significant digits, exponent form otherwise.
void format_general(char* out, int w, int d, double value, bool single = false);

// Bw.m: binary digits of `pattern` (already masked to the value's width),
// at least m of them.
void format_bits(char* out, int w, int m, std::uint64_t pattern);

}  // namespace morva::text
