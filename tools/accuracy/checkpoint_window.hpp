#pragma once
// Which ground points the surface needs: those within a radius of some check
// point. A survey's ground points run to hundreds of millions; the
// triangulation needs only those around the check points. A Delaunay triangle
// holding a check point, with no edge longer than max_edge, has its corners
// within max_edge of it and an empty circumcircle, which stays empty when
// points are left out: with a radius of at least max_edge it is still the
// triangle found from the points kept.

#include <cstdint>
#include <span>
#include <unordered_map>
#include <vector>

#include "checkpoints.hpp"

namespace accuracy {

class CheckPointWindow {
public:
    // radius > 0 (metres, in the check points' coordinates).
    CheckPointWindow(std::span<const CheckPoint> points, double radius);

    // Whether (x, y) lies within the radius of some check point; no allocation.
    bool contains(double x, double y) const;

private:
    static std::uint64_t key(std::int64_t column, std::int64_t row);
    double radius_;
    std::unordered_map<std::uint64_t, std::vector<std::size_t>> cells_;  // check points by cell of radius size
    std::vector<CheckPoint> points_;
};

}  // namespace accuracy
