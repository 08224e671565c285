#pragma once
// What a run's heights are, in the words every companion writes into its
// coordinate systems and compares between flights.

#include <string>

namespace morva::common {

// "ellipsoidal height" without a geoid grid, else "height above geoid grid NAME".
std::string vertical_meaning(const std::string& geoid_grid);

}  // namespace morva::common
