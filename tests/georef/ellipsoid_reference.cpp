// The exact mode against GeographicLib's LocalCartesian, an independent
// implementation of the same geometry: aircraft positions from the equator
// to the poles and across the antimeridian, vectors from the nadir to 5 km
// oblique, and a seeded sweep over the whole earth. Every point within 1 mm,
// horizontally (geodesic distance) and in height.

#include <GeographicLib/Geodesic.hpp>
#include <GeographicLib/LocalCartesian.hpp>
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <thread>

#include "georef/geodesy.hpp"

namespace morva::georef {
namespace {

constexpr double kLimit = 0.001;  // metres
constexpr double kPi = 3.14159265358979323846;

struct Miss {
    double horizontal, vertical;
};

Miss miss(double lat, double lon, double h, double north, double east, double down) {
    const Geodetic g = offset_on_ellipsoid(lat, lon, h, north, east, down);
    GeographicLib::LocalCartesian frame(lat, lon, h);
    double rlat, rlon, rh;
    frame.Reverse(east, north, -down, rlat, rlon, rh);
    double distance;
    GeographicLib::Geodesic::WGS84().Inverse(g.lat, g.lon, rlat, rlon, distance);
    return {distance, std::fabs(g.h - rh)};
}

// A laser vector `range` metres long, `off_nadir` degrees from the vertical
// towards the azimuth `azimuth` (degrees from north).
struct Vector {
    const char* name;
    double range, off_nadir, azimuth;
};

TEST(ExactModeAgainstGeographicLib, TableOfPositionsAndVectors) {
    const struct {
        const char* name;
        double lat, lon, h;
    } positions[] = {
        {"equator", 0.0, 10.0, 3000.0},       {"45 north", 45.0, -120.0, 3000.0},
        {"72 north", 72.0, -40.0, 3000.0},    {"78 north", 78.0, 15.0, 3000.0},
        {"89.9 north", 89.9, 100.0, 3000.0},  {"89.9 south", -89.9, -60.0, 500.0},
        {"north pole", 90.0, 0.0, 3000.0},    {"south pole", -90.0, 33.0, 3000.0},
        {"antimeridian west", 10.0, 179.99, 3000.0}, {"antimeridian east", -20.0, -179.99, 3000.0},
        {"high and south", -33.9, 151.2, 9000.0},
    };
    const Vector vectors[] = {
        {"nadir", 3000.0, 0.0, 0.0},          {"30 off nadir east", 3464.1, 30.0, 90.0},
        {"30 off nadir west", 3464.1, 30.0, 270.0}, {"60 off nadir north", 6000.0 / 1.2, 60.0, 0.0},
        {"60 off nadir south-west", 4999.0, 60.0, 225.0}, {"5 km oblique", 5000.0, 47.0, 123.0},
        {"5 km level east", 5000.0, 90.0, 90.0},  {"5 km up", 5000.0, 180.0, 0.0},
    };
    for (const auto& p : positions) {
        for (const Vector& v : vectors) {
            const double t = v.off_nadir * kPi / 180.0, a = v.azimuth * kPi / 180.0;
            const double horizontal = v.range * std::sin(t);
            const Miss m = miss(p.lat, p.lon, p.h, horizontal * std::cos(a), horizontal * std::sin(a),
                                v.range * std::cos(t));
            EXPECT_LE(m.horizontal, kLimit) << p.name << ", " << v.name;
            EXPECT_LE(m.vertical, kLimit) << p.name << ", " << v.name;
        }
    }
}

// Both ways back (the short one near the aircraft and the general one near
// the poles and far away) over random positions, heights and vectors.
TEST(ExactModeAgainstGeographicLib, SeededSweep) {
    std::mt19937_64 rng(20261208);
    std::uniform_real_distribution<double> u(0.0, 1.0);
    double worst_h = 0, worst_v = 0;
    for (int k = 0; k < 200000; ++k) {
        double lat = -90.0 + 180.0 * u(rng);
        if (k % 8 == 0) lat = std::copysign(90.0 - 0.2 * u(rng), lat);  // near the poles
        double lon = -180.0 + 360.0 * u(rng);
        if (k % 7 == 0) lon = std::copysign(180.0 - 0.05 * u(rng), lon);  // near the antimeridian
        const double h = -500.0 + 10500.0 * u(rng);
        const double range = 5000.0 * u(rng), t = kPi * u(rng), a = 2.0 * kPi * u(rng);
        const Miss m = miss(lat, lon, h, range * std::sin(t) * std::cos(a), range * std::sin(t) * std::sin(a),
                            range * std::cos(t));
        worst_h = std::fmax(worst_h, m.horizontal);
        worst_v = std::fmax(worst_v, m.vertical);
    }
    EXPECT_LE(worst_h, kLimit);
    EXPECT_LE(worst_v, kLimit);
    // Far below the limit in fact: the series and Bowring's step are exact to micrometres.
    EXPECT_LE(worst_h, 1e-5);
    EXPECT_LE(worst_v, 1e-5);
}

// The latitude terms kept from call to call depend on the latitude alone:
// the same point comes out bit for bit whatever was computed before, the
// equator's terms a thread starts with included.
TEST(ExactModeAgainstGeographicLib, NoMemoryOfEarlierCalls) {
    const double lats[] = {0.0, 0.0004, -0.0004, 52.3, 52.3004, 89.9999, -33.0};
    for (const double lat : lats) {
        Geodetic first{}, again{};
        std::thread([&] { first = offset_on_ellipsoid(lat, 5.0, 400.0, 120.0, -310.0, 290.0); }).join();
        std::thread([&] {
            for (const double other : lats) offset_on_ellipsoid(other, 1.0, 10.0, 1.0, 1.0, 1.0);
            offset_on_ellipsoid(lat + 0.3, 1.0, 10.0, 1.0, 1.0, 1.0);
            again = offset_on_ellipsoid(lat, 5.0, 400.0, 120.0, -310.0, 290.0);
        }).join();
        EXPECT_EQ(first.lat, again.lat) << lat;
        EXPECT_EQ(first.lon, again.lon) << lat;
        EXPECT_EQ(first.h, again.h) << lat;
    }
}

}  // namespace
}  // namespace morva::georef
