#pragma once
// The common case of the F and I field formatters, inline so that a caller
// that knows a field's width and decimals gets code made for them (the
// scan-point record is written for every point of a survey). The results
// are those of format_fixed and format_int, which use the same code.

#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace morva::text::fast {

// 10^0 to 10^19.
inline constexpr auto kPow10 = [] {
    std::array<std::uint64_t, 20> powers{};
    std::uint64_t power = 1;
    for (auto& p : powers) {
        p = power;
        power *= 10;  // wraps after 10^19, which is never stored
    }
    return powers;
}();

// "00" "01" ... "99": two digits per division.
inline constexpr char kPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// Writes the digits of v right to left, ending at `end`; returns the first.
inline char* put_digits(char* end, std::uint64_t v) {
    while (v >= 100) {
        const std::uint64_t q = v / 100;
        end -= 2;
        std::memcpy(end, kPairs + 2 * (v - q * 100), 2);
        v = q;
    }
    if (v >= 10) {
        end -= 2;
        std::memcpy(end, kPairs + 2 * v, 2);
    } else {
        *--end = static_cast<char>('0' + v);
    }
    return end;
}

// Writes exactly D digits of v (< 10^D) right to left, ending at `end`. The
// digits are split in halves first, so the divisions do not wait on each
// other.
template <int D>
inline void put_digits_exactly(char* end, std::uint64_t v) {
    if constexpr (D == 1) {
        end[-1] = static_cast<char>('0' + v);
    } else if constexpr (D == 2) {
        std::memcpy(end - 2, kPairs + 2 * v, 2);
    } else if constexpr (D > 2) {
        constexpr int low = (D / 2 + 1) / 2 * 2;  // an even count of low digits
        const std::uint64_t high = v / kPow10[low];
        put_digits_exactly<low>(end, v - high * kPow10[low]);
        put_digits_exactly<D - low>(end - low, high);
    }
}

// Blanks n bytes with a few fixed-size, possibly overlapping stores: fields
// are short and their widths repeat, so this beats a memset call. The
// digits are then stored over the blanks, never read back (a load across
// several narrow stores would stall).
inline void blank_field(char* out, int n) {
    constexpr char blanks[16] = {' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' '};
    if (n > 32) {
        std::memset(out, ' ', static_cast<std::size_t>(n));
    } else if (n >= 16) {
        std::memcpy(out, blanks, 16);
        std::memcpy(out + n - 16, blanks, 16);
    } else if (n >= 8) {
        std::memcpy(out, blanks, 8);
        std::memcpy(out + n - 8, blanks, 8);
    } else if (n >= 4) {
        std::memcpy(out, blanks, 4);
        std::memcpy(out + n - 4, blanks, 4);
    } else {
        for (int i = 0; i < n; ++i) out[i] = ' ';
    }
}

// True when v has at most n decimal digits (n may be 0 or negative).
inline bool fits_digits(std::uint64_t v, int n) { return n >= 20 || (n > 0 && v < kPow10[n]); }

// Places `units`, the rounded magnitude in units of 10^-D (below 2^41, so
// at most 13 digits), right-justified in w with sign and leading zero.
template <int D>
[[gnu::always_inline]] inline void place_units(char* out, int w, std::uint64_t units, bool negative) {
    const std::uint64_t ip = units / kPow10[D];
    const bool sign = negative && units != 0;
    const int room = w - 1 - D - sign;  // characters left for the integer part
    // A zero integer part is shown only when there is room for it.
    if (ip == 0 ? room < 0 : !fits_digits(ip, room)) {
        std::memset(out, '*', static_cast<std::size_t>(w));
        return;
    }
    blank_field(out, w);
    put_digits_exactly<D>(out + w, units - ip * kPow10[D]);
    char* p = out + w - D;
    *--p = '.';
    if (ip != 0) p = put_digits(p, ip);
    else if (room >= 1) *--p = '0';
    if (sign) *--p = '-';
}

// Fw.D in the common case: scale by 10^D and round in integers. The scaled
// product is within 2^-13 of the exact one below 2^40, and the 18-digit
// rounding of the decimal expansion moves it by far less, so only values
// within 2^-12 of a half need the exact expansion. The 16-digit expansion of
// a 4-byte real moves it by up to scaled * 5e-16, which can reach a half:
// the margin is widened by that. Returns false, having written nothing, for
// the values left to the exact expansion (near a half, 2^40 and above, not
// finite).
template <int D>
[[gnu::always_inline]] inline bool try_fixed(char* out, int w, double value, bool single) {
    static_assert(D >= 0 && D <= 15);
    const double scaled = std::fabs(value) * static_cast<double>(kPow10[D]);
    if (!(scaled < 0x1p40)) return false;
    const std::int64_t whole = static_cast<std::int64_t>(scaled);  // the floor: 0 <= scaled < 2^40
    const double frac = scaled - static_cast<double>(whole);
    const double margin = single ? 0x1p-12 + scaled * 0x1p-50 : 0x1p-12;
    if (!(std::fabs(frac - 0.5) > margin)) return false;
    place_units<D>(out, w, static_cast<std::uint64_t>(whole + (frac > 0.5)), std::signbit(value));
    return true;
}

// Iw: decimal digits with a leading "-" when negative; asterisks when they
// do not fit.
[[gnu::always_inline]] inline void put_int(char* out, int w, std::int64_t value) {
    const std::uint64_t magnitude = value < 0 ? 0 - static_cast<std::uint64_t>(value)
                                              : static_cast<std::uint64_t>(value);
    if (!fits_digits(magnitude, w - (value < 0))) {
        std::memset(out, '*', static_cast<std::size_t>(w));
        return;
    }
    blank_field(out, w);
    char* p = put_digits(out + w, magnitude);
    if (value < 0) *--p = '-';
}

}  // namespace morva::text::fast
