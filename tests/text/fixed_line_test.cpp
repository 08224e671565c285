// Lines formatted with compile-time layouts match write_fixed with the same
// layout and values, byte for byte: on random points along a flight, on the
// values at the edges of the field rules, and across the buffer's end.

#include "text/fixed_line.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <string>

#include "text/layout.hpp"
#include "text_test_support.hpp"

namespace morva::text {
namespace {

using testing::MemoryOut;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

template <Notation L, typename... V>
void expect_same_line(V... values) {
    MemoryOut fast, general;
    write_line<L>(fast.out, values...);
    write_fixed(general.out, layout(L.view()), {values...});
    EXPECT_EQ(fast.text(), general.text()) << L.view();
}

TEST(WriteLine, ScanPointRecordOnRandomPoints) {
    std::mt19937_64 rng(7);
    std::uniform_real_distribution<double> hours(0, 24), lat(-90, 90), lon(-180, 180), h(-500, 9000);
    std::uniform_int_distribution<int> byte(0, 255), index(1, 1000);
    for (int k = 0; k < 20000; ++k) {
        const auto ampl = static_cast<std::int8_t>(byte(rng));
        expect_same_line<"F9.6 F11.6 F12.6 F8.2 1X I3 I4">(hours(rng), lat(rng), lon(rng), h(rng), ampl,
                                                          index(rng));
        expect_same_line<"F9.6 F11.6 F12.6 F8.2 1X I3 I4 I3">(hours(rng), lat(rng), lon(rng), h(rng), ampl,
                                                             index(rng), index(rng) % 7);
    }
}

TEST(WriteLine, EdgesOfTheFieldRules) {
    // Exact halves (to even), values a hair from a half, negative zero and
    // values that round to zero, no room for the leading zero, overflow into
    // asterisks, values that are not finite, and 2^40 and beyond.
    const double values[] = {0.0,       -0.0,      0.125,    0.375,    2.125,    -2.375,   0.005,
                             -0.004,    -0.006,    1e-7,     -5e-7,    0.5,      9.995,    99.995,
                             999.995,   1234.567,  -999.99,  1e12,     -1e12,    0x1p40,   1e300,
                             kNaN,      -kNaN,     kInf,     -kInf,    0.3,      2.675,    1.0000005};
    for (double v : values) {
        expect_same_line<"F4.3 F5.2 F6.2 F9.6 1X F3.0 F2.1">(v, v, v, v, v, v);
        expect_same_line<"F8.2 F12.6 F17.15 F1.0 2X F20.10">(v, v, v, v, v);
        expect_same_line<"F6.2 F6.2">(static_cast<float>(v), v);
    }
}

TEST(WriteLine, IntegerFields) {
    const std::int64_t values[] = {0, 5, -5, 99, 100, -99, -100, 123, 999, 1000, -1000, 2147483647,
                                   -2147483648LL, std::numeric_limits<std::int64_t>::max(),
                                   std::numeric_limits<std::int64_t>::min()};
    for (std::int64_t v : values) {
        expect_same_line<"I1 I2 I3 I4 1X I11 I20">(v, v, v, v, v, v);
    }
    for (int b = 0; b < 256; ++b) {
        expect_same_line<"I3 I4">(static_cast<std::uint8_t>(b), static_cast<std::int8_t>(b));
    }
    // A real in an I field is visibly wrong; an integer in an F field shows its value.
    expect_same_line<"I3 F6.2">(2.5, std::int32_t{7});
}

TEST(WriteLine, LinesAcrossTheBufferEnd) {
    // Lines go out whole: the stream flushes before a line that does not fit.
    char path[] = "/tmp/morva-line-XXXXXX";
    const int fd = ::mkstemp(path);
    ASSERT_GE(fd, 0);
    ::close(fd);
    OutStream out;
    ASSERT_TRUE(open_out(out, path));
    std::string expected;
    MemoryOut general;
    for (int k = 0; k < 60000; ++k) {  // about 3 MB: several flushes
        const double t = 10.0 + k * 1.234567e-6;
        write_line<"F9.6 F11.6 F12.6 F8.2 1X I3 I4">(out, t, 52.0 + t * 1e-3, 5.0 - t * 1e-3, t - 10.0,
                                                     static_cast<std::int8_t>(k), k % 1000 + 1);
        general.out.used = 0;
        write_fixed(general.out, layout("F9.6 F11.6 F12.6 F8.2 1X I3 I4"),
                    {t, 52.0 + t * 1e-3, 5.0 - t * 1e-3, t - 10.0, static_cast<std::int8_t>(k), k % 1000 + 1});
        expected += general.text();
    }
    close_out(out);
    std::FILE* f = std::fopen(path, "rb");
    ASSERT_NE(f, nullptr);
    std::string written(expected.size() + 1, '\0');
    written.resize(std::fread(written.data(), 1, written.size(), f));
    std::fclose(f);
    std::remove(path);
    EXPECT_EQ(written, expected);
}

}  // namespace
}  // namespace morva::text
