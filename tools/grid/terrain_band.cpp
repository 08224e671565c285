#include "terrain_band.hpp"

#include <algorithm>
#include <cstddef>
#include <future>
#include <thread>
#include <utility>

#include "classify_ground.hpp"
#include "memory_budget.hpp"
#include "ground_index.hpp"
#include "terrain_pits.hpp"
#include "terrain_raster.hpp"
#include "text/stop.hpp"

namespace morva::grid {
namespace {

// The block's points after those already held.
void append(GroundGathering& to, const raster::ProjectedBlock& b) {
    for (std::size_t k = 0; k < b.n; ++k) {
        to.x.push_back(b.en[k].e);
        to.y.push_back(b.en[k].n);
        to.z.push_back(b.geo[k].h);
    }
}

// The gathered points classified, the ground ones kept in the same arrays;
// returns how many were classified.
std::size_t keep_classified_ground(GroundGathering& ground) {
    if (ground.x.empty()) return 0;
    const ground::Points points{ground.x, ground.y, ground.z, {}, {}, {}};
    const std::vector<std::uint8_t> classes = ground::classify_ground(points, ground::GroundSettings{});
    std::size_t kept = 0;
    for (std::size_t i = 0; i < classes.size(); ++i) {
        if (classes[i] != ground::kGround) continue;
        ground.x[kept] = ground.x[i];
        ground.y[kept] = ground.y[i];
        ground.z[kept] = ground.z[i];
        ++kept;
    }
    ground.x.resize(kept), ground.y.resize(kept), ground.z.resize(kept);
    return classes.size();
}

// The class 2 points of the LAS inputs, in a pass of their own.
void add_las_ground(const std::vector<common::PointSource>& sources, const common::ProjectionRequest& request,
                    GroundGathering& ground) {
    std::vector<common::PointSource> las;
    for (const common::PointSource& s : sources) {
        if (s.kind != common::SourceKind::Las) continue;
        las.push_back(s);
        las.back().filter.classes.reset();
        las.back().filter.classes.set(2);
        las.back().filter.returns = common::Returns::All;
    }
    if (las.empty()) return;
    std::future<common::ProjectionSetup> pending = common::start_projection(request);
    common::ProjectionSetup setup;
    raster::project_points(las, pending, setup, [&](const raster::ProjectedBlock& b) { append(ground, b); });
}

GroundGathering ground_of_inputs(GroundGathering ground, const std::vector<common::PointSource>& sources,
                                 const common::ProjectionRequest& projection, const TerrainRequest& request) {
    const std::size_t classified = keep_classified_ground(ground);
    add_las_ground(sources, projection, ground);
    if (ground.x.size() < 3) {
        std::string why = "the inputs hold " + std::to_string(ground.x.size()) + " ground points";
        bool las = false;
        for (const common::PointSource& s : sources) las = las || s.kind == common::SourceKind::Las;
        if (classified > 0) why += las ? " (classified as ground, and LAS points of class 2)" : " (classified as ground)";
        else if (las) why += " (LAS points of class 2)";
        text::stop_run(request.output + ": " + why + ", too few for a terrain model (dtm); classify LAS inputs with "
                       "morva-ground, or leave dtm out of --output-type");
    }
    common::check_memory(request.in_use + ground.x.size() * kIndexBytesPerPoint, request.max_memory,
                         request.output + ": a terrain model (dtm) of " + std::to_string(ground.x.size()) +
                             " ground points",
                         "grid fewer inputs at once");
    return ground;
}

// The tiles triangulated at once (one per thread) must fit beside the raster and the ground.
void check_tile_memory(const terrain::GroundIndex& ground, const raster::RasterGeometry& g,
                       const raster::TiledRaster& raster, const raster::TerrainTiling& tiling,
                       const TerrainRequest& request) {
    const std::uint64_t largest = raster::largest_terrain_tile(ground, g, raster, tiling);
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    const std::uint64_t at_once = std::min<std::uint64_t>(tiling.threads ? tiling.threads : cores,
                                                          raster::terrain_tile_count(g, raster, tiling));
    common::check_memory(request.in_use + ground.size() * kIndexedBytesPerPoint +
                             at_once * largest * kTriangulationBytesPerPoint,
                         request.max_memory,
                         request.output + ": a terrain model (dtm) in tiles of up to " + std::to_string(largest) +
                             " ground points, " + std::to_string(at_once) + " at once",
                         "choose a smaller --dtm-tile or fewer --threads");
}

}  // namespace

void GroundGathering::reserve(std::size_t points) {
    x.reserve(points), y.reserve(points), z.reserve(points);
}

void GroundGathering::add(const raster::ProjectedBlock& b, const std::vector<common::PointSource>& sources) {
    if (sources[b.source].kind == common::SourceKind::ScanPoints) append(*this, b);
}

void add_terrain_bands(GroundGathering& gathered, const std::vector<common::PointSource>& sources,
                       const common::ProjectionRequest& projection, const TerrainRequest& request,
                       const raster::RasterGeometry& g, raster::TiledRaster& raster) {
    GroundGathering ground = ground_of_inputs(std::move(gathered), sources, projection, request);
    terrain::GroundIndex index = terrain::index_ground(std::move(ground.x), std::move(ground.y), std::move(ground.z));
    // Low outliers the classifier left as ground, by its own measure of low noise.
    terrain::remove_pits(index, ground::GroundSettings{}.low_noise_depth, request.threads);
    const raster::TerrainTiling tiling{request.max_edge, request.tile_side > 0 ? request.tile_side : 10 * request.max_edge,
                                       request.threads};
    check_tile_memory(index, g, raster, tiling, request);
    for (std::size_t k = 0; k < request.types->size(); ++k) {
        if ((*request.types)[k] == Statistic::Dtm) raster::sample_terrain_tiles(index, g, raster, static_cast<int>(k), tiling);
    }
}

}  // namespace morva::grid
