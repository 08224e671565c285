#pragma once
// How a laser vector in north-east-down at the aircraft becomes a latitude,
// longitude and height. The flat mode is the system's own: metres to degrees
// with 111120 m per degree and no curvature. The ellipsoid mode places the
// point exactly on WGS 84: the aircraft's geodetic position to earth-centred
// coordinates, the vector turned into the earth-centred frame there and
// added, and the sum back to geodetic coordinates.
//
// The way back uses one step of Bowring's method from the reduced latitude
// of the sum, which for points within 15 km of the earth's surface is exact
// to a few micrometres. Longitude and latitude are found as offsets from the
// aircraft's, so that the degrees written keep the aircraft's own digits;
// near the aircraft and away from the poles every angle is a small offset,
// and short series take the place of arctangents, square roots and most
// divisions (the mode's cost is in the README).

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

// Below these the series used here are exact to a few 1e-16 (a few
// nanometres on the earth): the longitude offset and the radius of its
// parallel to the eighth power of the offset's tangent, the differences of
// latitude (at most 25 km) to its sixth power.
inline constexpr double kSmallLongitude = 1.0 / 32.0;
inline constexpr double kSmallLatitude = 1.0 / 256.0;

inline double small_atan(double t) {
    const double t2 = t * t;
    return t * (1.0 + t2 * (-1.0 / 3.0 + t2 * (1.0 / 5.0 + t2 * (-1.0 / 7.0))));
}

// 1 / sqrt(1 + t2) and sqrt(1 + t2) for a small t2.
inline double inv_hypot1(double t2) { return 1.0 + t2 * (-0.5 + t2 * (0.375 + t2 * -0.3125)); }
inline double hypot1(double t2) {
    return 1.0 + t2 * (0.5 + t2 * (-0.125 + t2 * (0.0625 + t2 * -0.0390625)));
}

// 1 / sqrt(1 - u) and sqrt(1 - u) for 0 <= u <= e2, to the eighth power
// (the ninth term is below 1e-20), in Estrin's order: these replace a square
// root and a division in the hot path.
inline double inv_sqrt1m(double u) {
    const double u2 = u * u, u4 = u2 * u2;
    return (1.0 + 0.5 * u) + u2 * (0.375 + 0.3125 * u) +
           u4 * ((0.2734375 + 0.24609375 * u) + u2 * (0.2255859375 + 0.20947265625 * u) + u4 * 0.196380615234375);
}
inline double sqrt1m(double u) {
    const double u2 = u * u, u4 = u2 * u2;
    return (1.0 - 0.5 * u) - u2 * (0.125 + 0.0625 * u) -
           u4 * ((0.0390625 + 0.02734375 * u) + u2 * (0.0205078125 + 0.01611328125 * u) + u4 * 0.013092041015625);
}

// The general way back from the turned earth-centred (x, y, z) to the offsets
// of the point from the aircraft at latitude lat with sine s and cosine c:
// for any distance, across a pole, and when the short way does not apply.
inline Geodetic from_earth_centred(double lat, double lon, double s, double c, double x, double y, double z) {
    using namespace wgs84;
    Geodetic g;
    g.lon = lon + std::atan2(y, x) * kExactRadToDeg;
    // Bowring's step from the reduced latitude (cb, sb) of the point gives
    // the direction (cl, sl) of the normal through it.
    const double p = std::sqrt(x * x + y * y);
    const double kb = 1.0 / std::sqrt(p * p * (kB * kB) + z * z * (kA * kA));
    const double cb = p * kB * kb;
    const double sb = z * kA * kb;
    const double sl_raw = z + kEp2 * kB * sb * sb * sb;
    const double cl_raw = p - kE2 * kA * cb * cb * cb;
    const double kl = 1.0 / std::sqrt(sl_raw * sl_raw + cl_raw * cl_raw);
    const double sl = sl_raw * kl;
    const double cl = cl_raw * kl;
    // The latitude as an offset from the aircraft's.
    g.lat = lat + std::atan2(sl * c - cl * s, cl * c + sl * s) * kExactRadToDeg;
    g.h = p * cl + z * sl - kA * std::sqrt(1.0 - kE2 * sl * sl);
    return g;
}

}  // namespace detail

// The point `north`, `east`, `down` metres from (lat, lon, h) in the local
// north-east-down frame there. Longitudes continue from the aircraft's: a
// point across the antimeridian from an aircraft at 179.9 degrees has a
// longitude above 180. At a pole, north is the direction of the aircraft's
// meridian, as the limit of the frame from nearby latitudes.
inline Geodetic offset_on_ellipsoid(double lat, double lon, double h, double north, double east, double down) {
    using namespace wgs84;
    using namespace detail;
    const double phi = lat * kExactDegToRad;
    const double s = std::sin(phi);
    const double c = std::cos(phi);
    const double rn = inv_sqrt1m(kE2 * s * s);  // prime vertical radius / a
    const double n = kA * rn;

    // Earth-centred, turned about the axis so that the aircraft's meridian
    // is the x axis: the aircraft at (x, 0, z), east along y.
    const double x = (n + h) * c - s * north - c * down;
    const double y = east;
    const double z = (n * (1.0 - kE2) + h) * s + c * north - s * down;

    // The short way, for points near the aircraft away from the poles: every
    // angle as a small offset from the aircraft's, by its tangent.
    if (!(x > 0.0 && std::fabs(y) < kSmallLongitude * x)) return from_earth_centred(lat, lon, s, c, x, y, z);
    const double tl = y / x;
    const double tl2 = tl * tl;
    const double p = x * hypot1(tl2);  // distance from the axis

    // Reduced latitude of the point, from the aircraft's (cba, sba).
    const double cba = c * rn, sba = (1.0 - kF) * s * rn;
    const double pb = p * kB, za = z * kA;
    const double tb = (za * cba - pb * sba) / (pb * cba + za * sba);
    const double tb2 = tb * tb;
    const double cdb = inv_hypot1(tb2), sdb = tb * cdb;
    const double cb = cba * cdb - sba * sdb;
    const double sb = sba * cdb + cba * sdb;

    // Bowring's step gives the normal through the point; its latitude, again
    // from the aircraft's.
    const double sl_raw = z + kEp2 * kB * sb * sb * sb;
    const double cl_raw = p - kE2 * kA * cb * cb * cb;
    const double tp = (sl_raw * c - cl_raw * s) / (cl_raw * c + sl_raw * s);
    if (!(std::fabs(tb) < kSmallLatitude && std::fabs(tp) < kSmallLatitude)) {
        return from_earth_centred(lat, lon, s, c, x, y, z);
    }
    const double tp2 = tp * tp;
    const double cdp = inv_hypot1(tp2), sdp = tp * cdp;
    const double cl = c * cdp - s * sdp;
    const double sl = s * cdp + c * sdp;

    Geodetic g;
    g.lon = lon + small_atan(tl) * kExactRadToDeg;
    g.lat = lat + small_atan(tp) * kExactRadToDeg;
    g.h = p * cl + z * sl - kA * sqrt1m(kE2 * sl * sl);
    return g;
}

}  // namespace morva::georef
