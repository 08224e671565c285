#pragma once
// How a laser vector in north-east-down at the aircraft becomes a latitude,
// longitude and height. The flat mode is the system's own: metres to degrees
// with 111120 m per degree and no curvature. The ellipsoid mode places the
// point exactly on WGS 84: the aircraft's geodetic position to earth-centred
// coordinates, the vector turned into the earth-centred frame there and
// added, and the sum back to geodetic coordinates.
//
// Longitude and latitude are found as offsets from the aircraft's, so that
// the degrees written keep the aircraft's own digits. Near the aircraft and
// away from the poles (the laser's case) the offsets are small: the
// longitude's comes from its tangent, and in the point's meridian plane the
// latitude's and the height solve two equations whose integrals of the
// meridian's curvature are taken by their series: two divisions and a
// dozen products, exact to a micrometre for vectors of 5 km. Elsewhere (near
// a pole, far away) one step of Bowring's method from the reduced latitude
// of the earth-centred point, exact to a few micrometres within 15 km of
// the earth's surface, takes over.

#include <cmath>
#include <optional>
#include <string_view>

namespace morva::georef {

enum class Geodesy { Flat, Ellipsoid };

// "flat" or "ellipsoid", as the command lines spell them.
std::optional<Geodesy> parse_geodesy(std::string_view name);
const char* geodesy_name(Geodesy mode);

struct Geodetic {
    double lat, lon;  // degrees
    double h;         // metres above the ellipsoid
};

namespace wgs84 {
inline constexpr double kA = 6378137.0;                // semi-major axis, metres
inline constexpr double kF = 1.0 / 298.257223563;      // flattening
inline constexpr double kE2 = kF * (2.0 - kF);          // first eccentricity squared
inline constexpr double kB = kA * (1.0 - kF);           // semi-minor axis
inline constexpr double kEp2 = kE2 / (1.0 - kE2);       // second eccentricity squared
}  // namespace wgs84

namespace detail {

inline constexpr double kPi = 3.14159265358979323846;
inline constexpr double kExactDegToRad = kPi / 180.0;
inline constexpr double kExactRadToDeg = 180.0 / kPi;

// The short way is taken while the tangent of the longitude offset stays
// below 1/64 (for a vector of 5 km: up to 87 degrees of latitude) and the
// latitude offset below 1/256 (25 km); its series are then exact to 1e-10 m.
inline constexpr double kSmallLongitude = 1.0 / 64.0;
inline constexpr double kSmallLatitude = 1.0 / 256.0;

inline double small_atan(double t) {
    const double t2 = t * t;
    return t * (1.0 + t2 * (-1.0 / 3.0 + t2 * (1.0 / 5.0 + t2 * (-1.0 / 7.0))));
}

// Sine, cosine and prime vertical radius (over a) of a latitude in degrees:
// those of the nearest 1/1024 degree, kept from call to call in each thread
// (a flight's latitude moves slowly), carried over the rest, at most 8.5e-6
// radians, by their series. The result depends on the latitude alone, never
// on the calls before.
struct LatitudeTerms {
    // Filled for the equator, so that no thread needs to mark it empty.
    double key = 0.0;  // latitude in 1/1024 degree
    double s = 0.0, c = 1.0;
    double rn = 1.0;                               // 1 / sqrt(1 - e2 s^2)
    double rn_d1 = 0.0, rn_d2 = 0.5 * wgs84::kE2;  // its first derivative and half its second, over rn
};
void refresh_latitude_terms(LatitudeTerms& t, double key);

struct AtLatitude {
    double s, c, rn;
};

inline AtLatitude latitude_terms(double lat) {
    thread_local LatitudeTerms cached;
    constexpr double kRound = 0x1.8p52;  // adding and taking it away rounds to a whole number
    const double key = (lat * 1024.0 + kRound) - kRound;
    if (key != cached.key) refresh_latitude_terms(cached, key);
    const double d = (lat - key * (1.0 / 1024.0)) * kExactDegToRad;
    const double d2 = d * d;
    const double sd = d * (1.0 - d2 * (1.0 / 6.0));
    const double cd = 1.0 - d2 * (0.5 - d2 * (1.0 / 24.0));
    return {cached.s * cd + cached.c * sd, cached.c * cd - cached.s * sd,
            cached.rn + cached.rn * d * (cached.rn_d1 + cached.rn_d2 * d)};
}

// The general way back from the turned earth-centred (x, y, z) to the point,
// as offsets from the aircraft at latitude lat with sine s and cosine c: for
// any distance, across a pole, and where the short way does not apply. Out
// of line: the hot path seldom takes it.
[[gnu::noinline]] Geodetic from_earth_centred(double lat, double lon, double s, double c, double x, double y,
                                             double z);

}  // namespace detail

// The point `north`, `east`, `down` metres from (lat, lon, h) in the local
// north-east-down frame there. Longitudes continue from the aircraft's: a
// point across the antimeridian from an aircraft at 179.9 degrees has a
// longitude above 180. At a pole, north is the direction of the aircraft's
// meridian, as the limit of the frame from nearby latitudes.
[[gnu::always_inline]] inline Geodetic offset_on_ellipsoid(double lat, double lon, double h, double north, double east,
                                                           double down) {
    using namespace wgs84;
    using namespace detail;
    const AtLatitude at = latitude_terms(lat);
    const double s = at.s, c = at.c, rn = at.rn;  // rn: prime vertical radius / a
    const double xa = (kA * rn + h) * c;          // aircraft's distance from the axis

    // The vector in earth-centred axes turned so that the aircraft's
    // meridian is the x axis: east along y.
    const double dx = -s * north - c * down;
    const double y = east;
    const double dz = c * north - s * down;
    const double x = xa + dx;

    // The short way, for points near the aircraft away from the poles: the
    // longitude offset from y / x, and in the point's meridian plane the
    // latitude offset delta and height h that solve, with M the meridian
    // radius of curvature and its derivatives at the aircraft,
    //   along the aircraft's north:  ut = A(delta) + h sin(delta)
    //   along the aircraft's up:     un + ha = h cos(delta) - B(delta)
    //   A = integral of M cos, B = integral of M sin from 0 to delta,
    // by their series (terms left out: below 1e-8 m up to 25 km), with one
    // step from the first-order offset.
    const auto general = [&] { return from_earth_centred(lat, lon, s, c, x, y, (kA * rn * (1.0 - kE2) + h) * s + dz); };
    if (!(x > 0.0 && std::fabs(y) < kSmallLongitude * x)) return general();
    // Both divisions start as soon as the aircraft's radius is known.
    const double tl = y / x;
    const double rn2 = rn * rn;
    const double m0 = kA * (1.0 - kE2) * rn2 * rn;  // meridian radius a (1 - e2) / W^3
    const double h0 = h - down;                     // the aircraft's height plus the vector's up component
    const double inv = 1.0 / (m0 + h0);
    // Growth of the distance from the axis by the turn to the point's meridian.
    const double grow = (y * tl) * (0.5 - 0.125 * (tl * tl));
    const double ut = c * dz - s * (dx + grow);
    const double un = c * grow;  // the up component beyond -down

    const double k = 3.0 * kE2 * (1.0 - kE2) * kA * rn2 * rn2 * rn;
    const double m1 = k * s * c;                                                // dM / dphi
    const double m2 = k * ((c * c - s * s) + 5.0 * kE2 * s * s * c * c * rn2);  // d2M / dphi2
    const double a2 = 0.5 * m1;
    const double a3 = (m2 + 2.0 * m0 + 2.0 * h0) * (1.0 / 6.0);
    const double d0 = ut * inv;
    const double delta = (ut - d0 * (un + d0 * (a2 + a3 * d0))) * inv;
    if (!(std::fabs(delta) < kSmallLatitude)) return general();
    const double d2 = delta * delta;
    const double b = d2 * (0.5 * m0 + (1.0 / 3.0) * m1 * delta);
    const double hn = h0 + un;

    Geodetic g;
    g.lon = lon + small_atan(tl) * kExactRadToDeg;
    g.lat = lat + delta * kExactRadToDeg;
    g.h = (hn + b) * (1.0 + d2 * (0.5 + d2 * (5.0 / 24.0)));
    return g;
}

}  // namespace morva::georef
