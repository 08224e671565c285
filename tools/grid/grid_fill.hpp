#pragma once
// Filling the empty cells of a height band by inverse-distance weighting
// (weights 1/d^2, d in cells) of the non-empty cells within a window.

#include <cmath>
#include <cstdint>
#include <vector>

#include "cell_stats.hpp"

namespace morva::grid {

inline bool is_height(Statistic s) {
    return s == Statistic::Min || s == Statistic::Max || s == Statistic::Mean || s == Statistic::Idw;
}

// Every cell holding nodata that has a non-empty cell within n cells (a
// circle) takes their weighted mean; filled cells never feed others. The
// band's cells lie `stride` values apart (bands interleaved cell by cell).
template <class Value>
void fill_empty(Value* band, std::int64_t cols, std::int64_t rows, Value nodata, int n, std::size_t stride = 1) {
    std::vector<bool> empty(static_cast<std::size_t>(cols * rows));
    for (std::size_t k = 0; k < empty.size(); ++k) empty[k] = band[k * stride] == nodata;
    for (std::int64_t row = 0; row < rows; ++row) {
        for (std::int64_t col = 0; col < cols; ++col) {
            if (!empty[static_cast<std::size_t>(row * cols + col)]) continue;
            double weighted = 0, weights = 0;
            for (std::int64_t dr = -n; dr <= n; ++dr) {
                const std::int64_t r = row + dr;
                if (r < 0 || r >= rows) continue;
                for (std::int64_t dc = -n; dc <= n; ++dc) {
                    const std::int64_t c = col + dc;
                    const auto d2 = static_cast<double>(dr * dr + dc * dc);
                    if (c < 0 || c >= cols || d2 > static_cast<double>(n) * n) continue;
                    const auto at = static_cast<std::size_t>(r * cols + c);
                    if (empty[at]) continue;
                    weighted += band[at * stride] / d2;
                    weights += 1 / d2;
                }
            }
            if (weights > 0) band[static_cast<std::size_t>(row * cols + col) * stride] = static_cast<Value>(weighted / weights);
        }
    }
}

}  // namespace morva::grid
