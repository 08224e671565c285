#pragma once
// The one pass over the points of every input: a reader thread decodes and
// projects blocks (and finds each point's cell when asked) while the
// caller's thread bins them, and PROJ's start-up overlaps the first reads.

#include <cstdint>
#include <functional>
#include <future>
#include <string>
#include <vector>

#include "grid.hpp"
#include "point_source.hpp"
#include "projection.hpp"

namespace morva::raster {

// The centre of the inputs' bounds (LAS headers, samples of scan-point records).
void inputs_centre(const std::vector<common::PointSource>& sources, double& lon, double& lat);

// The projection for these inputs: `crs` ("" for the default) as given. LAS
// inputs all in one projected CRS, without a crs, keep it (the raster is
// made in their CRS and units); geographic inputs go to crs, by default the
// WGS 84 UTM zone of their centre. Inputs of other mixtures stop with one line.
common::ProjectionRequest projection_request(const std::vector<common::PointSource>& sources, const std::string& crs);

struct ProjectedBlock {
    std::uint32_t source = 0;      // index of the input
    std::size_t n = 0;
    const common::GeoPoint* geo = nullptr;   // longitude, latitude, height
    const common::Projected* en = nullptr;   // easting, northing
    const CellIndex* cells = nullptr;  // each point's cell, when the pass was given a resolution
};

struct PassCounts {
    std::uint64_t points = 0;
    std::uint64_t not_points = 0;
    std::uint64_t filtered = 0;  // LAS points left out by the inputs' filters
    std::vector<std::uint64_t> points_per_source;
};

// Streams every source in order and hands each block, projected, to sink on
// the calling thread. pending: the projection being made (start_projection),
// waited for once the first block is read, and stored in setup; its error,
// or a point the projection cannot place, stops with one line. With a
// resolution above 0, the reader's thread finds each point's cell too.
PassCounts project_points(const std::vector<common::PointSource>& sources, std::future<common::ProjectionSetup>& pending,
                          common::ProjectionSetup& setup, const std::function<void(const ProjectedBlock&)>& sink,
                          double cell_resolution = 0);

}  // namespace morva::raster
