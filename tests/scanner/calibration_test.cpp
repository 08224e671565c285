// The scanner's calibrated geometry and its 3x3 matrix helpers.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <initializer_list>

#include "../text/text_test_support.hpp"
#include "numeric/numeric.hpp"
#include "scanner/calibration.hpp"
#include "text/free_output.hpp"
#include "text/out_stream.hpp"
#include "text/stop.hpp"

namespace morva::scanner {
namespace {

using text::testing::run_in_child;

// Calibration values, ideal unless a test changes them.
struct Cal {
    float a[3] = {0, 0, 0};
    float b[3] = {0, 0, 0};
    float c[3] = {0, 1, 0};
    float d[3] = {0, 0, 0};
    float e[4][3] = {{1, 0, 0}, {0, 0, 1}, {-1, 0, 0}, {0, 0, -1}};
    float eps[4] = {0, 0, 0, 0};
};

struct Point {
    double x, y, z;
};

Point cal(const Cal& k, double r, double theta, std::int32_t scanno) {
    Point p{};
    riegl_cal(r, theta, scanno, p.x, p.y, p.z, k.a, k.b, k.c, k.d, k.e, k.eps);
    return p;
}

scanner_header header_of(const Cal& k) {
    scanner_header h;
    h.angle_unit = 0.01;
    std::memcpy(h.a, k.a, sizeof h.a);
    std::memcpy(h.b, k.b, sizeof h.b);
    std::memcpy(h.c, k.c, sizeof h.c);
    std::memcpy(h.d, k.d, sizeof h.d);
    std::memcpy(h.e, k.e, sizeof h.e);
    std::memcpy(h.eps, k.eps, sizeof h.eps);
    return h;
}

// The same doubles, bit for bit (NaNs and the sign of zero included).
bool same_bits(double u, double v) { return std::memcmp(&u, &v, sizeof u) == 0; }

// Through the cache, with riegl_cal's results bit for bit.
void expect_as_riegl_cal(CalibrationCache& cache, const scanner_header& h, double r, double theta,
                         std::int32_t scanno) {
    Point want{}, got{};
    riegl_cal(r, theta, scanno, want.x, want.y, want.z, h.a, h.b, h.c, h.d, h.e, h.eps);
    calibrated_point(cache, h, r, theta, scanno, got.x, got.y, got.z);
    EXPECT_TRUE(same_bits(got.x, want.x) && same_bits(got.y, want.y) && same_bits(got.z, want.z))
        << "r " << r << " theta " << theta << " scanno " << scanno;
}

// Row-major literal to the stored-by-columns form.
void by_columns(const double (&rows)[3][3], double* m) {
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) m[i + 3 * j] = rows[i][j];
}

TEST(MatrixHelpers, ProductsAndIdentity) {
    double a[9], b[9], id[9], c[9], expect[9];
    by_columns({{1, 2, 3}, {4, 5, 6}, {7, 8, 10}}, a);
    by_columns({{-1, 0.5, 2}, {3, 1, -2}, {0, 4, 1}}, b);
    by_columns({{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}, id);

    matrix_mult(a, b, c);
    by_columns({{5, 14.5, 1}, {11, 31, 4}, {17, 51.5, 8}}, expect);
    for (int i = 0; i < 9; ++i) EXPECT_EQ(c[i], expect[i]) << i;

    matrix_mult_tr(a, b, c);  // A B^T
    by_columns({{6, -1, 11}, {10.5, 5, 26}, {17, 9, 42}}, expect);
    for (int i = 0; i < 9; ++i) EXPECT_EQ(c[i], expect[i]) << i;

    matrix_mult_tr(a, id, c);
    for (int i = 0; i < 9; ++i) EXPECT_EQ(c[i], a[i]) << i;
    matrix_mult_tr(id, b, c);  // B transposed
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) EXPECT_EQ(c[i + 3 * j], b[j + 3 * i]);

    const double x[3] = {1, -1, 2};
    double y[3];
    matrix_vect(a, x, y);
    EXPECT_EQ(y[0], 5);
    EXPECT_EQ(y[1], 11);
    EXPECT_EQ(y[2], 19);
}

TEST(RieglCal, IdealCalibrationGivesThePlainLaserVector) {
    // Axis (0, 1, 0), unit facet vectors and no offsets: every facet gives
    // x = r sin(theta), y = 0, z = r cos(theta), exactly.
    const Cal ideal;
    for (double theta : {0.0, 0.3, -0.3, 1.5707963268, -2.0, 3.1}) {
        for (double r : {1.5, 87.25, 2999.999}) {
            for (std::int32_t scanno = 1; scanno <= 8; ++scanno) {
                const Point p = cal(ideal, r, theta, scanno);
                EXPECT_EQ(p.x, r * std::sin(theta));
                EXPECT_EQ(p.y, 0.0);
                EXPECT_EQ(p.z, r * std::cos(theta));
            }
        }
    }
}

TEST(RieglCal, FacetMatrixIsTheRotationForAnyUnitFacet) {
    // Q = (R M) M^T equals R for a facet of unit length, whatever its
    // direction; the turned reflection R M R^T would not.
    Cal k;
    const float facets[4][3] = {{0.6f, 0, 0.8f}, {0, 0.8f, -0.6f}, {0.48f, 0.6f, 0.64f}, {-0.8f, 0.6f, 0}};
    for (int f = 0; f < 4; ++f)
        for (int i = 0; i < 3; ++i) k.e[f][i] = facets[f][i];
    for (std::int32_t scanno = 1; scanno <= 4; ++scanno) {
        const Point p = cal(k, 100.0, 0.4, scanno);
        EXPECT_NEAR(p.x, 100.0 * std::sin(0.4), 2e-5);
        EXPECT_NEAR(p.y, 0.0, 2e-5);
        EXPECT_NEAR(p.z, 100.0 * std::cos(0.4), 2e-5);
    }
}

TEST(RieglCal, RotationAboutTheThirdAxis) {
    // Zero facet vectors leave M = I, so the point is R w + d with w = a + (0, 0, r).
    Cal k;
    for (auto& facet : k.e) facet[0] = facet[1] = facet[2] = 0;
    k.c[0] = 0;
    k.c[1] = 0;
    k.c[2] = 1;
    k.a[0] = 1;
    k.a[1] = 2;
    k.a[2] = 0.5f;
    k.d[0] = 0.25f;
    const double theta = 0.7, r = 10.0;
    const double s = std::sin(theta), co = std::cos(theta);
    const Point p = cal(k, r, theta, 1);
    EXPECT_EQ(p.x, co * 1 + -s * 2 + 0.0 * 10.5 + 0.25);
    EXPECT_EQ(p.y, s * 1 + co * 2 + 0.0 * 10.5);
    EXPECT_EQ(p.z, 10.5);
}

TEST(RieglCal, FacetSelectionByScanNumber) {
    // At theta = 0 with axis facets the point is w + 2 eps(k) e(k) + d,
    // which shows the facet used.
    Cal k;
    const float facets[4][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {-1, 0, 0}};
    for (int f = 0; f < 4; ++f)
        for (int i = 0; i < 3; ++i) k.e[f][i] = facets[f][i];
    const float eps[4] = {0.5f, 1.5f, 2.5f, 3.5f};
    for (int f = 0; f < 4; ++f) k.eps[f] = eps[f];
    struct Case {
        std::int32_t scanno;
        int facet;
    };
    for (const Case c : {Case{1, 1}, Case{2, 2}, Case{3, 3}, Case{4, 4}, Case{5, 1}, Case{8, 4}, Case{65539, 3},
                         Case{2147483647, 3}, Case{0, 4}, Case{-1, 3}}) {
        SCOPED_TRACE(c.scanno);
        const Point p = cal(k, 20.0, 0.0, c.scanno);
        const int f = c.facet - 1;
        EXPECT_EQ(p.x, 2.0 * eps[f] * facets[f][0]);
        EXPECT_EQ(p.y, 2.0 * eps[f] * facets[f][1]);
        EXPECT_EQ(p.z, 20.0 + 2.0 * eps[f] * facets[f][2]);
    }
}

TEST(RieglCal, BeamAnglesInSinglePrecisionDividedByRange) {
    Cal k;
    k.b[0] = 0.003f;
    k.b[1] = 0.002f;
    k.b[2] = 0.9f;  // not used
    const double r = 50.0;
    const double alpha = numeric::asin_single(0.002f);
    const float root = static_cast<float>(std::sqrt(1.0 - static_cast<double>(0.002f) * 0.002f));
    const double beta = numeric::asin_single(static_cast<float>(static_cast<double>(0.003f) / root));
    const Point p = cal(k, r, 0.0, 1);
    EXPECT_EQ(p.x, r * (std::cos(alpha / r) * std::sin(beta / r)));
    EXPECT_EQ(p.y, r * -std::sin(alpha / r));
    EXPECT_EQ(p.z, r * (std::cos(alpha / r) * std::cos(beta / r)));
}

TEST(RieglCal, StopsOnRangeNotAboveZero) {
    for (bool cached : {false, true}) {
        for (double r : {0.0, -1.0}) {
            auto out = run_in_child([&] {
                if (cached) {
                    CalibrationCache cache;
                    double x, y, z;
                    calibrated_point(cache, header_of(Cal{}), r, 0.1, 1, x, y, z);
                } else {
                    cal(Cal{}, r, 0.1, 1);
                }
                text::testing::end_run();
            });
            EXPECT_EQ(out.status, 1);
            EXPECT_EQ(out.output, "*** r le zero in riegl_cal ***\n");
        }
    }
}

TEST(RieglCal, BeamOutsideTheArcsineDomainGoesOnWithNaN) {
    auto out = run_in_child([] {
        Cal k;
        k.b[1] = 1.5f;
        const Point p = cal(k, 10.0, 0.1, 1);
        if (std::isnan(p.y)) text::testing::end_run();
        text::stop_run();
    });
    EXPECT_EQ(out.status, 0);
    EXPECT_EQ(out.output, " *** warning - arcsine argument out of range\n");
}

// An instrument close to the ideal one, as surveys carry, and one far from it:
// axis and facet vectors not of unit length, large beam angles and offsets.
Cal instrument() {
    Cal k;
    const float a[3] = {-0.0081f, 0.0057f, 0.0113f}, b[3] = {-0.00061f, 0.00035f, 0.001f};
    const float c[3] = {-0.0009f, 0.9999991f, 0.0012f}, d[3] = {-0.034f, 0.047f, 0.018f};
    const float e[4][3] = {{0.9999993f, -0.0011f, 0.0003f},
                           {0.0007f, -0.0004f, 0.9999994f},
                           {-0.9999992f, 0.0006f, -0.0012f},
                           {-0.0003f, 0.0010f, -0.9999993f}};
    const float eps[4] = {0.0497f, 0.0503f, 0.0495f, 0.0501f};
    std::memcpy(k.a, a, sizeof a), std::memcpy(k.b, b, sizeof b), std::memcpy(k.c, c, sizeof c);
    std::memcpy(k.d, d, sizeof d), std::memcpy(k.e, e, sizeof e), std::memcpy(k.eps, eps, sizeof eps);
    return k;
}

Cal skewed() {
    Cal k = instrument();
    const float b[3] = {0.31f, -0.47f, 2.0f}, c[3] = {0.2f, 1.3f, -0.4f};
    const float e[4][3] = {{1.2f, 0.1f, 0.3f}, {-0.2f, 0.5f, 0.7f}, {-0.9f, -0.3f, 0}, {0, 0, 0}};
    const float eps[4] = {-0.5f, 0.25f, 3.0f, 1e-3f};
    std::memcpy(k.b, b, sizeof b), std::memcpy(k.c, c, sizeof c), std::memcpy(k.e, e, sizeof e);
    std::memcpy(k.eps, eps, sizeof eps);
    k.a[1] = -2.5f;
    k.d[2] = 7.0f;
    return k;
}

TEST(CalibrationCache, SameAsRieglCalBitForBit) {
    // Scans of whole encoder steps (0.02 gon of scan angle at 0.01 gon per
    // step) over 60 degrees, both angle signs, the facets in turn as a survey
    // meets them: every mirror position is made once, then found again.
    for (const Cal& k : {Cal{}, instrument(), skewed()}) {
        const scanner_header h = header_of(k);
        CalibrationCache cache;
        for (std::int32_t scanno = 1; scanno <= 9; ++scanno) {
            for (int step = -1700; step <= 1700; step += 37) {
                const double theta = (scanno % 3 == 0 ? -1 : 1) * (0.02 * (step + 5000)) * 0.015707963268;
                for (double r : {1.5, 335.25 + step * 0.01, 2999.999}) expect_as_riegl_cal(cache, h, r, theta, scanno);
            }
        }
        // Angles that are no encoder step, and ones without a step at all.
        for (double theta : {0.0, -0.0, 1e-300, 0.123456789, -3.0, 1e300, -HUGE_VAL, std::nan("")}) {
            for (std::int32_t scanno : {1, 2, 7, 65540, 0, -3}) expect_as_riegl_cal(cache, h, 87.5, theta, scanno);
        }
    }
}

TEST(CalibrationCache, AnglesSharingASlot) {
    // 4096 encoder steps apart the two angles take the same slot; with no
    // angle unit every angle does. Each is made again, not taken for the other.
    scanner_header h = header_of(instrument());
    const double step = 0.02 * 0.015707963268;
    for (double angle_unit : {0.01, 0.0, -1.0, std::nan("")}) {
        h.angle_unit = angle_unit;
        CalibrationCache cache;
        for (int pass = 0; pass < 3; ++pass) {
            for (double theta : {900 * step, (900 + 4096) * step, -900 * step, 0.7, 0.3}) {
                expect_as_riegl_cal(cache, h, 120.0, theta, 5);
            }
        }
    }
}

TEST(CalibrationCache, NoticesEveryChangeOfTheHeader) {
    // A header read again into the same place with other calibration values
    // (a new run): each value counts at once.
    scanner_header h = header_of(instrument());
    CalibrationCache cache;
    const double theta = 0.41;
    float* values[] = {&h.a[0], &h.b[0], &h.b[1], &h.c[0], &h.c[2], &h.d[1], &h.e[0][0], &h.e[1][1], &h.e[3][2],
                       &h.eps[0], &h.eps[1], &h.eps[3]};
    for (float* v : values) {
        for (std::int32_t scanno = 1; scanno <= 4; ++scanno) expect_as_riegl_cal(cache, h, 250.0, theta, scanno);
        *v = *v * 1.5f + 0.001f;
        for (std::int32_t scanno = 1; scanno <= 4; ++scanno) expect_as_riegl_cal(cache, h, 250.0, theta, scanno);
    }
    h.c[1] = -0.0f;  // the sign of zero is a change too
    expect_as_riegl_cal(cache, h, 250.0, theta, 1);
    h.c[1] = 0.0f;
    expect_as_riegl_cal(cache, h, 250.0, theta, 1);
}

// The cache's beam angles are taken without the warning (the scan loop
// prints it at its place in the run); the header tells when it is due.
TEST(CalibrationCache, ArcsineDomainTakenQuietlyAndToldByTheHeader) {
    auto out = run_in_child([] {
        for (float b0 : {0.0f, 1.5f}) {
            for (float b1 : {0.0f, 1.5f}) {
                Cal k;
                k.b[0] = b0;
                k.b[1] = b1;
                const scanner_header h = header_of(k);
                if (beam_outside_arcsine(h) != (b0 > 1 || b1 > 1)) text::stop_run("domain");
                CalibrationCache cache;
                double x, y, z;
                for (int n = 0; n < 3; ++n) calibrated_point(cache, h, 10.0, 0.1 * n, n + 1, x, y, z);
                if (std::isnan(y) != beam_outside_arcsine(h)) text::stop_run("value");
            }
        }
        text::testing::end_run();
    });
    EXPECT_EQ(out.status, 0);
    EXPECT_EQ(out.output, "");
}

}  // namespace
}  // namespace morva::scanner
