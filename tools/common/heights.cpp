#include "heights.hpp"

namespace morva::common {

std::string vertical_meaning(const std::string& geoid_grid) {
    return geoid_grid.empty() ? "ellipsoidal height" : std::string(kAboveGeoidGrid) + " " + geoid_grid;
}

}  // namespace morva::common
