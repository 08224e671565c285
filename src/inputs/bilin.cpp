// Bilinear interpolation of the geoid grid at a fractional grid position.

#include <cstdint>
#include <limits>

#include "inputs/geoid.hpp"

namespace morva::inputs {

std::int32_t ifrac(double x) {
    constexpr std::int32_t lowest = std::numeric_limits<std::int32_t>::min();
    constexpr std::int32_t highest = std::numeric_limits<std::int32_t>::max();
    if (!(x >= -2147483648.0)) return lowest;  // also NaN
    if (x >= 2147483647.0) return highest;
    // Truncation toward zero, one lower for a negative fraction.
    auto i = static_cast<std::int32_t>(x);
    if (static_cast<double>(i) > x) --i;
    return i;
}

namespace {

// The cell index and the fraction within it, clamped so that the cell
// (index, index + 1) lies inside 1..n: before the first node the fraction is
// 0, at or beyond the last node it is 1 in the last cell.
void clamp_to_cells(std::int32_t& index, double& fraction, std::int32_t n) {
    if (index < 1) {
        index = 1;
        fraction = 0;
    } else if (index >= n) {
        index = n - 1;
        fraction = 1;
    }
}

}  // namespace

double bilin(double x, double y, const float* node, std::int32_t nlat, std::int32_t nlon) {
    constexpr double on_node = static_cast<double>(0.0001f);  // the single value 9.999999747378752e-05

    std::int32_t i = ifrac(x);
    double fx = x - i;
    std::int32_t j = ifrac(y);
    double fy = y - j;
    clamp_to_cells(i, fx, nlat);
    clamp_to_cells(j, fy, nlon);

    const std::int64_t k = std::int64_t{i - 1} * nlon + j;
    const float g00 = node[k];
    const float g10 = node[k + nlon];
    const float g01 = node[k + 1];
    const float g11 = node[k + nlon + 1];

    if (fx <= on_node && fy <= on_node) return missing_node(g00) ? 9999.0 : g00;
    // Every node of the cell counts, even one whose weight is 0.
    if (missing_node(g00) || missing_node(g10) || missing_node(g01) || missing_node(g11)) return 9999.0;
    return g00 * (1 - fy) * (1 - fx) + g10 * (1 - fy) * fx + g01 * (1 - fx) * fy + g11 * fx * fy;
}

}  // namespace morva::inputs
