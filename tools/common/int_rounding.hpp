#pragma once
// Rounding doubles to integers, shared by the grid and the projection lattice.

#include <cstdint>

namespace morva::common {

// floor and ceil as integers without a library call (the baseline x86-64
// has no rounding instruction): exact for every x of magnitude below 2^62.
inline std::int64_t floor_int(double x) {
    const auto i = static_cast<std::int64_t>(x);
    return static_cast<double>(i) > x ? i - 1 : i;
}
inline std::int64_t ceil_int(double x) {
    const auto i = static_cast<std::int64_t>(x);
    return static_cast<double>(i) < x ? i + 1 : i;
}

}  // namespace morva::common
