#pragma once
// The statistics of a cell's points: count, minimum, maximum, mean and
// population standard deviation (Welford's update, exact enough for
// millimetre heights), and inverse-distance sums for idw.

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

namespace morva::grid {

enum class Statistic { Min, Max, Mean, Idw, Count, Stdev, Dtm };

// "min", "max", "mean", "idw", "count", "stdev", "dtm".
std::string_view statistic_name(Statistic s);

// A band of heights (min, max, mean, idw, dtm), not a count or a spread.
inline bool is_height(Statistic s) {
    return s == Statistic::Min || s == Statistic::Max || s == Statistic::Mean || s == Statistic::Idw ||
           s == Statistic::Dtm;
}

// A comma-separated list of names; false with the offending word in bad.
bool parse_statistics(std::string_view list, std::vector<Statistic>& out, std::string& bad);

// Extrema in Real: float for float32 rasters (exact for the test heights'
// rounding), double for float64 ones; the moments always in double.
template <class Real>
struct BasicCellStats {
    std::uint32_t count = 0;
    Real min = std::numeric_limits<Real>::infinity();
    Real max = -std::numeric_limits<Real>::infinity();
    double mean = 0;
    double m2 = 0;  // sum of squared deviations from the mean

    bool empty() const { return count == 0; }
    void add(double z) {
        ++count;
        const auto zr = static_cast<Real>(z);
        min = zr < min ? zr : min;
        max = zr > max ? zr : max;
        const double d = z - mean;
        mean += d / count;
        m2 += d * (z - mean);
    }
    double stdev() const { return count > 0 ? std::sqrt(m2 / count) : 0.0; }
};

using CellStats = BasicCellStats<float>;
using CellStats64 = BasicCellStats<double>;

// Inverse-distance weighting: weights 1/d^2; a point at the centre (d below
// 1e-9 m) gives its value alone.
struct IdwSums {
    double weighted = 0, weights = 0;
    double at_centre = 0;
    std::uint32_t centre_count = 0;
    std::uint32_t count = 0;
    bool empty() const { return count == 0; }
    void add(double z, double d2) {
        ++count;
        if (d2 < 1e-18) {
            at_centre += z;
            ++centre_count;
            return;
        }
        weighted += z / d2;
        weights += 1 / d2;
    }
    double value() const { return centre_count > 0 ? at_centre / centre_count : weighted / weights; }
};

}  // namespace morva::grid
