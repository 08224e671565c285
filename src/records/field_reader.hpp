#pragma once
// Reading back the I and F fields of a fixed-layout line by integer
// arithmetic on the printed digits, so that a value is exactly what was
// printed. The fields' columns come from the layout that wrote the line.

#include <algorithm>
#include <cstdint>
#include <string_view>

#include "text/fixed_line.hpp"

namespace morva::records::fields {

enum class Field { Value, Stars, NotANumber, Bad };

inline bool all_stars(const char* f, int w) {
    return std::all_of(f, f + w, [](char c) { return c == '*'; });
}

// The words an F field holds for NaN and infinities, right-justified.
inline bool not_a_number(const char* f, int w) {
    std::string_view s(f, static_cast<std::size_t>(w));
    s.remove_prefix(std::min(s.find_first_not_of(' '), s.size()));
    return s == "NaN" || s == "Inf" || s == "-Inf";
}

// Past the leading blanks and an optional minus of a field of width w; false
// for a field of blanks.
[[gnu::always_inline]] inline bool sign(const char* f, int w, int& k, bool& negative) {
    k = 0;
    while (k < w && f[k] == ' ') ++k;
    if (k == w) return false;
    negative = f[k] == '-';
    k += negative;
    return true;
}

// Fw.d (d above 0): blanks, an optional minus, integer digits (none when the
// field had no room for a 0), a point and exactly d decimals. The value in
// units of 10^-d.
template <text::line::Item I>
[[gnu::always_inline]] inline Field fixed_point(const char* line, std::int64_t& value) {
    static_assert(I.op == text::Descriptor::Op::Fixed && I.d > 0);
    constexpr int w = I.w, d = I.d;
    const char* const f = line + I.at;
    int k;
    bool negative;
    if (!sign(f, w, k, negative)) return Field::Bad;
    std::int64_t v = 0;
    while (k < w - d - 1 && f[k] >= '0' && f[k] <= '9') {
        v = v * 10 + (f[k++] - '0');
    }
    if (k != w - d - 1 || f[k] != '.') {
        if (all_stars(f, w)) return Field::Stars;
        return not_a_number(f, w) ? Field::NotANumber : Field::Bad;
    }
    for (++k; k < w; ++k) {
        if (f[k] < '0' || f[k] > '9') return Field::Bad;
        v = v * 10 + (f[k] - '0');
    }
    value = negative ? -v : v;
    return Field::Value;
}

// Iw: blanks, an optional minus, at least one digit.
template <text::line::Item I>
[[gnu::always_inline]] inline Field integer(const char* line, std::int32_t& value) {
    static_assert(I.op == text::Descriptor::Op::Int);
    constexpr int w = I.w;
    const char* const f = line + I.at;
    int k;
    bool negative;
    if (!sign(f, w, k, negative)) return Field::Bad;
    if (k == w) return all_stars(f, w) ? Field::Stars : Field::Bad;
    std::int32_t v = 0;
    for (; k < w; ++k) {
        if (f[k] < '0' || f[k] > '9') return all_stars(f, w) ? Field::Stars : Field::Bad;
        v = v * 10 + (f[k] - '0');
    }
    value = negative ? -v : v;
    return Field::Value;
}

// Blanks in the columns of an nX item.
template <text::line::Item I>
[[gnu::always_inline]] inline bool blanks(const char* line) {
    static_assert(I.op == text::Descriptor::Op::Blanks);
    for (int k = 0; k < I.w; ++k) {
        if (line[I.at + k] != ' ') return false;
    }
    return true;
}

}  // namespace morva::records::fields
