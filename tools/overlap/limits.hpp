#pragma once
// The thresholds a campaign's overlaps are judged against: a quality level of
// the USGS Lidar Base Specification, or the user's own figures. Where each
// figure comes from is in docs/overlap.md.

#include <cmath>
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

inline std::optional<Limits> quality_level(const std::string& name) {
    if (name == "QL0") return Limits{name, 0.04, 0.08, 0.03};
    if (name == "QL1") return Limits{name, 0.08, 0.16, 0.06};
    if (name == "QL2") return Limits{name, 0.08, 0.16, 0.06};
    if (name == "QL3") return Limits{name, 0.16, 0.32, 0.12};
    return std::nullopt;
}

// "pass", "fail", "no smooth cells", or "" without a limit.
inline std::string pair_verdict(const Limits& l, std::uint64_t smooth_cells, double rmsdz, double max_abs) {
    if (std::isnan(l.max_rmsdz) && std::isnan(l.max_dz)) return "";
    if (smooth_cells == 0) return "no smooth cells";
    const bool ok = (std::isnan(l.max_rmsdz) || rmsdz <= l.max_rmsdz) && (std::isnan(l.max_dz) || max_abs <= l.max_dz);
    return ok ? "pass" : "fail";
}

inline std::string precision_verdict(const Limits& l, double precision) {
    if (std::isnan(l.max_precision)) return "";
    if (std::isnan(precision)) return "no smooth cells";
    return precision <= l.max_precision ? "pass" : "fail";
}

}  // namespace morva::overlap
