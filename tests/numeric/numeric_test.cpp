#include "numeric/numeric.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

#include "text/stop.hpp"
#include "../text/text_test_support.hpp"

namespace morva::numeric {
namespace {

using text::testing::run_in_child;

const double kInf = std::numeric_limits<double>::infinity();

TEST(RoundHalfAway, Table) {
    struct Case {
        double x, expected;
    };
    const Case cases[] = {
        {2.4999999999999996, 2.0},
        {2.5, 3.0},
        {-2.5, -3.0},
        {0.5, 1.0},
        {-0.5, -1.0},
        {1.5, 2.0},
        {-1.5, -2.0},
        {0.49999999999999994, 0.0},  // adding a half would round this up
        {-0.49999999999999994, -0.0},
        {0.4, 0.0},
        {-0.4, -0.0},
        {2.6, 3.0},
        {-2.6, -3.0},
        {3.0, 3.0},
        {-3.0, -3.0},
        {1e17, 1e17},
        {-1e17, -1e17},
        {4503599627370495.5, 4503599627370496.0},
        {-4503599627370495.5, -4503599627370496.0},
        {4503599627370496.0, 4503599627370496.0},
        {4503599627370497.0, 4503599627370497.0},
        {2251799813685247.5, 2251799813685248.0},
        {4.9e-324, 0.0},
        {kInf, kInf},
        {-kInf, -kInf},
    };
    for (const auto& c : cases) {
        double r = round_half_away(c.x);
        EXPECT_EQ(r, c.expected) << std::hexfloat << c.x;
        EXPECT_EQ(std::signbit(r), std::signbit(c.expected)) << "sign of the result for " << c.x;
    }
    EXPECT_TRUE(std::isnan(round_half_away(std::nan(""))));
    EXPECT_EQ(round_half_away(0.0), 0.0);
    EXPECT_TRUE(std::signbit(round_half_away(-0.0)));
}

TEST(RoundHalfAway, AgreesWithTheLibraryRound) {
    // std::round also rounds halves away from zero; it is the reference.
    std::mt19937_64 rng(5);
    for (int i = 0; i < 200000; ++i) {
        double x = std::ldexp(std::uniform_real_distribution<double>(-1, 1)(rng),
                              static_cast<int>(rng() % 60) - 5);
        ASSERT_EQ(round_half_away(x), std::round(x)) << std::hexfloat << x;
        double half = std::floor(x) + 0.5;
        ASSERT_EQ(round_half_away(half), std::round(half)) << std::hexfloat << half;
    }
}

TEST(AsinSingle, Values) {
    struct Case {
        float x;
        double expected;
    };
    const Case cases[] = {
        {0.0f, 0.0},
        {0.5f, 0.5235987755982989},
        {-0.5f, -0.5235987755982989},
        {1.0f, 1.5707963267948966},
        {-1.0f, -1.5707963267948966},
        {0.99999988f, 1.570308045540046},  // asin(0.99999988079071045)
        {1e-30f, 1e-30},
        {0.70710677f, 0.7853981256},
    };
    for (const auto& c : cases) {
        float r = asin_single(c.x);
        // Single-precision accuracy: a relative error near 1e-7.
        EXPECT_NEAR(r, c.expected, 1.2e-7 * std::fabs(c.expected) + 1e-45) << c.x;
    }
    EXPECT_EQ(asin_single(0.5f), 0.5235988f);
    EXPECT_NEAR(asin_single(-1.0f), -1.5707963272, 1.6e-7);
    EXPECT_TRUE(std::signbit(asin_single(-0.0f)));
    EXPECT_TRUE(std::isnan(asin_single(std::nanf(""))));
}

TEST(AsinSingle, AccurateOverTheDomain) {
    std::mt19937 rng(9);
    for (int i = 0; i < 100000; ++i) {
        float x = std::uniform_real_distribution<float>(-1.0f, 1.0f)(rng);
        double exact = std::asin(static_cast<double>(x));
        ASSERT_NEAR(asin_single(x), exact, 6e-8 * std::fabs(exact) + 1e-45) << x;
    }
}

TEST(AsinSingle, DomainErrorWarnsOnceAndGivesNaN) {
    // Run in a child: the warning is once per run (per process).
    auto r = run_in_child([] {
        const float outside[] = {1.0000001f, -1.0000001f, 2.0f, std::numeric_limits<float>::infinity(),
                                 -std::numeric_limits<float>::infinity()};
        for (float x : outside) {
            float v = asin_single(x);
            if (!std::isnan(v)) text::stop_run("not a NaN");
        }
        if (!std::isnan(asin_single(std::nanf("")))) text::stop_run("not a NaN");
        if (asin_single(0.5f) != 0.5235988f) text::stop_run("wrong value after the warning");
        text::testing::end_run();
    });
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.output, " *** warning - arcsine argument out of range\n");
}

TEST(AsinSingle, NaNArgumentGivesNoWarning) {
    auto r = run_in_child([] {
        asin_single(std::nanf(""));
        asin_single(1.0f);
        asin_single(-1.0f);
        text::testing::end_run();
    });
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.output, "");
}

}  // namespace
}  // namespace morva::numeric
