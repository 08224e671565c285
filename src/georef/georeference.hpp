#pragma once
// From one laser measurement to a ground point: the aircraft's pose at the
// measurement time from the trajectory, the laser vector in the aircraft
// frame (optionally through the scanner calibration), its rotation into
// north-east-down, a flat-earth step from metres to degrees, the geoid
// reduction and the across-scan height correction.
//
// The functions here are pure (apart from the forward-only trajectory
// cursor), so the survey simulator inverts exactly the model the run uses.

#include <cstdint>

#include "run/geoid.hpp"
#include "run/run_control.hpp"
#include "run/trajectory.hpp"
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
Interval advance(const run::TrajectoryTable& traj, std::int32_t& jtraj, double thr);

// The aircraft at the measurement time.
struct Pose {
    double lat, lon, airh;        // degrees, degrees, metres
    double pitch, roll, heading;  // degrees, misalignment included
    double vel;                   // km/h
};

// Position only: enough for the area test.
void interpolate_position(const run::TrajectoryTable& traj, Interval at, Pose& pose);
// Attitude and speed, for measurements that pass the area test.
void interpolate_attitude(const run::TrajectoryTable& traj, Interval at, const run::RunControl& rc, Pose& pose);

// A position on a bound of the area passes.
inline bool inside_area(const run::RunControl& rc, double lat, double lon) {
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
    const run::RunControl* rc;
    const run::GeoidGrid* geoid;             // null when no grid is loaded
    const scanner::scanner_header* header;   // calibration values
};

// The ground point for range r (metres) and scan angle (gon) of scan
// `scanno`, measured at time thr (hours) from `pose`.
void locate(const Model& model, const Pose& pose, double thr, double r, double scan_angle_gon,
            std::int32_t scanno, GroundPoint& point);

// Across-scan position of measurement i of nmeas and its height correction.
double across_scan_position(std::int32_t i, std::int32_t nmeas);
double height_correction(const double* pcoef, double xscan);

}  // namespace morva::georef
