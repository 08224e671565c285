#pragma once
// The thresholds a campaign's overlaps are judged against: a quality level of
// the USGS Lidar Base Specification, or the user's own figures. Where each
// figure comes from is in docs/overlap.md.

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>

namespace morva::overlap {

struct Limits {
    std::string name;   // "QL2", "custom" or "" (no verdicts)
    double max_rmsdz = std::numeric_limits<double>::quiet_NaN();      // between strips, smooth cells
    double max_dz = std::numeric_limits<double>::quiet_NaN();         // largest |dz| between strips
    double max_precision = std::numeric_limits<double>::quiet_NaN();  // within a strip, smooth cells
};

// A quality level's name as users write it: "QL2", "ql2", "Ql2".
inline std::optional<Limits> quality_level(std::string name) {
    for (char& ch : name) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
    if (name == "QL0") return Limits{name, 0.04, 0.08, 0.03};
    if (name == "QL1" || name == "QL2") return Limits{name, 0.08, 0.16, 0.06};
    if (name == "QL3") return Limits{name, 0.16, 0.32, 0.12};
    return std::nullopt;
}

// A pair's figures say something only over this many smooth cells at least
// (the default of --min-smooth-cells): a 95th percentile needs twenty values
// to be more than the largest.
inline constexpr std::uint64_t kMinSmoothCells = 30;

// "not tested" (fewer smooth cells than min_smooth), "pass", "fail", or ""
// without a limit.
inline std::string pair_verdict(const Limits& l, std::uint64_t smooth_cells, std::uint64_t min_smooth, double rmsdz,
                                double max_abs) {
    if (smooth_cells < std::max<std::uint64_t>(min_smooth, 1)) return "not tested";
    if (std::isnan(l.max_rmsdz) && std::isnan(l.max_dz)) return "";
    const bool ok = (std::isnan(l.max_rmsdz) || rmsdz <= l.max_rmsdz) && (std::isnan(l.max_dz) || max_abs <= l.max_dz);
    return ok ? "pass" : "fail";
}

inline std::string precision_verdict(const Limits& l, double precision) {
    if (std::isnan(l.max_precision)) return "";
    if (std::isnan(precision)) return "not tested";
    return precision <= l.max_precision ? "pass" : "fail";
}

}  // namespace morva::overlap
