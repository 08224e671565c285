#include "text/number_format.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

namespace morva::text {
namespace {

std::string fixed(int w, int d, double v, bool single = false) {
    std::string s(static_cast<std::size_t>(w), '?');
    format_fixed(s.data(), w, d, v, single);
    return s;
}

std::string general(int w, int d, double v, bool single = false) {
    std::string s(static_cast<std::size_t>(w), '?');
    format_general(s.data(), w, d, v, single);
    return s;
}

std::string integer(int w, std::int64_t v) {
    std::string s(static_cast<std::size_t>(w), '?');
    format_int(s.data(), w, v);
    return s;
}

std::string bits(int w, int m, std::uint64_t v) {
    std::string s(static_cast<std::size_t>(w), '?');
    format_bits(s.data(), w, m, v);
    return s;
}

struct FixedCase {
    int w, d;
    double value;
    const char* expected;
};

TEST(FormatFixed, Examples) {
    const double inf = std::numeric_limits<double>::infinity();
    const FixedCase cases[] = {
        {6, 2, -0.004, "  0.00"},   {6, 2, -0.006, " -0.01"},  {6, 2, 1234.567, "******"},
        {6, 2, 2.125, "  2.12"},    {6, 2, 2.375, "  2.38"},   {5, 2, 0.125, " 0.12"},
        {5, 2, 0.375, " 0.38"},     {4, 3, 0.5, ".500"},       {9, 6, 0.5, " 0.500000"},
        {6, 2, -0.001, "  0.00"},   {6, 2, -0.0, "  0.00"},    {9, 2, 9999.9, "  9999.90"},
        {8, 1, -9999.9, " -9999.9"}, {9, 6, 12.5, "12.500000"}, {11, 6, 52.123456, "  52.123456"},
        {12, 6, 4.654321, "    4.654321"}, {8, 2, 1.23, "    1.23"}, {6, 2, inf, "   Inf"},
        {6, 2, -inf, "  -Inf"},     {6, 2, std::nan(""), "   NaN"}, {2, 1, -inf, "**"},
        {5, 0, 3.0, "   3."},       {5, 0, 0.5, "   0."},      {5, 0, 1.5, "   2."},
        {7, 2, -0.5, "  -0.50"},    {5, 3, -0.5, "-.500"},     {4, 3, -0.5, "****"},
        // Beyond 16 significant digits the positions print as zeros.
        {25, 4, 123456789012345678.0, "123456789012345600.0000"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(fixed(c.w, c.d, c.value), std::string(c.expected).insert(0, c.w - std::string(c.expected).size(), ' '))
            << "F" << c.w << "." << c.d << " of " << c.value;
    }
}

TEST(FormatFixed, SingleExpandsToSixteenDigits) {
    // 0.1f is 0.100000001490116...; at 16 digits 0.1000000014901161.
    EXPECT_EQ(fixed(12, 6, 0.1f, true), "    0.100000");
    EXPECT_EQ(fixed(8, 1, 9999.900390625, true), "  9999.9");
}

TEST(FormatGeneral, Examples) {
    EXPECT_EQ(general(10, 4, 0.0), " 0.000    ");
    EXPECT_EQ(general(10, 4, 99999.0), "0.1000E+06");
    EXPECT_EQ(general(10, 4, -0.5), "-.5000    ");
    EXPECT_EQ(general(10, 4, 123.456), " 123.5    ");
    EXPECT_EQ(general(10, 4, 0.01234), "0.1234E-01");
    EXPECT_EQ(general(10, 4, 1.0), " 1.000    ");
    EXPECT_EQ(general(10, 4, 9999.6), "0.1000E+05");
    EXPECT_EQ(general(10, 4, -0.01234), "-.1234E-01");
    EXPECT_EQ(general(10, 4, 1e-120), "0.1000-119");
    EXPECT_EQ(general(10, 4, 0.099996), "0.1000    ");
}

TEST(FormatInt, Examples) {
    EXPECT_EQ(integer(2, 5), " 5");
    EXPECT_EQ(integer(2, 123), "**");
    EXPECT_EQ(integer(6, -42), "   -42");
    EXPECT_EQ(integer(3, -100), "***");
    EXPECT_EQ(integer(3, -99), "-99");
    EXPECT_EQ(integer(4, 0), "   0");
}

TEST(FormatBits, Examples) {
    EXPECT_EQ(bits(7, 7, 0), "0000000");
    EXPECT_EQ(bits(7, 7, 127), "1111111");
    EXPECT_EQ(bits(7, 7, 0x80), "*******");
    EXPECT_EQ(bits(7, 7, 5), "0000101");
}

}  // namespace
}  // namespace morva::text
