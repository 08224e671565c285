#include "georef/georeference.hpp"

#include <cmath>

#include "scanner/calibration.hpp"

namespace morva::georef {

Interval advance(const run::TrajectoryTable& traj, std::int32_t& jtraj, double thr) {
    const run::TrajectoryRecord* slot = traj.slot.get();
    while (jtraj < traj.ntraj - 1 && slot[jtraj + 1].thr < thr) ++jtraj;
    double t0 = slot[jtraj].thr;
    double t1 = slot[jtraj + 1].thr;
    // Two records at the same time: the later one holds.
    double f = t1 == t0 ? 1.0 : (thr - t0) / (t1 - t0);
    if (f < 0.0) f = 0.0;
    if (f > 1.0) f = 1.0;
    return {jtraj, f};
}

void interpolate_position(const run::TrajectoryTable& traj, Interval at, Pose& pose) {
    const run::TrajectoryRecord& a = traj.slot[at.j];
    const run::TrajectoryRecord& b = traj.slot[at.j + 1];
    const double g = 1.0 - at.f;
    pose.lat = g * a.lat + at.f * b.lat;
    pose.lon = g * a.lon + at.f * b.lon;
    pose.airh = g * a.h + at.f * b.h;
}

void interpolate_attitude(const run::TrajectoryTable& traj, Interval at, const run::RunControl& rc, Pose& pose) {
    const run::TrajectoryRecord& a = traj.slot[at.j];
    const run::TrajectoryRecord& b = traj.slot[at.j + 1];
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

namespace {

void full_georeference(const Model& model, const Pose& pose, double r, std::int32_t scanno, GroundPoint& p) {
    const run::RunControl& rc = *model.rc;
    double x = rc.offx;
    double y = rc.offy - r * std::sin(p.alpha);
    double z = rc.offz + r * std::cos(p.alpha);
    p.body_uncal[0] = x;
    p.body_uncal[1] = y;
    p.body_uncal[2] = z;
    if (rc.use_cal) {
        // The scanner's first axis is the body's down axis, its second the
        // body's backward axis, its third the body's right axis.
        const scanner::scanner_header& hdr = *model.header;
        double cx, cy, cz;
        scanner::riegl_cal(r, p.theta, scanno, cx, cy, cz, hdr.a, hdr.b, hdr.c, hdr.d, hdr.e, hdr.eps);
        x = rc.offx - cy;
        y = rc.offy + cz;
        z = rc.offz + cx;
    }
    p.body[0] = x;
    p.body[1] = y;
    p.body[2] = z;

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

    // Flat earth: 111120 m per degree of latitude, times cos(latitude) for
    // longitude, taken at the aircraft.
    p.lat = pose.lat + north * kDegreesPerMetre;
    p.lon = pose.lon + east / (kMetresPerDegree * std::cos(pose.lat * kDegToRad));
    p.h = pose.airh - down;
    if (model.geoid != nullptr) {
        const run::GeoidGrid& g = *model.geoid;
        p.h = p.h - run::bilin((p.lat - g.glat1) / g.dlat + 1, (p.lon - g.glon1) / g.dlon + 1, g.node.get(),
                               g.nlat, g.nlon);
    }
}

// The simplified vertical mode carries, in the latitude and longitude
// positions, the time at which the aircraft passes over the footprint and the
// across-track offset divided by the speed. Its height takes off the lever
// arm's vertical offset offz, the one vertical term consistent with a range
// term that already runs from the scanner to the ground.
void vertical_only(const Model& model, const Pose& pose, double thr, double r, GroundPoint& p) {
    const run::RunControl& rc = *model.rc;
    const double pr = pose.pitch * kDegToRad;
    const double rr = pose.roll * kDegToRad;
    const double s = 1000.0 * pose.vel;
    p.lat = thr + r * std::sin(pr) / s;
    p.lon = -r * std::sin(rr + p.alpha) / s;
    p.h = pose.airh - r * std::cos(pr) * std::cos(rr + p.alpha) - rc.offz;
    if (model.geoid != nullptr) {
        const run::GeoidGrid& g = *model.geoid;
        p.h = p.h - run::bilin((pose.lat - g.glat1) / g.dlat + 1, (pose.lon - g.glon1) / g.dlon + 1,
                               g.node.get(), g.nlat, g.nlon);
    }
    for (int k = 0; k < 3; ++k) p.body[k] = p.body_uncal[k] = 0.0;
}

}  // namespace

void locate(const Model& model, const Pose& pose, double thr, double r, double scan_angle_gon,
            std::int32_t scanno, GroundPoint& point) {
    point.theta = scan_angle_gon * model.rc->angle_sign * kGonToRad;
    point.alpha = point.theta - kRightAngle;
    if (model.rc->full_georef) {
        full_georeference(model, pose, r, scanno, point);
    } else {
        vertical_only(model, pose, thr, r, point);
    }
}

double across_scan_position(std::int32_t i, std::int32_t nmeas) {
    // 0.5 and 0.01 are single-precision constants; the product is in double.
    const double offset = static_cast<double>(i) - static_cast<double>(0.5f) * static_cast<double>(nmeas);
    return offset * static_cast<double>(0.01f);
}

double height_correction(const double* pcoef, double xscan) {
    return xscan * xscan * (pcoef[0] + xscan * (pcoef[1] + xscan * (pcoef[2] + xscan * pcoef[3])));
}

}  // namespace morva::georef
