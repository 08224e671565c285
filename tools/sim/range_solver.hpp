#pragma once
// The range at which a beam meets the surface, found by inverting the run's
// own georeferencing: the run's locate() is evaluated at trial ranges and
// the height misfit driven to zero by secant steps. Without a geoid the
// misfit is affine in the range on a flat or tilted surface, so a good
// starting slope settles it in one or two evaluations.

#include <cstdint>

#include "georef/georeference.hpp"
#include "survey.hpp"

namespace morva::sim {

// One beam: everything locate() needs besides the range, and the height the
// run's point must reach above the true surface (the injected distortion).
struct Beam {
    const georef::Model* model;
    const georef::Pose* pose;
    const Surface* surface;
    double thr;         // hours
    double scan_angle;  // gon
    std::int32_t scanno;
    double distortion;  // metres
    Sees sees = Sees::Everything;  // what of the scene the beam can meet
};

struct RangeFit {
    double r = 0;      // metres
    double slope = 0;  // d(misfit)/d(range), negative when the beam descends onto the surface
    std::int32_t evaluations = 0;
    bool ok = false;
};

// Height of the run's point above the surface (plus distortion) at range r.
double misfit(const Beam& beam, double r, georef::GroundPoint& point);

// Starts from r_guess with the slope guess (negative) and iterates secant
// steps until the last is below a micrometre-level tolerance. When that
// fails or leaves [1.5 m, r_max], takes the first crossing of the surface
// from the aircraft instead; not ok when the beam meets no surface there.
RangeFit solve_range(const Beam& beam, double r_guess, double slope_guess, double r_max);

}  // namespace morva::sim
