#pragma once
// What morva-grid checks of its inputs and outputs before the pass over the
// points: each stops the run with one line (text::stop_run) when it fails.

#include <optional>
#include <string>
#include <vector>

#include "georef/geodesy.hpp"
#include "grid_run.hpp"
#include "point_source.hpp"

namespace morva::grid {

// The inputs opened, each once, holding heights of one kind that fit the
// raster's type.
std::vector<common::PointSource> open_inputs(const GridOptions& o);

// How the points went from metres to degrees (morva --geodesy), when the
// run's record, --geodesy or the inputs say; inputs and options that
// disagree stop the run.
std::optional<georef::Geodesy> points_geodesy(const GridOptions& o, const std::vector<common::PointSource>& sources);

// No output replaces an input (the run's record included), a folder or a
// device, and no two outputs share one file. world_file is the shaded
// relief's world file (empty without one).
void check_outputs(const GridOptions& o, const std::vector<common::PointSource>& sources, const std::string& world_file);

}  // namespace morva::grid
