#pragma once
// Tie patches: small areas where strips overlap that are planar in every
// strip covering them, spread over slopes, aspects and positions so that
// every angle of the misalignment shows in the differences between strips.

#include <cstdint>
#include <vector>

#include <Eigen/Core>

#include "flight.hpp"

namespace morva::boresight {

// Metres east and north of a reference position on the ellipsoid's tangent
// plane, and the height: one fixed map for every strip and every trial.
struct LocalFrame {
    double lat0 = 0, lon0 = 0;
    double east_per_degree = 0, north_per_degree = 0;  // metres
};
LocalFrame frame_at(double lat, double lon);
inline Eigen::Vector3d to_local(const LocalFrame& f, const Geo& g) {
    return {(g.lon - f.lon0) * f.east_per_degree, (g.lat - f.lat0) * f.north_per_degree, g.h};
}

struct PatchOptions {
    double radius = 0;        // metres; 0: from the point spacing
    int min_points = 8;       // per strip
    int max_points = 100;     // per strip, taken evenly from those inside
    double planarity = 0;     // largest plane-fit RMS (m); 0: twice the median of the candidates
    double agreement = 5.0;   // degrees the strips' planes of one patch may differ
    int max_patches = 600;
};

// One strip's points in a patch.
struct PatchStrip {
    std::uint32_t flight = 0;
    std::vector<std::uint32_t> shots;  // indices into the flight's shots
    double rms = 0;                    // plane-fit residual RMS, metres
};

struct Patch {
    Eigen::Vector3d centre;  // local frame
    Eigen::Vector3d normal;  // of all strips' points together, upward
    double slope = 0, aspect = 0;  // degrees; aspect clockwise from north, downhill
    std::vector<PatchStrip> strips;
};

struct PatchSelection {
    std::vector<Patch> patches;
    double radius = 0;     // as used
    double planarity = 0;  // as used
    std::int64_t candidates = 0;  // areas covered by two strips or more
    std::int64_t planar = 0;      // of them planar in every strip
};

// The strips' points with the misalignment `angles`, in `frame`.
std::vector<std::vector<Eigen::Vector3f>> strip_points(const std::vector<Flight>& flights, const LocalFrame& frame,
                                                       const double angles[3], int threads);

PatchSelection select_patches(const std::vector<std::vector<Eigen::Vector3f>>& points, const PatchOptions& options);

}  // namespace morva::boresight
