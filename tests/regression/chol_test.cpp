#include "regression/chol.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <utility>
#include <vector>

#include "regression/normal_sums.hpp"

namespace morva::regression {
namespace {

using Points = std::vector<std::pair<double, double>>;  // (xscan, h)

NormalSums sums_of(const Points& points, std::int32_t m) {
    NormalSums sums;
    for (const auto& [x, y] : points) accumulate(sums, y, x, m);
    return sums;
}

struct SolveCase {
    const char* name;
    Points points;
    std::int32_t m;
    std::int32_t nsing;
    std::vector<double> solution;
    double tolerance;  // 0: bit for bit
};

TEST(Chol, SolutionsAndSingularPivots) {
    const SolveCase cases[] = {
        {"three points on a line", {{-1, 0.5}, {0, 1.0}, {1, 1.5}}, 2, 0, {1.0, 0.5}, 1e-15},
        // x*x - x*x = 0 exactly: the slope is undetermined and comes out 0.
        {"single point", {{0.37, 1.25}}, 2, 1, {1.25, 0.0}, 0},
        {"no point, two parameters", {}, 2, 2, {0.0, 0.0}, 0},
        {"no point, six parameters", {}, 6, 6, {0, 0, 0, 0, 0, 0}, 0},
        // Three points at 0.1: the second residue rounds to -3.5e-18.
        {"negative residue from rounding", {{0.1, 0.5}, {0.1, 0.5}, {0.1, 0.5}}, 2, 1, {0.5, 0.0}, 1e-9},
        // Two distinct x for a quadratic: the third residue is exactly 0 only
        // when the products are subtracted from zero and the entry added
        // last; the other order leaves 1.1e-16 and a wild curvature.
        {"residue summation order", {{-0.48, 0.5}, {-0.48, 0.5}, {-1.16, 0.25}}, 3, 1,
         {0.5 + 0.48 * 0.25 / 0.68, 0.25 / 0.68, 0.0}, 1e-9},
        {"all points at one x, cubic", {{0.3, 1.0}, {0.3, 1.2}, {0.3, 0.8}, {0.3, 1.0}}, 4, 3,
         {1.0, 0.0, 0.0, 0.0}, 1e-6},
    };
    for (const auto& c : cases) {
        NormalSums sums = sums_of(c.points, c.m);
        std::int32_t nsing = -1;
        chol(sums.s, c.m, nsing);
        EXPECT_EQ(nsing, c.nsing) << c.name;
        const int first = c.m * (c.m + 1) / 2;
        for (std::int32_t k = 0; k < c.m; ++k) {
            if (c.tolerance == 0) {
                EXPECT_EQ(sums.s[first + k], c.solution[k]) << c.name << " c(" << k + 1 << ")";
            } else {
                EXPECT_NEAR(sums.s[first + k], c.solution[k], c.tolerance) << c.name << " c(" << k + 1 << ")";
            }
        }
    }
}

TEST(Chol, NanResidueIsSingular) {
    double a[6] = {std::nan(""), 0.0, 1.0, 0.0, 2.0, 9.0};
    std::int32_t nsing = 0;
    chol(a, 2, nsing);
    EXPECT_EQ(nsing, 1);
    EXPECT_EQ(a[0], 1.0E9);
    EXPECT_EQ(a[4], 2.0);  // second parameter solved normally
}

TEST(Chol, SumOfSquaresUntouchedAndFactorInPlace) {
    NormalSums sums = sums_of({{-1, 0.5}, {0, 1.0}, {1, 1.5}}, 2);
    ASSERT_EQ(sums.s[5], 3.5);
    std::int32_t nsing = 0;
    chol(sums.s, 2, nsing);
    EXPECT_EQ(sums.s[0], std::sqrt(3.0));
    EXPECT_EQ(sums.s[1], 0.0);
    EXPECT_EQ(sums.s[2], std::sqrt(2.0));
    EXPECT_NEAR(sums.s[3], 1.0, 1e-15);
    EXPECT_NEAR(sums.s[4], 0.5, 1e-15);
    EXPECT_EQ(sums.s[5], 3.5);
    for (int n = 6; n < NormalSums::kCapacity; ++n) EXPECT_EQ(sums.s[n], 0.0);
}

// A known across-scan polynomial sampled on a scan of 200 measurements comes
// back from the normal equations.
TEST(Chol, RecoversKnownPolynomial) {
    const double c[6] = {0.2, -0.05, 0.3, -0.1, 0.04, 0.02};
    for (std::int32_t m = 2; m <= 6; ++m) {
        NormalSums sums;
        for (int i = 1; i <= 200; ++i) {
            const double x = (i - 0.5f * 200) * static_cast<double>(0.01f);
            double y = 0.0, p = 1.0;
            for (std::int32_t k = 0; k < m; ++k, p *= x) y += c[k] * p;
            accumulate(sums, y, x, m);
        }
        ASSERT_EQ(sums.nreg, 200);
        std::int32_t nsing = -1;
        chol(sums.s, m, nsing);
        EXPECT_EQ(nsing, 0) << "m " << m;
        for (std::int32_t k = 0; k < m; ++k) EXPECT_NEAR(sums.s[m * (m + 1) / 2 + k], c[k], 1e-9) << "m " << m << " c(" << k + 1 << ")";
    }
}

}  // namespace
}  // namespace morva::regression
