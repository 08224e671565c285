#include "text/number_format.hpp"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "text/fast_fields.hpp"

namespace morva::text {
namespace {

bool is_zero(char digit) { return digit == '0'; }

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
    if (std::isfinite(value)) return false;
    if (std::isnan(value)) justify(out, w, "NaN", 3);
    else if (value < 0) justify(out, w, "-Inf", 4);
    else justify(out, w, "Inf", 3);
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
        const bool rest_zero = std::all_of(dec.digits + keep + 1, dec.digits + dec.count, is_zero);
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
    const bool all_zero = std::all_of(units, units + n, is_zero);
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

using TryFixed = bool (*)(char*, int, double, bool);
template <int... D>
constexpr std::array<TryFixed, sizeof...(D)> fixed_fast_paths(std::integer_sequence<int, D...>) {
    return {&fast::try_fixed<D>...};
}
// The fast path for every count of decimals it serves, 0 to 15.
constexpr auto kTryFixed = fixed_fast_paths(std::make_integer_sequence<int, 16>{});

}  // namespace

void format_int(char* out, int w, std::int64_t value) { fast::put_int(out, w, value); }

void format_fixed(char* out, int w, int d, double value, bool single) {
    if (d >= 0 && d <= 15 && kTryFixed[static_cast<std::size_t>(d)](out, w, value, single)) return;
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
    if (magnitude <= 99) text[len++] = 'E';
    text[len++] = exponent < 0 ? '-' : '+';
    if (magnitude > 99) text[len++] = static_cast<char>('0' + magnitude / 100);
    text[len++] = static_cast<char>('0' + magnitude / 10 % 10);
    text[len++] = static_cast<char>('0' + magnitude % 10);
    justify(out, w, text, len);
}

void format_bits(char* out, int w, int m, std::uint64_t pattern) {
    char text[72];
    const int bits = static_cast<int>(std::bit_width(pattern));
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
