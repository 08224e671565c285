#pragma once
// The misalignment that makes the strips agree: every patch point is
// recomputed from its raw measurement through the core's georeferencing for
// each trial of the angles, and its distance to its patch's plane (one plane
// per patch, estimated with the angles) is minimised with a robust loss by
// Ceres Solver. The angles' information after the planes are eliminated
// tells which of them the patches determine.

#include <array>
#include <cstdint>
#include <vector>

#include "flight.hpp"
#include "patches.hpp"

namespace morva::boresight {

struct AdjustOptions {
    int threads = 1;
    double loss = 0;        // Huber scale (m); 0: three times the patches' plane-fit RMS
    double max_sigma = 0.005;  // degrees: an angle with a larger standard deviation is not determined
    int max_iterations = 100;
};

struct Adjustment {
    std::array<double, 3> start{}, estimate{};
    std::array<double, 3> sigma{};           // degrees
    std::array<std::array<double, 3>, 3> correlation{};
    std::array<bool, 3> determined{true, true, true};
    std::array<double, 3> spread{};          // degrees: the standard deviation each angle would have
    double rms_before = 0, rms_after = 0;    // metres, point to plane
    double noise = 0;                        // metres: the range residuals' standard deviation after
    double loss = 0;                         // Huber scale used
    std::int64_t points = 0;
    int iterations = 0;
    bool converged = false;
    std::vector<std::size_t> used;  // indices of the patches kept
    std::size_t dropped = 0;        // patches whose plane did not fit their points
};

// Solves from `start`; when an angle is not determined the solve is not
// made (estimate = start) and `determined` says which.
Adjustment adjust(const std::vector<Flight>& flights, const LocalFrame& frame, const std::vector<Patch>& patches,
                  const std::array<double, 3>& start, const AdjustOptions& options);

}  // namespace morva::boresight
