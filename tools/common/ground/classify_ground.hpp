#pragma once
// Classifies every point as ground (2), low noise (7) or unclassified (1).
#include <cstdint>
#include <vector>

#include "ground_settings.hpp"

namespace ground {

// The class of each point, in the points' order. Tiles are worked on in
// parallel; the result is the same whatever the tile size or the number of
// threads. Points with a coordinate that is not finite stay unclassified.
std::vector<std::uint8_t> classify_ground(const Points& points, const GroundSettings& settings);

}  // namespace ground
