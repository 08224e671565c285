#include "regression/report.hpp"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "text/out_stream.hpp"

namespace morva::regression {
namespace {

using Points = std::vector<std::pair<double, double>>;  // (xscan, h)

std::string report_of(const Points& points, std::int32_t m) {
    NormalSums sums;
    for (const auto& [x, y] : points) accumulate(sums, y, x, m);
    text::flush(text::console());
    testing::internal::CaptureStdout();
    report_regression(sums, m);
    text::flush(text::console());
    return testing::internal::GetCapturedStdout();
}

const char* const kHead = " Regression of surface relative to geoid:\n";

struct ReportCase {
    const char* name;
    Points points;
    std::int32_t m;
    std::string expected;  // after the heading line
};

TEST(ReportRegression, LinesByteForByte) {
    const ReportCase cases[] = {
        {"three-point fit",
         {{-1, 0.5}, {0, 1.0}, {1, 1.5}},
         2,
         " no of points used in regression:            3 , parameters:            2 \n"
         " bias:   1.00 m, slope (roll0): -0.29 degrees\n"
         " polynomial coefficients :   0.0000   0.0000   0.0000   0.0000\n"},
        {"single point",
         {{0.37, 1.25}},
         2,
         " no of points used in regression:            1 , parameters:            2 \n"
         " *** warning: detrending  1 singularities\n"
         " bias:   1.25 m, slope (roll0):  0.00 degrees\n"
         " polynomial coefficients :   0.0000   0.0000   0.0000   0.0000\n"},
        // Every pivot singular; the slope is a negative zero and prints bare.
        {"no point",
         {},
         6,
         " no of points used in regression:            0 , parameters:            6 \n"
         " *** warning: detrending  6 singularities\n"
         " bias:   0.00 m, slope (roll0):  0.00 degrees\n"
         " polynomial coefficients :   0.0000   0.0000   0.0000   0.0000\n"},
        // Points outside the band are not counted; c(4)..c(6) stay 0 for m = 3.
        {"quadratic, heights outside the band left out",
         {{-1, 2.25}, {0, 1.0}, {1, 0.25}, {2, 0.0}, {0.5, 3.0}, {-0.5, -7.0}},
         3,
         " no of points used in regression:            4 , parameters:            3 \n"
         " bias:   1.00 m, slope (roll0):  0.57 degrees\n"
         " polynomial coefficients :   0.2500   0.0000   0.0000   0.0000\n"},
    };
    for (const auto& c : cases) EXPECT_EQ(report_of(c.points, c.m), kHead + c.expected) << c.name;
}

}  // namespace
}  // namespace morva::regression
