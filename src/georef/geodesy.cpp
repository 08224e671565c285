#include "georef/geodesy.hpp"

#include <cmath>

namespace morva::georef {

std::optional<Geodesy> parse_geodesy(std::string_view name) {
    if (name == "flat") return Geodesy::Flat;
    if (name == "ellipsoid") return Geodesy::Ellipsoid;
    return std::nullopt;
}

const char* geodesy_name(Geodesy mode) { return mode == Geodesy::Ellipsoid ? "ellipsoid" : "flat"; }

namespace detail {

void refresh_latitude_terms(LatitudeTerms& t, double key) {
    using namespace wgs84;
    const double phi = key * (1.0 / 1024.0) * kExactDegToRad;
    t.key = key;
    t.s = std::sin(phi);
    t.c = std::cos(phi);
    const double w2 = 1.0 - kE2 * t.s * t.s;
    t.rn = 1.0 / std::sqrt(w2);
    // d rn / d phi = e2 s c rn^3, and half the second derivative.
    const double q = kE2 * t.rn * t.rn;
    t.rn_d1 = q * t.s * t.c;
    t.rn_d2 = 0.5 * q * ((t.c * t.c - t.s * t.s) + 3.0 * q * t.s * t.s * t.c * t.c);
}

Geodetic from_earth_centred(double lat, double lon, double s, double c, double x, double y, double z) {
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

}  // namespace morva::georef
