#include "checkpoint_heights.hpp"

#include <string>

#include "text/stop.hpp"

namespace accuracy {

std::vector<CheckPointHeight> measure_checkpoints(const TerrainTriangulation& terrain,
                                                  std::span<const CheckPoint> points) {
    std::vector<CheckPointHeight> heights;
    heights.reserve(points.size());
    for (const CheckPoint& point : points) {
        CheckPointHeight h;
        h.point = &point;
        h.terrain = terrain.height_at(point.easting, point.northing);
        if (h.terrain.status == TerrainStatus::measured) h.dz = h.terrain.height - point.height;
        heights.push_back(h);
    }
    return heights;
}

AccuracyFigures figures_of_measured(std::span<const CheckPointHeight> heights) {
    std::vector<double> dz;
    std::vector<LandCover> covers;
    std::size_t outside = 0, far = 0, long_edge = 0;
    for (const CheckPointHeight& h : heights) {
        switch (h.terrain.status) {
            case TerrainStatus::measured:
                dz.push_back(h.dz);
                covers.push_back(h.point->cover);
                break;
            case TerrainStatus::outside: ++outside; break;
            case TerrainStatus::far_from_ground: ++far; break;
            case TerrainStatus::long_edge: ++long_edge; break;
        }
    }
    if (dz.empty())
        morva::text::stop_run("*** none of the " + std::to_string(heights.size()) +
                              " check points lies within the ground points (" + std::to_string(outside) +
                              " outside the data, " + std::to_string(far) + " farther than the longest edge from a ground point, " +
                              std::to_string(long_edge) + " in a gap); are they in the points' coordinate system?");
    return accuracy_figures(dz, covers);
}

}  // namespace accuracy
