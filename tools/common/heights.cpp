#include "heights.hpp"

namespace morva::common {

std::string vertical_meaning(const std::string& geoid_grid) {
    return geoid_grid.empty() ? "ellipsoidal height" : "height above geoid grid " + geoid_grid;
}

}  // namespace morva::common
