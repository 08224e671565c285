#pragma once
// From one laser measurement to a ground point: the aircraft's pose at the
// measurement time from the trajectory, the laser vector in the aircraft
// frame (optionally through the scanner calibration), its rotation into
// north-east-down, the step from metres to degrees (on a flat earth as the
// system specifies, or exactly on the WGS 84 ellipsoid when the run asks for
// it), the geoid reduction and the across-scan height correction.
//
// The functions here are pure (apart from the forward-only trajectory
// cursor), so the survey simulator inverts exactly the model the run uses.
// They are inline: the scan loop runs them for every measurement.

#include <cmath>
#include <cstdint>

#include "georef/geodesy.hpp"
#include "inputs/geoid.hpp"
#include "inputs/run_control.hpp"
#include "inputs/trajectory.hpp"
#include "scanner/scanner_header.hpp"

namespace morva::georef {

// Constants exactly as the system holds them.
inline constexpr double kDegToRad = 0.01745329252;
inline constexpr double kGonToRad = 0.015707963268;
inline constexpr double kRightAngle = 1.5707963268;
inline constexpr double kMetresPerDegree = 111120.0;
inline constexpr double kDegreesPerMetre = 8.999280057595392e-06;  // 1 / 111120
inline constexpr double kHoursPerSecond = 0.0002777777777777778;    // 1 / 3600
inline constexpr double kMinRange = 1.5;                            // metres

// Time of a measurement in decimal hours: the sum in this order, then scaled.
inline double measurement_time(double epoch, double tsec, double timer, double tfrac, double dtsec) {
    return epoch + (tsec + timer + tfrac + dtsec) * kHoursPerSecond;
}

// Where the measurement time falls in the trajectory.
struct Interval {
    std::int32_t j;  // the interval runs from record j to record j+1
    double f;        // weight of record j+1, clamped to [0, 1]
};

// Moves the forward-only cursor `jtraj` to the interval holding thr (or the
// last one) and returns the clamped factor. Needs ntraj >= 2.
inline Interval advance(const inputs::TrajectoryTable& traj, std::int32_t& jtraj, double thr) {
    const inputs::TrajectoryRecord* slot = traj.slot.get();
    while (jtraj < traj.ntraj - 1 && slot[jtraj + 1].thr < thr) ++jtraj;
    double t0 = slot[jtraj].thr;
    double t1 = slot[jtraj + 1].thr;
    // Two records at the same time: the later one holds.
    double f = t1 == t0 ? 1.0 : (thr - t0) / (t1 - t0);
    if (f < 0.0) f = 0.0;
    if (f > 1.0) f = 1.0;
    return {jtraj, f};
}

// The aircraft at the measurement time.
struct Pose {
    double lat, lon, airh;        // degrees, degrees, metres
    double pitch, roll, heading;  // degrees, misalignment included
    double vel;                   // km/h
};

// Position only: enough for the area test.
inline void interpolate_position(const inputs::TrajectoryTable& traj, Interval at, Pose& pose) {
    const inputs::TrajectoryRecord& a = traj.slot[at.j];
    const inputs::TrajectoryRecord& b = traj.slot[at.j + 1];
    const double g = 1.0 - at.f;
    pose.lat = g * a.lat + at.f * b.lat;
    pose.lon = g * a.lon + at.f * b.lon;
    pose.airh = g * a.h + at.f * b.h;
}

// Attitude and speed, for measurements that pass the area test.
inline void interpolate_attitude(const inputs::TrajectoryTable& traj, Interval at, const inputs::RunControl& rc,
                                 Pose& pose) {
    const inputs::TrajectoryRecord& a = traj.slot[at.j];
    const inputs::TrajectoryRecord& b = traj.slot[at.j + 1];
    const double g = 1.0 - at.f;
    pose.pitch = g * a.pitch + at.f * b.pitch + rc.dpitch;
    pose.roll = g * a.roll + at.f * b.roll + rc.droll;
    // Across the +-180 degree seam the two headings are brought together.
    double h1 = a.heading;
    double h2 = b.heading;
    if (h1 > 90.0 && h2 < -90.0) h2 += 360.0;
    if (h1 < -90.0 && h2 > 90.0) h1 += 360.0;
    pose.heading = g * h1 + at.f * h2 + rc.dheading;
    pose.vel = g * static_cast<double>(a.vel) + at.f * static_cast<double>(b.vel);
}

// A position on a bound of the area passes.
inline bool inside_area(const inputs::RunControl& rc, double lat, double lon) {
    return !(lat < rc.latmin || lat > rc.latmax || lon < rc.lonmin || lon > rc.lonmax);
}

// The ground point of one measurement and what the diagnostics need.
struct GroundPoint {
    double lat, lon;     // degrees (simplified mode: along-track time and across-track ratio)
    double h;            // metres, after the geoid, before the across-scan correction
    double theta;        // scan angle, radians
    double alpha;        // nadir angle of the beam, radians
    double body[3];      // laser vector in the aircraft frame (x forward, y right, z down)
    double body_uncal[3];  // the same without calibration
};

// Everything the per-measurement model reads besides the pose.
struct Model {
    const inputs::RunControl* rc;
    const inputs::GeoidGrid* geoid;             // null when no grid is loaded
    const scanner::scanner_header* header;   // calibration values
    Geodesy geodesy = Geodesy::Flat;         // from metres to degrees
};

namespace detail {

inline double geoid_height(const inputs::GeoidGrid& g, double lat, double lon) {
    return inputs::bilin((lat - g.glat1) / g.dlat + 1, (lon - g.glon1) / g.dlon + 1, g.node.get(), g.nlat, g.nlon);
}

// The laser vector through the scanner calibration. What the range does not
// change is kept from call to call, in a cache of each thread that never
// changes a result.
void calibrated_body(const Model& model, double r, double theta, std::int32_t scanno, double body[3]);

template <Geodesy G>
inline void full_georeference(const Model& model, const Pose& pose, double r, std::int32_t scanno,
                              GroundPoint& p) {
    const inputs::RunControl& rc = *model.rc;
    double x = rc.offx;
    double y = rc.offy - r * std::sin(p.alpha);
    double z = rc.offz + r * std::cos(p.alpha);
    p.body_uncal[0] = x;
    p.body_uncal[1] = y;
    p.body_uncal[2] = z;
    if (rc.use_cal) {
        calibrated_body(model, r, p.theta, scanno, p.body);
        x = p.body[0];
        y = p.body[1];
        z = p.body[2];
    } else {
        p.body[0] = x;
        p.body[1] = y;
        p.body[2] = z;
    }

    const double pr = pose.pitch * kDegToRad;
    const double rr = pose.roll * kDegToRad;
    const double hr = pose.heading * kDegToRad;
    const double sp = std::sin(pr), cp = std::cos(pr);
    const double sr = std::sin(rr), cr = std::cos(rr);
    const double sh = std::sin(hr), ch = std::cos(hr);
    // Heading about z, then pitch about y, then roll about x.
    const double north = ch * cp * x + (ch * sp * sr - sh * cr) * y + (ch * sp * cr + sh * sr) * z;
    const double east = sh * cp * x + (sh * sp * sr + ch * cr) * y + (sh * sp * cr - ch * sr) * z;
    const double down = -sp * x + cp * sr * y + cp * cr * z;

    if constexpr (G == Geodesy::Flat) {
        // Flat earth: 111120 m per degree of latitude, times cos(latitude)
        // for longitude, taken at the aircraft.
        p.lat = pose.lat + north * kDegreesPerMetre;
        p.lon = pose.lon + east / (kMetresPerDegree * std::cos(pose.lat * kDegToRad));
        p.h = pose.airh - down;
    } else {
        const Geodetic g = offset_on_ellipsoid(pose.lat, pose.lon, pose.airh, north, east, down);
        p.lat = g.lat;
        p.lon = g.lon;
        p.h = g.h;
    }
    if (model.geoid != nullptr) p.h = p.h - geoid_height(*model.geoid, p.lat, p.lon);
}

// The simplified vertical mode carries, in the latitude and longitude
// positions, the time at which the aircraft passes over the footprint and the
// across-track offset divided by the speed. Its height takes off the lever
// arm's vertical offset offz, the one vertical term consistent with a range
// term that already runs from the scanner to the ground.
inline void vertical_only(const Model& model, const Pose& pose, double thr, double r, GroundPoint& p) {
    const inputs::RunControl& rc = *model.rc;
    const double pr = pose.pitch * kDegToRad;
    const double rr = pose.roll * kDegToRad;
    const double s = 1000.0 * pose.vel;
    p.lat = thr + r * std::sin(pr) / s;
    p.lon = -r * std::sin(rr + p.alpha) / s;
    p.h = pose.airh - r * std::cos(pr) * std::cos(rr + p.alpha) - rc.offz;
    if (model.geoid != nullptr) p.h = p.h - geoid_height(*model.geoid, pose.lat, pose.lon);
    for (int k = 0; k < 3; ++k) p.body[k] = p.body_uncal[k] = 0.0;
}

}  // namespace detail

// The ground point for range r (metres) and scan angle (gon) of scan
// `scanno`, measured at time thr (hours) from `pose`, in the mode G (the
// scan loop chooses it once per scan; model.geodesy is not read).
template <Geodesy G>
inline void locate_in(const Model& model, const Pose& pose, double thr, double r, double scan_angle_gon,
                      std::int32_t scanno, GroundPoint& point) {
    point.theta = scan_angle_gon * model.rc->angle_sign * kGonToRad;
    point.alpha = point.theta - kRightAngle;
    if (model.rc->full_georef) {
        detail::full_georeference<G>(model, pose, r, scanno, point);
    } else {
        detail::vertical_only(model, pose, thr, r, point);
    }
}

// The same in the model's own mode.
inline void locate(const Model& model, const Pose& pose, double thr, double r, double scan_angle_gon,
                   std::int32_t scanno, GroundPoint& point) {
    if (model.geodesy == Geodesy::Ellipsoid) {
        locate_in<Geodesy::Ellipsoid>(model, pose, thr, r, scan_angle_gon, scanno, point);
    } else {
        locate_in<Geodesy::Flat>(model, pose, thr, r, scan_angle_gon, scanno, point);
    }
}

// Across-scan position of measurement i of nmeas and its height correction.
inline double across_scan_position(std::int32_t i, std::int32_t nmeas) {
    // 0.5 and 0.01 are single-precision constants; the product is in double.
    const double offset = static_cast<double>(i) - static_cast<double>(0.5f) * static_cast<double>(nmeas);
    return offset * static_cast<double>(0.01f);
}

inline double height_correction(const double* pcoef, double xscan) {
    return xscan * xscan * (pcoef[0] + xscan * (pcoef[1] + xscan * (pcoef[2] + xscan * pcoef[3])));
}

}  // namespace morva::georef
