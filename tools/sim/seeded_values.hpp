#pragma once
// Seeded values: the same seed always gives the same survey.

#include <cstdint>

namespace morva::sim {

inline std::uint64_t splitmix(std::uint64_t x) {
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

// A value in [0, 1) drawn from a seed and a salt.
inline double unit_random(std::uint64_t seed, std::uint64_t salt) {
    return static_cast<double>(splitmix(seed * 0x100000001B3ull + salt) >> 11) * 0x1.0p-53;
}

// The seed of cell (row, col) of a grid laid out from the surface origin.
inline std::uint64_t cell_seed(std::uint64_t seed, std::int64_t row, std::int64_t col) {
    return splitmix(seed ^ splitmix(static_cast<std::uint64_t>(row) * 0x9E3779B97F4A7C15ull +
                                    static_cast<std::uint64_t>(col)));
}

}  // namespace morva::sim
