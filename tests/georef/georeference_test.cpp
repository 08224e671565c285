#include "georef/georeference.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "georef/scan_processing.hpp"

namespace morva::georef {
namespace {

struct Rec {
    double thr, lat, lon, h, pitch, roll, heading;
    float vel;
};

inputs::TrajectoryTable table_of(const std::vector<Rec>& recs) {
    inputs::TrajectoryTable t;
    t.slot.reset(new inputs::TrajectoryRecord[recs.size() + 2]);
    for (std::size_t k = 0; k < recs.size(); ++k) {
        const Rec& r = recs[k];
        t.slot[k + 1] = {r.thr, r.lat, r.lon, r.h, r.pitch, r.roll, r.heading, r.vel};
    }
    t.ntraj = static_cast<std::int32_t>(recs.size());
    return t;
}

TEST(TrajectoryCursor, IntervalAndClampedFactor) {
    const inputs::TrajectoryTable t = table_of({{1, 0, 0, 0, 0, 0, 0, 0}, {2, 0, 0, 0, 0, 0, 0, 0}, {3, 0, 0, 0, 0, 0, 0, 0}});
    struct Case {
        double thr;
        std::int32_t j;
        double f;
    } cases[] = {
        {0.5, 1, 0.0},   // before the first record: its values
        {1.0, 1, 0.0},
        {1.25, 1, 0.25},
        {2.0, 1, 1.0},   // equal to a record: the interval that ends there
        {2.5, 2, 0.5},
        {3.0, 2, 1.0},
        {9.0, 2, 1.0},   // after the last record: its values
    };
    for (const auto& c : cases) {
        std::int32_t jtraj = 1;
        Interval at = advance(t, jtraj, c.thr);
        EXPECT_EQ(at.j, c.j) << c.thr;
        EXPECT_EQ(jtraj, c.j) << c.thr;
        EXPECT_DOUBLE_EQ(at.f, c.f) << c.thr;
    }
}

TEST(TrajectoryCursor, NeverMovesBackAndZeroIntervalTakesTheLaterRecord) {
    const inputs::TrajectoryTable t = table_of({{1, 0, 0, 0, 0, 0, 0, 0}, {2, 0, 0, 0, 0, 0, 0, 0}, {3, 0, 0, 0, 0, 0, 0, 0}});
    std::int32_t jtraj = 1;
    advance(t, jtraj, 2.5);
    Interval back = advance(t, jtraj, 1.5);  // times running backwards
    EXPECT_EQ(back.j, 2);
    EXPECT_EQ(back.f, 0.0);

    const inputs::TrajectoryTable same = table_of({{1, 10, 0, 0, 0, 0, 0, 0}, {1, 20, 0, 0, 0, 0, 0, 0}});
    jtraj = 1;
    Interval at = advance(same, jtraj, 0.5);
    EXPECT_EQ(at.f, 1.0);
    Pose pose{};
    interpolate_position(same, at, pose);
    EXPECT_EQ(pose.lat, 20.0);
}

TEST(Attitude, HeadingAcrossTheSeam) {
    inputs::RunControl rc;
    rc.dheading = 0.5;
    struct Case {
        double h1, h2, f, expected;
    } cases[] = {
        {179, -179, 0.5, 180.5}, {-179, 179, 0.5, 180.5}, {170, -100, 0.0, 170.5},
        {90, -90, 0.5, 0.5},     {10, 20, 0.25, 13.0},
    };
    for (const auto& c : cases) {
        const inputs::TrajectoryTable t = table_of({{1, 0, 0, 0, 0, 0, c.h1, 0}, {2, 0, 0, 0, 0, 0, c.h2, 0}});
        Pose pose{};
        interpolate_attitude(t, {1, c.f}, rc, pose);
        EXPECT_DOUBLE_EQ(pose.heading, c.expected) << c.h1 << " " << c.h2;
    }
}

struct Geometry {
    inputs::RunControl rc;
    Model model{&rc, nullptr, nullptr};
    Geometry() { rc.full_georef = true; }
    GroundPoint at(const Pose& pose, double r, double gon) {
        GroundPoint p{};
        locate(model, pose, 12.0, r, gon, 1, p);
        return p;
    }
};

TEST(FullGeoreferencing, LevelAttitudeCases) {
    Geometry g;
    const Pose level{52.0, 4.0, 300.0, 0, 0, 0, 200};
    // Straight down: the point lies under the aircraft.
    GroundPoint p = g.at(level, 250.0, 100.0);
    EXPECT_NEAR(p.lat, 52.0, 1e-12);
    EXPECT_NEAR(p.lon, 4.0, 1e-12);
    EXPECT_NEAR(p.h, 50.0, 1e-9);
    EXPECT_NEAR(p.alpha, 0.0, 1e-12);

    // A positive nadir angle points the beam to the left: west with heading 0.
    p = g.at(level, 250.0, 110.0);
    EXPECT_GT(p.alpha, 0.0);
    EXPECT_LT(p.lon, 4.0);
    EXPECT_NEAR(p.lat, 52.0, 1e-12);

    // Heading 90 and a forward lever arm of 5 m: 5 m east.
    g.rc.offx = 5.0;
    Pose east = level;
    east.heading = 90.0;
    p = g.at(east, 250.0, 100.0);
    EXPECT_NEAR(p.lat, 52.0, 1e-9);
    EXPECT_NEAR(p.lon, 4.0 + 5.0 / (111120.0 * std::cos(52.0 * kDegToRad)), 1e-12);
    EXPECT_NEAR(p.h, 50.0, 1e-9);
}

TEST(FullGeoreferencing, ReversedScanAngleNeverReachesTheNadir) {
    Geometry g;
    g.rc.iout_type = 3;
    inputs::derive(g.rc);
    const Pose level{52.0, 4.0, 300.0, 0, 0, 0, 200};
    for (double gon : {0.0, 50.0, 100.0, 150.0, 199.99}) {
        EXPECT_LT(g.at(level, 250.0, gon).alpha, 0.0) << gon;
    }
}

TEST(VerticalMode, TimeAlongTrackAndOffsetAcrossTrack) {
    Geometry g;
    g.rc.full_georef = false;
    g.rc.offz = 1.25;
    const Pose pose{52.0, 4.0, 300.0, 0, 0, 0, 180.0};  // 180 km/h
    GroundPoint p = g.at(pose, 200.0, 100.0);
    EXPECT_NEAR(p.lat, 12.0, 1e-15);     // thr: no pitch
    EXPECT_NEAR(p.lon, 0.0, 1e-12);      // no across-track offset at the nadir
    EXPECT_NEAR(p.h, 300.0 - 200.0 - 1.25, 1e-9);
}

TEST(AcrossScanCorrection, PositionAndPolynomial) {
    EXPECT_EQ(across_scan_position(500, 1000), 0.0);
    EXPECT_EQ(across_scan_position(1, 1000), -499.0 * 0.009999999776482582);
    EXPECT_EQ(across_scan_position(2, 3), 0.5 * 0.009999999776482582);
    const double p[4] = {1.0, 2.0, 3.0, 4.0};
    EXPECT_EQ(height_correction(p, 0.0), 0.0);
    EXPECT_DOUBLE_EQ(height_correction(p, 0.5), 0.25 * (1.0 + 0.5 * (2.0 + 0.5 * (3.0 + 0.5 * 4.0))));
}

TEST(ScanTest, WindowEndAndThinning) {
    inputs::RunControl rc;
    rc.tend = 10.0;
    scanner::ScanStream scan;
    scan.tscan = 10.0;
    scan.nscan = 2;
    EXPECT_EQ(scan_test(scan, rc), ScanDecision::Process);  // exactly at tend
    scan.tscan = std::nextafter(10.0, 11.0);
    EXPECT_EQ(scan_test(scan, rc), ScanDecision::End);
    scan.tscan = 9.0;
    rc.nthin = 3;
    std::vector<std::int32_t> processed;
    for (std::int32_t n = 1; n <= 10; ++n) {
        scan.nscan = n;
        if (scan_test(scan, rc) == ScanDecision::Process) processed.push_back(n);
    }
    EXPECT_EQ(processed, (std::vector<std::int32_t>{1, 4, 7, 10}));
}

}  // namespace
}  // namespace morva::georef
