#pragma once
// The quantile the companions report (the overlap's median and 95th
// percentile, the accuracy's VVA): linear between neighbours at rank q (n - 1).

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <vector>

namespace morva::common {

// `sorted` ascending and not empty; q from 0 to 1.
inline double sorted_quantile(const std::vector<double>& sorted, double q) {
    const double rank = q * static_cast<double>(sorted.size() - 1);
    const auto lo = static_cast<std::size_t>(std::floor(rank));
    const std::size_t hi = std::min(lo + 1, sorted.size() - 1);
    return sorted[lo] + (sorted[hi] - sorted[lo]) * (rank - static_cast<double>(lo));
}

}  // namespace morva::common
