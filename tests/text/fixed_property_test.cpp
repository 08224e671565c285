// The F formatter against an independent reference on many random values.
//
// The reference is the C library's "%.*f", which rounds the exact binary
// value to nearest with exact halves to even. The F rule first takes the
// value to 18 significant digits (16 for a 4-byte real); that differs from
// the exact rounding only where those digits end exactly on a half of the
// last decimal shown, and there the reference picks the even neighbour.
// The fields used here hold at most 14 significant digits, so the 16-digit
// cap never applies and a quarter unit of the last decimal is far above the
// spacing of the values.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

#include "text/number_format.hpp"

namespace morva::text {
namespace {

std::string c_fixed(int d, double v) {
    char buf[512];
    std::snprintf(buf, sizeof buf, "%.*f", d, v);
    return buf;
}

// True when v taken to `sig` significant digits lies exactly on a half of
// the d-th decimal.
bool expansion_ends_on_half(double v, int d, int sig) {
    if (v == 0) return false;
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*e", sig - 1, std::fabs(v));
    std::string digits;
    const char* p = buf;
    for (; *p != 'e'; ++p) {
        if (*p != '.') digits += *p;
    }
    int kept = std::atoi(p + 1) + 1 + d;  // digits left of the d-th decimal's end
    if (kept < 0 || kept >= sig) return false;
    if (digits[static_cast<std::size_t>(kept)] != '5') return false;
    return digits.find_first_not_of('0', static_cast<std::size_t>(kept) + 1) == std::string::npos;
}

// True when the binary value itself is a half of the d-th decimal (the C
// library then goes to the even decimal already).
bool exactly_half(double v, int d) {
    std::string s = c_fixed(d + 40, v);
    std::size_t half = s.size() - 40;
    return s[half] == '5' && s.find_first_not_of('0', half + 1) == std::string::npos;
}

bool last_digit_even(const std::string& s) { return (s.back() - '0') % 2 == 0; }

std::string reference_fixed(int w, int d, double v, bool single) {
    std::string s = c_fixed(d, v);
    if (expansion_ends_on_half(v, d, single ? 16 : 18) && !exactly_half(v, d)) {
        // A quarter unit either side rounds down and up without doubt.
        double quarter = 0.25 * std::pow(10.0, -d);
        std::string a = c_fixed(d, v - quarter), b = c_fixed(d, v + quarter);
        s = last_digit_even(a) ? a : b;
    }
    if (d == 0) s += '.';
    bool negative = s[0] == '-';
    std::string body = negative ? s.substr(1) : s;
    if (body.find_first_not_of("0.") == std::string::npos) negative = false;
    if (body[0] == '0' && body.size() + (negative ? 1 : 0) > static_cast<std::size_t>(w)) body.erase(0, 1);
    std::string text = (negative ? "-" : "") + body;
    if (text.size() > static_cast<std::size_t>(w)) return std::string(static_cast<std::size_t>(w), '*');
    return std::string(static_cast<std::size_t>(w) - text.size(), ' ') + text;
}

std::string ours(int w, int d, double v, bool single) {
    std::string s(static_cast<std::size_t>(w), '?');
    format_fixed(s.data(), w, d, v, single);
    return s;
}

struct Field {
    int w, d;
};

// The F fields of the system's layouts.
const Field kFields[] = {{9, 6},  {11, 6}, {12, 6}, {8, 2}, {9, 2}, {8, 1}, {10, 4}, {7, 2},
                         {6, 2},  {9, 4},  {9, 3},  {11, 7}, {10, 6}, {9, 5}, {7, 1}, {5, 2}};

class Sampler {
public:
    explicit Sampler(unsigned seed) : rng_(seed) {}

    // A value whose magnitude spreads over the decades around the field, up
    // to 10^top.
    double spread(const Field& f, int top) {
        int decade = std::uniform_int_distribution<int>(-f.d - 3, top - 1)(rng_);
        double mantissa = std::uniform_real_distribution<double>(1.0, 10.0)(rng_);
        return sign() * mantissa * std::pow(10.0, decade);
    }

    // The double nearest to (k + 1/2) units of the last decimal, k of up to
    // as many digits as the field holds.
    double half_unit(const Field& f) {
        int digits = std::uniform_int_distribution<int>(1, f.w - 2)(rng_);
        std::uint64_t limit = 1;
        for (int i = 0; i < digits; ++i) limit *= 10;
        std::uint64_t k = std::uniform_int_distribution<std::uint64_t>(0, limit - 1)(rng_);
        char text[64];
        std::snprintf(text, sizeof text, "%llu.5e-%d", static_cast<unsigned long long>(k), f.d);
        return sign() * std::strtod(text, nullptr);
    }

    // Any finite double at all: tiny, huge, denormal.
    double any_bits() {
        for (;;) {
            std::uint64_t bits = rng_();
            double v;
            std::memcpy(&v, &bits, sizeof v);
            if (std::isfinite(v)) return v;
        }
    }

    // A 4-byte real with at most 14 significant digits in the field.
    float any_float_near(const Field& f) { return static_cast<float>(spread(f, 14 - f.d)); }

private:
    double sign() { return (rng_() & 1) ? -1.0 : 1.0; }
    std::mt19937_64 rng_;
};

TEST(FormatFixedProperty, MatchesExactReferenceOnRandomValues) {
    Sampler sample(20240611);
    long compared = 0, differences = 0;
    auto check = [&](const Field& f, double v) {
        ++compared;
        std::string expected = reference_fixed(f.w, f.d, v, false);
        std::string actual = ours(f.w, f.d, v, false);
        if (actual != expected && ++differences <= 20) {
            ADD_FAILURE() << "F" << f.w << "." << f.d << " of " << std::hexfloat << v << std::defaultfloat << " ("
                          << v << "): [" << actual << "] expected [" << expected << "]";
        }
    };
    for (const Field& f : kFields) {
        for (int i = 0; i < 8000; ++i) {
            check(f, sample.spread(f, f.w - f.d + 1));
            double half = sample.half_unit(f);
            check(f, half);
            check(f, std::nextafter(half, INFINITY));
            check(f, std::nextafter(half, -INFINITY));
            check(f, std::nextafter(std::nextafter(half, INFINITY), INFINITY));
            check(f, sample.any_bits());
        }
    }
    EXPECT_EQ(differences, 0) << "of " << compared << " values";
    EXPECT_GT(compared, 700000);
}

TEST(FormatFixedProperty, SingleMatchesSixteenDigitReference) {
    Sampler sample(7);
    long differences = 0;
    const Field single_fields[] = {{8, 1}, {9, 2}, {10, 4}, {12, 6}, {16, 9}, {16, 11}, {16, 13}};
    for (const Field& f : single_fields) {
        for (int i = 0; i < 20000; ++i) {
            float v = sample.any_float_near(f);
            std::string expected = reference_fixed(f.w, f.d, v, true);
            std::string actual = ours(f.w, f.d, v, true);
            if (actual != expected && ++differences <= 20) {
                ADD_FAILURE() << "F" << f.w << "." << f.d << " of 4-byte " << std::hexfloat << v << std::defaultfloat
                              << " (" << v << "): [" << actual << "] expected [" << expected << "]";
            }
        }
    }
    // Thirteen-digit scaled values, where the 16-digit expansion moves the
    // value by the most relative to the last decimal shown.
    std::mt19937_64 rng(11);
    for (int d = 12; d <= 15; ++d) {
        const Field f{20, d};
        for (int i = 0; i < 50000; ++i) {
            double scaled = std::uniform_real_distribution<double>(1e12, 0x1p40)(rng);
            float v = static_cast<float>(scaled * std::pow(10.0, -d));
            std::string expected = reference_fixed(f.w, f.d, v, true);
            std::string actual = ours(f.w, f.d, v, true);
            if (actual != expected && ++differences <= 20) {
                ADD_FAILURE() << "F" << f.w << "." << f.d << " of 4-byte " << std::hexfloat << v << std::defaultfloat
                              << " (" << v << "): [" << actual << "] expected [" << expected << "]";
            }
        }
    }
    EXPECT_EQ(differences, 0);
}

TEST(FormatIntProperty, MatchesPrintf) {
    std::mt19937_64 rng(3);
    for (int i = 0; i < 100000; ++i) {
        int w = static_cast<int>(rng() % 12) + 1;
        std::int64_t v = static_cast<std::int64_t>(rng()) >> (rng() % 64);
        char buf[32];
        std::snprintf(buf, sizeof buf, "%*lld", w, static_cast<long long>(v));
        std::string expected = std::string(buf).size() > static_cast<std::size_t>(w) ? std::string(w, '*') : buf;
        std::string actual(static_cast<std::size_t>(w), '?');
        format_int(actual.data(), w, v);
        ASSERT_EQ(actual, expected) << "I" << w << " of " << v;
    }
}

}  // namespace
}  // namespace morva::text
