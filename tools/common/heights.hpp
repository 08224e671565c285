#pragma once
// What a run's heights are, in the words every companion writes into its
// coordinate systems and compares between flights.

#include <string>
#include <string_view>

namespace morva::common {

// The words before the grid's name, by which a reader knows the label again.
inline constexpr std::string_view kAboveGeoidGrid = "height above geoid grid";

// "ellipsoidal height" without a geoid grid, else "height above geoid grid NAME".
inline std::string vertical_meaning(const std::string& geoid_grid) {
    return geoid_grid.empty() ? "ellipsoidal height" : std::string(kAboveGeoidGrid) + " " + geoid_grid;
}

}  // namespace morva::common
