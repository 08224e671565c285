// The accuracy library over plain files, for the end-to-end test: ground
// points ("x y z" lines), first or only returns ("x y" lines) and a check-point
// CSV in; one line per check point and the figures out, as words and numbers
// that accuracy_test.py reads.
//
//   accuracy_eval GROUND.xyz FIRST.xy CHECKPOINTS.csv MAX_EDGE LIMITS CELL
#include <cerrno>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "accuracy_figures.hpp"
#include "checkpoint_heights.hpp"
#include "checkpoints.hpp"
#include "density.hpp"
#include "terrain_triangulation.hpp"
#include "text/stop.hpp"

namespace {

void print_summary(const char* name, const accuracy::DzSummary& s) {
    std::printf("%s %zu %.9f %.9f %.9f %.9f\n", name, s.count, s.mean, s.standard_deviation, s.rmse, s.standard_error);
}

int run(int argc, char** argv) {
    if (argc != 7) {
        std::fprintf(stderr, "usage: accuracy_eval GROUND.xyz FIRST.xy CHECKPOINTS.csv MAX_EDGE LIMITS CELL\n");
        return 2;
    }
    std::vector<double> gx, gy, gz, fx, fy;
    std::ifstream ground(argv[1]);
    for (double x, y, z; ground >> x >> y >> z;) {
        gx.push_back(x);
        gy.push_back(y);
        gz.push_back(z);
    }
    std::ifstream first(argv[2]);
    for (double x, y; first >> x >> y;) {
        fx.push_back(x);
        fy.push_back(y);
    }
    std::ifstream csv(argv[3]);
    if (!csv) morva::text::stop_cannot_open(argv[3], errno);
    const auto points = accuracy::read_checkpoints(csv, argv[3]);
    std::string error;
    const auto limits = accuracy::parse_limits(argv[5], error);
    if (!limits) morva::text::stop_run("*** " + error);

    const terrain::TerrainTriangulation terrain(gx, gy, gz, std::stod(argv[4]));
    const auto heights = accuracy::measure_checkpoints(terrain, points);
    for (const auto& h : heights) {
        const bool measured = h.terrain.status == terrain::TerrainStatus::measured;
        std::printf("point %s %s %s %.9f\n", h.point->id.c_str(), std::string(accuracy::land_cover_name(h.point->cover)).c_str(),
                    measured ? "measured" : "not_measured", h.dz);
    }
    const auto f = accuracy::figures_of_measured(heights);
    print_summary("all", f.all);
    print_summary("open", f.open);
    print_summary("vegetated", f.vegetated);
    const auto verdicts = accuracy::figure_verdicts(f, *limits, 1);
    std::printf("nva %.9f %s\n", f.nva, std::string(accuracy::verdict_text(verdicts[1].verdict)).c_str());
    std::printf("vva %.9f %s\n", f.vva, std::string(accuracy::verdict_text(verdicts[2].verdict)).c_str());

    const auto raster = accuracy::density_raster(fx, fy, std::stod(argv[6]), 100'000'000);
    const auto d = accuracy::density_figures(raster, limits->density, 0.9);
    std::printf("density %zu %zu %zu %.9f %zu %.9f %s\n", d.points, d.cells_with_data, d.empty_cells, d.mean_density,
                d.cells_meeting, d.share_meeting, std::string(accuracy::verdict_text(d.verdict)).c_str());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    try {
        return run(argc, argv);
    } catch (const morva::text::RunStopped& stop) {
        std::fprintf(stderr, "%s\n", stop.line.c_str());
        return 1;
    }
}
