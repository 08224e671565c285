// The cache of sines and cosines changes no result: ground points located
// with it equal those located without it, bit for bit, whether the angles
// repeat (beams of successive scans, a steady attitude), collide in the
// cache or never come back.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <random>

#include "georef/georeference.hpp"

namespace morva::georef {
namespace {

bool same_bits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

void expect_same_point(const GroundPoint& a, const GroundPoint& b) {
    EXPECT_TRUE(same_bits(a.lat, b.lat)) << a.lat << " " << b.lat;
    EXPECT_TRUE(same_bits(a.lon, b.lon)) << a.lon << " " << b.lon;
    EXPECT_TRUE(same_bits(a.h, b.h)) << a.h << " " << b.h;
    for (int k = 0; k < 3; ++k) {
        EXPECT_TRUE(same_bits(a.body[k], b.body[k]));
        EXPECT_TRUE(same_bits(a.body_uncal[k], b.body_uncal[k]));
    }
}

struct Survey {
    run::RunControl rc;
    run::GeoidGrid geoid;
    scanner::scanner_header header;
    Survey() {
        rc.offx = 0.4, rc.offy = -0.2, rc.offz = 1.1;
        rc.angle_sign = 1.0;
        geoid.glat1 = 50, geoid.glon1 = 3, geoid.dlat = 0.5, geoid.dlon = 0.5;
        geoid.nlat = geoid.nlon = 10;
        geoid.node.reset(new float[101]);
        for (int k = 0; k <= 100; ++k) geoid.node[k] = 40.0f + static_cast<float>(k % 13);
        header.c[2] = 1.0f;
        header.e[0][0] = header.e[1][1] = 1.0f;
        header.e[2][0] = header.e[3][1] = -1.0f;
        header.eps[0] = header.eps[1] = header.eps[2] = header.eps[3] = 0.05f;
    }
};

TEST(TrigCache, LocatesExactlyAsWithoutIt) {
    Survey s;
    auto cache = std::make_unique<TrigCache>();
    std::mt19937_64 rng(3);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    // A few hundred beam angles that come back scan after scan, attitudes
    // that are either steady or move with every measurement, and now and
    // then an angle never seen before; full, calibrated and simplified.
    double beams[300];
    for (double& b : beams) b = 60.0 + 80.0 * unit(rng);
    for (int mode = 0; mode < 3; ++mode) {
        s.rc.full_georef = mode != 2;
        s.rc.use_cal = mode == 1;
        const Model model{&s.rc, &s.geoid, &s.header};
        for (int k = 0; k < 30000; ++k) {
            const bool steady = (k / 1000) % 2 == 0;
            Pose pose{52.0 + unit(rng), 4.0 + unit(rng), 300.0 + unit(rng), steady ? 1.5 : 3.0 * unit(rng) - 1.5,
                      steady ? -0.25 : 4.0 * unit(rng) - 2.0, steady ? 30.0 : 360.0 * unit(rng) - 180.0, 216.0};
            const double angle = k % 97 == 0 ? 400.0 * unit(rng) : beams[k % 300];
            const double r = 1.5 + 500.0 * unit(rng);
            GroundPoint with, without;
            locate(model, pose, 10.5, r, angle, k / 300 + 1, with, cache.get());
            locate(model, pose, 10.5, r, angle, k / 300 + 1, without);
            expect_same_point(with, without);
            if (::testing::Test::HasFailure()) return;
        }
    }
}

TEST(TrigCache, ArgumentsThatDifferOnlyInSignOrBits) {
    // Entries are keyed on the exact bits: 0 and -0, neighbours one unit in
    // the last place apart, not-a-number and infinities each get their own.
    auto cache = std::make_unique<TrigCache>();
    const double args[] = {0.0,
                           -0.0,
                           std::nextafter(0.0, 1.0),
                           1.0,
                           std::nextafter(1.0, 2.0),
                           std::nextafter(1.0, 0.0),
                           -1.0,
                           std::numeric_limits<double>::quiet_NaN(),
                           std::numeric_limits<double>::infinity(),
                           1e300};
    for (int round = 0; round < 3; ++round) {
        for (double x : args) {
            const SinCos cached = beam_sin_cos(*cache, x);
            const SinCos direct = sin_cos(x);
            EXPECT_TRUE(same_bits(cached.s, direct.s)) << x;
            EXPECT_TRUE(same_bits(cached.c, direct.c)) << x;
            const SinCos last = cached_sin_cos(cache->pitch, x);
            EXPECT_TRUE(same_bits(last.s, direct.s)) << x;
            EXPECT_TRUE(same_bits(last.c, direct.c)) << x;
        }
    }
}

}  // namespace
}  // namespace morva::georef
