// Load times of the two start-up inputs at their full capacity: 487999
// trajectory records with attitude (the most a load may keep) and a geoid
// grid of 500000 nodes. The files are written once into the temporary folder.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "inputs/geoid.hpp"
#include "inputs/trajectory.hpp"
#include "text/out_stream.hpp"

namespace {

namespace fs = std::filesystem;
using namespace morva;

// Realistic record text: 200 Hz, a track heading north-east at ~250 km/h.
const fs::path& trajectory_file() {
    static const fs::path path = [] {
        fs::path p = fs::temp_directory_path() / ("morva_bench_traj_" + std::to_string(::getpid()) + ".txt");
        std::FILE* f = std::fopen(p.c_str(), "w");
        for (std::int32_t i = 0; i < inputs::kTrajectorySlots - 1; ++i) {
            const double t = 10.0 + i * 0.005 / 3600.0;
            std::fprintf(f, "%.10f %.9f %.9f %9.3f %8.4f %8.4f %9.4f\n", t, 50.0 + i * 2.5e-6,
                         8.0 + i * 3.9e-6, 1200.0 + (i % 100) * 0.01, 1.25 - (i % 50) * 0.01,
                         -0.5 + (i % 70) * 0.01, 45.0 + (i % 360) * 0.5);
        }
        std::fclose(f);
        return p;
    }();
    return path;
}

const fs::path& geoid_file() {
    static const fs::path path = [] {
        fs::path p = fs::temp_directory_path() / ("morva_bench_geoid_" + std::to_string(::getpid()) + ".txt");
        std::FILE* f = std::fopen(p.c_str(), "w");
        std::fprintf(f, "45.0 54.99 5.0 14.98 0.01 0.02\n");  // 1000 rows of 500
        for (int r = 0; r < 1000; ++r) {
            for (int c = 0; c < 500; ++c) std::fprintf(f, "%7.3f%c", 47.0 + (r * 7 + c * 3) % 1000 * 0.001,
                                                       c % 10 == 9 ? '\n' : ' ');
        }
        std::fclose(f);
        return p;
    }();
    return path;
}

inputs::RunControl whole_file_window() {
    inputs::RunControl rc;
    rc.tstart = 0;
    rc.tend = 24;
    rc.attitude = true;
    return rc;
}

// Reading and the speed loop, without the summary lines.
void BM_TrajectoryLoad487999(benchmark::State& state) {
    const fs::path& path = trajectory_file();
    const inputs::RunControl rc = whole_file_window();
    inputs::TrajectoryTable table;
    table.slot = inputs::allocate_trajectory_slots();
    for (auto _ : state) {
        text::TextReader in;
        text::open_in(in, path.string());
        inputs::read_trajectory_records(in, rc, table);
        inputs::TrajectorySpread s = inputs::trajectory_speeds(table.slot.get(), table.ntraj);
        benchmark::DoNotOptimize(s);
        text::close_in(in);
    }
    if (table.ntraj != inputs::kTrajectorySlots - 1) state.SkipWithError("wrong record count");
    state.counters["records"] = table.ntraj;
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(fs::file_size(path)));
}
BENCHMARK(BM_TrajectoryLoad487999)->Unit(benchmark::kMillisecond);

void BM_GeoidLoad500000(benchmark::State& state) {
    const fs::path& path = geoid_file();
    inputs::GeoidGrid grid;
    for (auto _ : state) {
        inputs::load_geoid(path.string(), grid);
        text::console().used = 0;  // drop the confirmation line
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(fs::file_size(path)));
}
BENCHMARK(BM_GeoidLoad500000)->Unit(benchmark::kMillisecond);

void BM_Bilin(benchmark::State& state) {
    inputs::GeoidGrid grid;
    inputs::load_geoid(geoid_file().string(), grid);
    text::console().used = 0;
    double x = 1.0;
    for (auto _ : state) {
        x += 0.37;
        if (x > 1002) x = -1;
        benchmark::DoNotOptimize(inputs::bilin(x, x * 0.5, grid.node.get(), grid.nlat, grid.nlon));
    }
}
BENCHMARK(BM_Bilin);

// The files go when the benchmarks are done.
struct Cleanup {
    ~Cleanup() {
        std::error_code ec;
        fs::remove(fs::temp_directory_path() / ("morva_bench_traj_" + std::to_string(::getpid()) + ".txt"), ec);
        fs::remove(fs::temp_directory_path() / ("morva_bench_geoid_" + std::to_string(::getpid()) + ".txt"), ec);
    }
} cleanup;

}  // namespace
