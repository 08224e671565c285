#include "checkpoint_window.hpp"

#include <cmath>

#include "text/stop.hpp"

namespace accuracy {

std::uint64_t CheckPointWindow::key(std::int64_t column, std::int64_t row) {
    return (static_cast<std::uint64_t>(column) << 32) ^ static_cast<std::uint64_t>(row & 0xffffffff);
}

CheckPointWindow::CheckPointWindow(std::span<const CheckPoint> points, double radius)
    : radius_(radius), points_(points.begin(), points.end()) {
    if (!(radius > 0) || !std::isfinite(radius)) morva::text::stop_run("*** the check points' window needs a radius above 0");
    for (std::size_t i = 0; i < points_.size(); ++i) {
        const auto column = static_cast<std::int64_t>(std::floor(points_[i].easting / radius));
        const auto row = static_cast<std::int64_t>(std::floor(points_[i].northing / radius));
        cells_[key(column, row)].push_back(i);
    }
}

bool CheckPointWindow::contains(double x, double y) const {
    if (!std::isfinite(x) || !std::isfinite(y)) return false;
    const double column = std::floor(x / radius_), row = std::floor(y / radius_);
    if (std::fabs(column) > 1e15 || std::fabs(row) > 1e15) return false;
    const double radius2 = radius_ * radius_;
    for (std::int64_t dc = -1; dc <= 1; ++dc)
        for (std::int64_t dr = -1; dr <= 1; ++dr) {
            const auto found = cells_.find(key(static_cast<std::int64_t>(column) + dc, static_cast<std::int64_t>(row) + dr));
            if (found == cells_.end()) continue;
            for (const std::size_t i : found->second) {
                const double de = x - points_[i].easting, dn = y - points_[i].northing;
                if (de * de + dn * dn <= radius2) return true;
            }
        }
    return false;
}

}  // namespace accuracy
