#include "text/number_format.hpp"

#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace morva::text {
namespace {

void fill(char* out, int w, char c) { std::memset(out, c, static_cast<std::size_t>(w)); }

// Right-justifies `len` characters of `text` in w, or asterisks.
void justify(char* out, int w, const char* text, int len) {
    if (len > w) {
        fill(out, w, '*');
        return;
    }
    fill(out, w - len, ' ');
    std::memcpy(out + (w - len), text, static_cast<std::size_t>(len));
}

bool write_non_finite(char* out, int w, double value) {
    if (std::isnan(value)) {
        justify(out, w, "NaN", 3);
    } else if (std::isinf(value)) {
        if (value < 0) justify(out, w, "-Inf", 4);
        else justify(out, w, "Inf", 3);
    } else {
        return false;
    }
    return true;
}

// A decimal significand: value = 0.d1 d2 ... dn x 10^exp10, digits as '0'..'9'.
struct Decimal {
    char digits[24];
    int count = 0;
    int exp10 = 0;
    bool negative = false;
};

// The exact binary value rounded to `sig` significant decimal digits (the C
// library prints exact expansions, rounding to nearest with ties to even).
Decimal expand(double value, int sig) {
    Decimal dec;
    dec.negative = std::signbit(value);
    if (value == 0) {
        dec.count = 1;
        dec.digits[0] = '0';
        dec.exp10 = 1;
        return dec;
    }
    char text[48];
    std::snprintf(text, sizeof text, "%.*e", sig - 1, std::fabs(value));
    const char* p = text;
    for (; *p != 'e'; ++p) {
        if (*p != '.') dec.digits[dec.count++] = *p;
    }
    dec.exp10 = std::atoi(p + 1) + 1;
    return dec;
}

// Rounds `dec` to `keep` digits (keep may be 0 or negative), ties to even;
// a carry out of the first digit adds one to exp10. Returns the kept count.
int round_digits(Decimal& dec, int keep) {
    if (keep >= dec.count) return keep;
    bool up = false;
    if (keep >= 0) {
        char first_dropped = dec.digits[keep];
        bool rest_zero = true;
        for (int i = keep + 1; i < dec.count; ++i) {
            if (dec.digits[i] != '0') rest_zero = false;
        }
        if (first_dropped > '5') up = true;
        else if (first_dropped == '5' && !rest_zero) up = true;
        else if (first_dropped == '5') up = keep > 0 && ((dec.digits[keep - 1] - '0') & 1);
    }
    if (keep < 0) keep = 0;
    dec.count = keep;
    if (!up) return keep;
    int i = keep - 1;
    while (i >= 0 && dec.digits[i] == '9') dec.digits[i--] = '0';
    if (i >= 0) {
        ++dec.digits[i];
    } else {
        std::memmove(dec.digits + 1, dec.digits, static_cast<std::size_t>(keep));
        dec.digits[0] = '1';
        ++dec.count;
        ++dec.exp10;
        ++keep;
    }
    return keep;
}

// Places an integer part and d decimals, with sign and optional leading zero,
// right-justified in w. `units` holds all digits of the rounded magnitude in
// units of 10^-d (possibly fewer than d+1 digits: leading zeros implied).
void place_fixed(char* out, int w, int d, const char* units, int n, bool negative) {
    char text[400];
    int len = 0;
    bool all_zero = true;
    for (int i = 0; i < n; ++i) {
        if (units[i] != '0') all_zero = false;
    }
    int int_digits = n - d;
    if (negative && !all_zero) text[len++] = '-';
    bool zero_int = int_digits <= 0;
    int needed = len + (zero_int ? 1 : int_digits) + 1 + d;
    if (zero_int && needed > w) {
        --needed;  // no room for the leading zero
    } else if (zero_int) {
        text[len++] = '0';
    }
    if (needed > w || needed > static_cast<int>(sizeof text)) {
        fill(out, w, '*');
        return;
    }
    if (!zero_int) {
        std::memcpy(text + len, units, static_cast<std::size_t>(int_digits));
        len += int_digits;
    }
    text[len++] = '.';
    for (int i = 0; i < d; ++i) {
        int src = n - d + i;
        text[len++] = src >= 0 ? units[src] : '0';
    }
    justify(out, w, text, len);
}

void format_fixed_exact(char* out, int w, int d, double value, bool single) {
    Decimal dec = expand(value, single ? 16 : 18);
    int keep = round_digits(dec, dec.exp10 + d);
    // keep digits in units of 10^-d; digits beyond the 16th significant print as 0.
    char units[400];
    int n = 0;
    if (keep > static_cast<int>(sizeof units)) {
        fill(out, w, '*');
        return;
    }
    int significant = 0;
    for (int i = 0; i < keep; ++i) {
        char c = i < dec.count ? dec.digits[i] : '0';
        if (c != '0' || significant > 0) ++significant;
        units[n++] = significant > 16 ? '0' : c;
    }
    place_fixed(out, w, d, units, n, dec.negative);
}

constexpr double kPow10[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                             1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};

// "00" "01" ... "99": two digits per division.
constexpr char kPairs[] =
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
        constexpr std::uint64_t split = [] {
            std::uint64_t p = 1;
            for (int k = 0; k < low; ++k) p *= 10;
            return p;
        }();
        const std::uint64_t high = v / split;
        put_digits_exactly<low>(end, v - high * split);
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

constexpr std::uint64_t kPow10Int[] = {1,
                                       10,
                                       100,
                                       1000,
                                       10000,
                                       100000,
                                       1000000,
                                       10000000,
                                       100000000,
                                       1000000000,
                                       10000000000,
                                       100000000000,
                                       1000000000000,
                                       10000000000000,
                                       100000000000000,
                                       1000000000000000,
                                       10000000000000000,
                                       100000000000000000,
                                       1000000000000000000,
                                       10000000000000000000u};

// Decimal digits of v (1 for 0).
inline int digit_count(std::uint64_t v) {
    int n = 1;
    while (n < 20 && v >= kPow10Int[n]) ++n;
    return n;
}

// The fast path's placing: `units` is the rounded magnitude in units of
// 10^-D (below 2^41, so at most 13 digits).
template <int D>
void place_units(char* out, int w, std::uint64_t units, bool negative) {
    constexpr std::uint64_t one = kPow10Int[D];
    const std::uint64_t ip = units / one;
    const bool sign = negative && units != 0;
    bool leading_zero = ip == 0;
    int len = sign + (ip == 0 ? 1 : digit_count(ip)) + 1 + D;
    if (len > w && leading_zero) {
        leading_zero = false;  // no room for it
        --len;
    }
    if (len > w) {
        fill(out, w, '*');
        return;
    }
    blank_field(out, w);
    put_digits_exactly<D>(out + w, units - ip * one);
    char* p = out + w - D;
    *--p = '.';
    if (ip != 0) p = put_digits(p, ip);
    if (leading_zero) *--p = '0';
    if (sign) *--p = '-';
}

using Placer = void (*)(char*, int, std::uint64_t, bool);
template <int... D>
constexpr auto placers(std::integer_sequence<int, D...>) {
    return std::array<Placer, sizeof...(D)>{&place_units<D>...};
}
constexpr auto kPlaceUnits = placers(std::make_integer_sequence<int, 16>{});

}  // namespace

void format_int(char* out, int w, std::int64_t value) {
    const std::uint64_t magnitude = value < 0 ? 0 - static_cast<std::uint64_t>(value)
                                              : static_cast<std::uint64_t>(value);
    const int len = digit_count(magnitude) + (value < 0);
    if (len > w) {
        fill(out, w, '*');
        return;
    }
    blank_field(out, w);
    char* p = put_digits(out + w, magnitude);
    if (value < 0) *--p = '-';
}

void format_fixed(char* out, int w, int d, double value, bool single) {
    // Fast path: scale by 10^d and round in integers. The scaled product is
    // within 2^-13 of the exact one below 2^40, and the 18-digit rounding
    // moves it by far less, so only values within 2^-12 of a half need the
    // exact expansion. The 16-digit expansion of a 4-byte real moves it by
    // up to scaled * 5e-16, which can reach a half: widen the margin by that.
    // Not-a-number and infinities fail the range test.
    if (d <= 15) {
        double scaled = std::fabs(value) * kPow10[d];
        if (scaled < 0x1p40) {
            std::uint64_t whole = static_cast<std::uint64_t>(scaled);  // the floor: scaled >= 0
            double frac = scaled - static_cast<double>(whole);
            double margin = single ? 0x1p-12 + scaled * 0x1p-50 : 0x1p-12;
            if (std::fabs(frac - 0.5) > margin) {
                kPlaceUnits[static_cast<std::size_t>(d)](out, w, whole + (frac > 0.5 ? 1 : 0),
                                                         std::signbit(value));
                return;
            }
        }
    }
    if (write_non_finite(out, w, value)) return;
    format_fixed_exact(out, w, d, value, single);
}

void format_general(char* out, int w, int d, double value, bool single) {
    if (write_non_finite(out, w, value)) return;
    if (w < 5 || d < 1) {
        fill(out, w, '*');
        return;
    }
    if (value == 0) {
        char text[64];
        int len = 0;
        text[len++] = '0';
        text[len++] = '.';
        for (int i = 1; i < d && len < 60; ++i) text[len++] = '0';
        justify(out, w - 4, text, len);
        fill(out + (w - 4), 4, ' ');
        if (len > w - 4) fill(out, w, '*');
        return;
    }
    Decimal dec = expand(value, single ? 16 : 18);
    round_digits(dec, d);
    if (dec.exp10 >= 0 && dec.exp10 <= d) {
        format_fixed(out, w - 4, d - dec.exp10, value, single);
        if (out[0] == '*') {
            fill(out, w, '*');
            return;
        }
        fill(out + (w - 4), 4, ' ');
        return;
    }
    char text[64];
    int len = 0;
    if (dec.negative) text[len++] = '-';
    int exponent = dec.exp10;
    int magnitude = exponent < 0 ? -exponent : exponent;
    const int exp_len = 4;  // "E+dd", or "+ddd" for three-digit exponents
    if (magnitude > 999 || d > 40) {
        fill(out, w, '*');
        return;
    }
    bool room_for_zero = len + 1 + 1 + d + exp_len <= w;
    if (room_for_zero) text[len++] = '0';
    text[len++] = '.';
    for (int i = 0; i < d; ++i) text[len++] = i < dec.count ? dec.digits[i] : '0';
    if (magnitude <= 99) {
        text[len++] = 'E';
        text[len++] = exponent < 0 ? '-' : '+';
        text[len++] = static_cast<char>('0' + magnitude / 10);
        text[len++] = static_cast<char>('0' + magnitude % 10);
    } else {
        text[len++] = exponent < 0 ? '-' : '+';
        text[len++] = static_cast<char>('0' + magnitude / 100);
        text[len++] = static_cast<char>('0' + magnitude / 10 % 10);
        text[len++] = static_cast<char>('0' + magnitude % 10);
    }
    justify(out, w, text, len);
}

void format_bits(char* out, int w, int m, std::uint64_t pattern) {
    char text[72];
    int bits = 0;
    for (std::uint64_t p = pattern; p != 0; p >>= 1) ++bits;
    if (bits > w) {
        fill(out, w, '*');
        return;
    }
    int len = bits > m ? bits : m;
    if (len > 64) len = 64;
    for (int i = 0; i < len; ++i) {
        text[len - 1 - i] = ((pattern >> i) & 1) ? '1' : '0';
    }
    justify(out, w, text, len);
}

}  // namespace morva::text
