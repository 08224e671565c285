#pragma once
// Every check point against the bare-earth surface: its dz when measured,
// the reason when not; and the figures of the measured ones.

#include <span>
#include <vector>

#include "accuracy_figures.hpp"
#include "checkpoints.hpp"
#include "terrain_triangulation.hpp"

namespace accuracy {

// The terrain model shared with morva-grid (tools/common/terrain).
using terrain::TerrainHeight;
using terrain::TerrainStatus;
using terrain::TerrainTriangulation;

struct CheckPointHeight {
    const CheckPoint* point = nullptr;
    TerrainHeight terrain;
    double dz = 0;  // lidar - surveyed, when measured
};

std::vector<CheckPointHeight> measure_checkpoints(const TerrainTriangulation& terrain,
                                                  std::span<const CheckPoint> points);

// The figures of the measured check points; stops with one line, counting
// the reasons, when none is measured.
AccuracyFigures figures_of_measured(std::span<const CheckPointHeight> heights);

}  // namespace accuracy
