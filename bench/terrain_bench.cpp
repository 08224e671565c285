// What one Delaunay triangulation of ground points costs per point (CGAL's,
// spatially sorted, as the dtm band builds it in every tile): the floor
// under the terrain model's time, whatever is done around it. Points on a
// jittered lattice 0.5 m apart, as dense as a low flight's ground.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "terrain_triangulation.hpp"

namespace {

struct GroundPoints {
    std::vector<double> x, y, z;
};

GroundPoints jittered_lattice(std::int64_t count) {
    GroundPoints g;
    std::int64_t side = 1;
    while (side * side < count) ++side;
    std::uint64_t state = 0x9E3779B97F4A7C15ull;
    auto unit = [&] {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        return static_cast<double>(state >> 11) * 0x1.0p-53;
    };
    for (std::int64_t i = 0; i < count; ++i) {
        const double col = static_cast<double>(i % side), row = static_cast<double>(i / side);
        g.x.push_back(500000.0 + 0.5 * (col + unit()));
        g.y.push_back(5500000.0 + 0.5 * (row + unit()));
        g.z.push_back(100.0 + 0.1 * unit());
    }
    return g;
}

void BM_TriangulateGround(benchmark::State& state) {
    const GroundPoints g = jittered_lattice(state.range(0));
    for (auto _ : state) {
        terrain::TerrainTriangulation t(g.x, g.y, g.z, 50.0);
        benchmark::DoNotOptimize(t.height_at(g.x[0] + 0.1, g.y[0] + 0.1));
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_TriangulateGround)->Arg(1 << 20)->Arg(1 << 22)->Unit(benchmark::kMillisecond);

}  // namespace
