#include "text/number_format.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

namespace morva::text {
namespace {

const double kInf = std::numeric_limits<double>::infinity();
const double kNaN = std::numeric_limits<double>::quiet_NaN();

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

struct RealCase {
    int w, d;
    double value;
    const char* expected;  // exactly w characters
};

TEST(FormatFixed, Examples) {
    const RealCase cases[] = {
        // Signs: a value that rounds to zero has none, nor has -0.
        {6, 2, -0.004, "  0.00"},
        {6, 2, -0.006, " -0.01"},
        {6, 2, -0.001, "  0.00"},
        {6, 2, -0.0, "  0.00"},
        {6, 2, -0.005, " -0.01"},  // -0.00500000000000000010408...: above the half at 18 digits
        {7, 2, -0.5, "  -0.50"},
        {6, 2, 0.0, "  0.00"},
        // Exact halves go to the even decimal.
        {6, 2, 2.125, "  2.12"},
        {6, 2, 2.375, "  2.38"},
        {5, 2, 0.125, " 0.12"},
        {5, 2, 0.375, " 0.38"},
        {5, 2, -0.125, "-0.12"},
        {5, 2, -0.375, "-0.38"},
        {5, 0, 0.5, "   0."},
        {5, 0, 1.5, "   2."},
        {5, 0, 2.5, "   2."},
        {5, 0, -2.5, "  -2."},
        {7, 1, 0.25, "    0.2"},
        {7, 1, 0.75, "    0.8"},
        // Not halves in binary: the expansion decides.
        {6, 2, 2.675, "  2.67"},   // 2.67499999999999982236...
        {6, 2, 1.005, "  1.00"},   // 1.00499999999999989341...
        {6, 2, 1.015, "  1.01"},   // 1.01499999999999990230...
        {6, 2, 1.025, "  1.02"},   // 1.02499999999999991118...
        {6, 2, 1.035, "  1.03"},   // 1.03499999999999992006...
        {6, 2, 1.045, "  1.04"},   // 1.04499999999999992894...
        {6, 2, 0.115, "  0.12"},   // 0.11500000000000000499...
        {8, 3, 1.0005, "   1.000"},  // 1.000499999999999944932...
        // Leading zero only where it fits.
        {4, 3, 0.5, ".500"},
        {9, 6, 0.5, " 0.500000"},
        {5, 3, 0.5, "0.500"},
        {5, 3, -0.5, "-.500"},
        {4, 3, -0.5, "****"},
        {3, 2, 0.004, ".00"},
        {3, 2, -0.004, ".00"},
        {2, 1, 0.04, ".0"},
        {1, 0, 0.4, "."},  // only the point fits
        {2, 0, 0.4, "0."},
        // Overflow fills the field.
        {6, 2, 1234.567, "******"},
        {6, 2, 999.994, "999.99"},
        {6, 2, 999.995, "******"},  // 999.995000000000004547... rounds up to 1000.00
        {6, 2, -99.994, "-99.99"},
        {6, 2, -99.996, "******"},
        {6, 2, -999.99, "******"},
        {2, 1, 10.0, "**"},
        // Carries through nines.
        {8, 3, 9.9996, "  10.000"},
        {8, 3, 0.9995, "   1.000"},  // 0.99950000000000005507...
        {9, 4, 99.99995, "  99.9999"},  // 99.99994999999999834...
        {9, 4, 99.99996, " 100.0000"},
        // Field widths of the system.
        {9, 2, 9999.9, "  9999.90"},
        {8, 1, -9999.9, " -9999.9"},
        {9, 6, 12.5, "12.500000"},
        {11, 6, 52.123456, "  52.123456"},
        {12, 6, 4.654321, "    4.654321"},
        {8, 2, 1.23, "    1.23"},
        {6, 2, 359.99, "359.99"},
        {9, 4, 0.00005, "   0.0001"},  // 5.00000000000000023960e-05
        {9, 4, 0.00015, "   0.0001"},  // 1.49999999999999993...e-04
        {9, 4, 0.00025, "   0.0003"},  // 2.50000000000000005...e-04
        {9, 4, 100000.0, "*********"},
        // Tiny and huge values.
        {9, 6, 1e-300, " 0.000000"},
        {9, 6, -1e-300, " 0.000000"},
        {9, 6, 4.9e-324, " 0.000000"},
        {9, 6, 1e300, "*********"},
        {9, 6, -1.7976931348623157e308, "*********"},
        {12, 2, 123456789.125, "123456789.12"},
        // Beyond 16 significant digits the positions print as zeros.
        {23, 4, 123456789012345678.0, "123456789012345600.0000"},
        {21, 19, 0.1, "0.1000000000000000000"},  // 0.1000000000000000055511...
        {21, 19, 1.0 / 3.0, "0.3333333333333333000"},
        {21, 17, 2.0 / 3.0, "  0.66666666666666660"},  // 0.666666666666666630 at 18 digits
        {20, 2, 4503599627370497.0, " 4503599627370497.00"},
        {21, 2, 45035996273704984.0, " 45035996273704980.00"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(fixed(c.w, c.d, c.value), c.expected) << "F" << c.w << "." << c.d << " of " << c.value;
    }
}

TEST(FormatFixed, NonFinite) {
    const RealCase cases[] = {
        {6, 2, kInf, "   Inf"},  {6, 2, -kInf, "  -Inf"}, {6, 2, kNaN, "   NaN"},
        {6, 2, -kNaN, "   NaN"}, {3, 1, kInf, "Inf"},     {3, 1, kNaN, "NaN"},
        {4, 1, -kInf, "-Inf"},   {3, 1, -kInf, "***"},    {2, 1, kNaN, "**"},
        {2, 1, kInf, "**"},      {12, 6, kInf, "         Inf"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(fixed(c.w, c.d, c.value), c.expected) << "F" << c.w << "." << c.d << " of " << c.value;
    }
}

TEST(FormatFixed, SingleExpandsToSixteenDigits) {
    // 0.1f is 0.100000001490116119384765625; at 16 digits 0.1000000014901161.
    EXPECT_EQ(fixed(12, 6, 0.1f, true), "    0.100000");
    EXPECT_EQ(fixed(20, 17, 0.1f, true), " 0.10000000149011610");
    EXPECT_EQ(fixed(8, 1, 9999.900390625, true), "  9999.9");
    EXPECT_EQ(fixed(8, 1, -9999.900390625, true), " -9999.9");
    // 1 + 2^-23 = 1.00000011920928955078125 is 1.000000119209290 at 16 digits.
    EXPECT_EQ(fixed(18, 15, 1.00000011920928955078125, true), " 1.000000119209290");
    EXPECT_EQ(fixed(18, 15, 1.00000011920928955078125, false), " 1.000000119209290");
}

// The 16-digit expansion of a 4-byte real can end exactly on a half of the
// last decimal shown; that half goes to the even decimal, where the 8-byte
// rule, seeing more digits, rounds by them.
TEST(FormatFixed, SingleHalfAtSixteenDigitsGoesToEven) {
    struct Case {
        int w, d;
        double value;  // a 4-byte real, widened
        const char* as_single;
        const char* as_double;
    };
    const Case cases[] = {
        // 0.001072133542038500308990478515625: 0.001072133542038500 at 16 digits.
        {20, 15, 0.001072133542038500308990478515625, "   0.001072133542038", "   0.001072133542039"},
        // 0.01614392362534999847412109375: 0.01614392362535000 at 16 digits.
        {16, 13, 0.01614392362534999847412109375, " 0.0161439236254", " 0.0161439236253"},
        // 1.0611798763275146484375: 1.061179876327515 at 16 digits.
        {17, 14, 1.0611798763275146484375, " 1.06117987632752", " 1.06117987632751"},
    };
    for (const auto& c : cases) {
        ASSERT_EQ(static_cast<double>(static_cast<float>(c.value)), c.value);
        EXPECT_EQ(fixed(c.w, c.d, c.value, true), c.as_single) << c.value;
        EXPECT_EQ(fixed(c.w, c.d, c.value, false), c.as_double) << c.value;
    }
}

TEST(FormatGeneral, Examples) {
    const RealCase cases[] = {
        {10, 4, 0.0, " 0.000    "},
        {10, 4, -0.0, " 0.000    "},
        {10, 4, 99999.0, "0.1000E+06"},
        {10, 4, -0.5, "-.5000    "},
        {10, 4, 0.5, "0.5000    "},
        {10, 4, 123.456, " 123.5    "},
        {10, 4, 0.01234, "0.1234E-01"},
        {10, 4, -0.01234, "-.1234E-01"},
        {11, 4, -0.01234, "-0.1234E-01"},
        {10, 4, 1.0, " 1.000    "},
        {10, 4, -1.0, "-1.000    "},
        {10, 4, 0.1, "0.1000    "},
        {10, 4, 9999.0, " 9999.    "},
        {10, 4, 9999.4, " 9999.    "},
        {10, 4, 9999.6, "0.1000E+05"},  // rounds to 10^4: exponent form
        {10, 4, 1234.5, " 1234.    "},  // exact half to even at 4 digits
        {10, 4, 1235.5, " 1236.    "},
        {10, 4, 0.099996, "0.1000    "},  // rounds up to 0.1: fixed form
        {10, 4, 0.099994, "0.9999E-01"},
        {10, 4, 12345.0, "0.1234E+05"},  // exact half to even
        {10, 4, 12355.0, "0.1236E+05"},
        {10, 4, -123456.0, "-.1235E+06"},
        {10, 4, 1e-120, "0.1000-119"},  // three-digit exponent drops the E
        {10, 4, 1e120, "0.1000+121"},
        {10, 4, -1e120, "-.1000+121"},
        {10, 4, 4.9e-324, "0.4941-323"},
        {10, 4, 1.7976931348623157e308, "0.1798+309"},
        {10, 4, 5e-100, "0.5000E-99"},
        {10, 4, kInf, "       Inf"},
        {10, 4, -kInf, "      -Inf"},
        {10, 4, kNaN, "       NaN"},
        {2, 1, kNaN, "**"},
        {12, 5, 3.14159265, "  3.1416    "},
        {14, 7, 0.000123456789, " 0.1234568E-03"},
        {8, 4, 0.01234, "********"},  // exponent form does not fit
    };
    for (const auto& c : cases) {
        EXPECT_EQ(general(c.w, c.d, c.value), c.expected) << "G" << c.w << "." << c.d << " of " << c.value;
    }
}

TEST(FormatGeneral, SingleExpandsToSixteenDigits) {
    // Calibration values are 4-byte reals shown in G10.4.
    EXPECT_EQ(general(10, 4, 0.1f, true), "0.1000    ");
    EXPECT_EQ(general(10, 4, 1.5f, true), " 1.500    ");
    EXPECT_EQ(general(10, 4, -0.00125f, true), "-.1250E-02");  // -0.00124999997206032276... at 16 digits
    EXPECT_EQ(general(10, 4, 0.00125f, false), "0.1250E-02");
    EXPECT_EQ(general(10, 4, 3.4028234663852886e38, true), "0.3403E+39");
}

TEST(FormatInt, Examples) {
    struct Case {
        int w;
        std::int64_t value;
        const char* expected;
    };
    const Case cases[] = {
        {2, 5, " 5"},
        {2, 123, "**"},
        {6, -42, "   -42"},
        {3, -100, "***"},
        {3, -99, "-99"},
        {4, 0, "   0"},
        {1, 0, "0"},
        {1, -1, "*"},
        {1, 9, "9"},
        {11, -2147483648LL, "-2147483648"},
        {10, -2147483648LL, "**********"},
        {20, std::numeric_limits<std::int64_t>::min(), "-9223372036854775808"},
        {20, std::numeric_limits<std::int64_t>::max(), " 9223372036854775807"},
        {3, 65535, "***"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(integer(c.w, c.value), c.expected) << "I" << c.w << " of " << c.value;
    }
}

TEST(FormatBits, Examples) {
    struct Case {
        int w, m;
        std::uint64_t pattern;
        const char* expected;
    };
    const Case cases[] = {
        {7, 7, 0, "0000000"},
        {7, 7, 127, "1111111"},
        {7, 7, 0x80, "*******"},
        {7, 7, 0xFF, "*******"},
        {7, 7, 5, "0000101"},
        {8, 7, 0x80, "10000000"},
        {10, 3, 5, "       101"},
        {10, 3, 1, "       001"},
        {10, 1, 0, "         0"},
        {4, 0, 0, "    "},  // no digit asked for, none shown
    };
    for (const auto& c : cases) {
        EXPECT_EQ(bits(c.w, c.m, c.pattern), std::string(c.expected))
            << "B" << c.w << "." << c.m << " of " << c.pattern;
    }
}

}  // namespace
}  // namespace morva::text
