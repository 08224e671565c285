#include "regression/normal_sums.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace morva::regression {
namespace {

struct RowCase {
    double x, y;
    std::int32_t m;
    std::vector<double> expected;  // row[0..m]
};

TEST(Setov, RowOfPowersThenHeight) {
    const RowCase cases[] = {
        {0.37, -1.25, 2, {1.0, 0.37, -1.25}},
        {-2.0, 0.5, 6, {1.0, -2.0, 4.0, -8.0, 16.0, -32.0, 0.5}},
        // Powers by repeated multiplication, not pow(): x^4 and x^5 differ.
        {0.1, 2.0, 6, {1.0, 0.1, 0.010000000000000002, 0.0010000000000000002, 0.00010000000000000003,
                       1.0000000000000004e-05, 2.0}},
    };
    for (const auto& c : cases) {
        double row[11];
        std::fill(std::begin(row), std::end(row), 777.0);
        setov(c.x, c.y, c.m, row);
        for (std::int32_t k = 0; k <= c.m; ++k) EXPECT_EQ(row[k], c.expected[k]) << "m " << c.m << " k " << k;
        EXPECT_EQ(row[c.m + 1], 777.0) << "wrote beyond row(m+1)";
    }
}

TEST(Accumulate, ThreeParametersFillTenEntries) {
    NormalSums sums;
    accumulate(sums, 1.0, 0.5, 3);
    accumulate(sums, 0.25, -2.0, 3);
    // S(1,1) count; S(2,1) x; S(2,2) x2; S(3,1) x2; S(3,2) x3; S(3,3) x4;
    // S(4,1) y; S(4,2) xy; S(4,3) x2y; S(4,4) y2.
    const double expected[10] = {2.0,    0.5 - 2.0,       0.25 + 4.0,         0.25 + 4.0,  0.125 - 8.0,
                                 0.0625 + 16.0, 1.0 + 0.25, 0.5 - 0.5, 0.25 + 1.0, 1.0 + 0.0625};
    for (int n = 0; n < 10; ++n) EXPECT_EQ(sums.s[n], expected[n]) << "entry " << n + 1;
    for (int n = 10; n < NormalSums::kCapacity; ++n) EXPECT_EQ(sums.s[n], 0.0) << "entry " << n + 1;
    EXPECT_EQ(sums.nreg, 2);
}

TEST(Accumulate, HeightBandIsOpen) {
    struct Case {
        double h;
        bool used;
    };
    const Case cases[] = {{2.999, true}, {-2.999, true}, {0.0, true},           {3.0, false},
                          {-3.0, false}, {1e300, false}, {std::nan(""), false}, {-INFINITY, false}};
    for (const auto& c : cases) {
        NormalSums sums;
        accumulate(sums, c.h, 0.2, 2);
        EXPECT_EQ(sums.nreg, c.used ? 1 : 0) << "h " << c.h;
        EXPECT_EQ(sums.s[0], c.used ? 1.0 : 0.0) << "h " << c.h;
        if (!c.used) {
            for (double v : sums.s) EXPECT_EQ(v, 0.0) << "h " << c.h;
        }
    }
}

}  // namespace
}  // namespace morva::regression
