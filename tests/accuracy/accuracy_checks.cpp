// The accuracy library on inputs of known answer: a plane the triangulation
// must reproduce exactly, gaps and the outside reported, check-point lines
// refused with their number, the percentile and the density counts.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <sstream>
#include <vector>

#include "accuracy_figures.hpp"
#include "checkpoint_heights.hpp"
#include "checkpoint_window.hpp"
#include "checkpoints.hpp"
#include "density.hpp"
#include "terrain_triangulation.hpp"
#include "text/stop.hpp"

namespace {

double plane(double x, double y) { return 12.5 + 0.03 * (x - 600000) - 0.02 * (y - 5700000); }

struct Ground {
    std::vector<double> x, y, z;
};

// Random points over 100 m x 100 m of UTM coordinates, none within 15 m of (600070, 5700030).
Ground plane_ground() {
    Ground g;
    std::mt19937_64 random(7);
    std::uniform_real_distribution<double> u(0, 100);
    while (g.x.size() < 4000) {
        const double x = 600000 + u(random), y = 5700000 + u(random);
        if (std::hypot(x - 600070, y - 5700030) < 15) continue;
        g.x.push_back(x);
        g.y.push_back(y);
        g.z.push_back(plane(x, y));
    }
    return g;
}

std::string stop_line_of(const std::string& csv) {
    std::istringstream in(csv);
    try {
        accuracy::read_checkpoints(in, "cp.csv");
    } catch (const morva::text::RunStopped& stop) {
        return stop.line;
    }
    return "no stop";
}

}  // namespace

TEST(Terrain, ReproducesAPlaneAndReportsGapsAndTheOutside) {
    const Ground g = plane_ground();
    const terrain::TerrainTriangulation terrain(g.x, g.y, g.z, 5.0);
    std::mt19937_64 random(11);
    std::uniform_real_distribution<double> u(5, 95);
    for (int i = 0; i < 200; ++i) {
        const double x = 600000 + u(random), y = 5700000 + u(random);
        if (std::hypot(x - 600070, y - 5700030) < 20) continue;
        const auto h = terrain.height_at(x, y);
        ASSERT_EQ(h.status, terrain::TerrainStatus::measured) << x << " " << y;
        EXPECT_NEAR(h.height, plane(x, y), 1e-9);
    }
    // The middle of the hole: its nearest ground point is 15 m away.
    EXPECT_EQ(terrain.height_at(600070, 5700030).status, terrain::TerrainStatus::far_from_ground);
    // Near the hole's rim: ground within 5 m, but the triangle spans the hole.
    EXPECT_EQ(terrain.height_at(600070, 5700030 + 12).status, terrain::TerrainStatus::long_edge);
    EXPECT_EQ(terrain.height_at(600150, 5700050).status, terrain::TerrainStatus::outside);
    // Without a limit the hole is bridged linearly (still on the plane).
    const terrain::TerrainTriangulation unlimited(g.x, g.y, g.z, 0);
    const auto bridged = unlimited.height_at(600070, 5700030);
    ASSERT_EQ(bridged.status, terrain::TerrainStatus::measured);
    EXPECT_NEAR(bridged.height, plane(600070, 5700030), 1e-9);
}

TEST(CheckPoints, ReadsTheSimulatorsFormAndRefusesBadLinesByNumber) {
    std::istringstream good("# check points: a comment\nid,easting,northing,height,land_cover\n"
                            "1,637436.475,5763113.656,10.6183,open\n 2 , 637426.407,5763125.008,10.9650,vegetated\r\n\n");
    const auto points = accuracy::read_checkpoints(good, "cp.csv");
    ASSERT_EQ(points.size(), 2u);
    EXPECT_EQ(points[1].id, "2");
    EXPECT_EQ(points[1].northing, 5763125.008);
    EXPECT_EQ(points[1].cover, accuracy::LandCover::vegetated);
    const std::string head = "# c\nid,easting,northing,height,land_cover\n1,1,2,3,open\n";
    EXPECT_EQ(stop_line_of(head + "2,1,2,x3,open\n"), "*** cp.csv line 4: the height 'x3' is not a number");
    EXPECT_EQ(stop_line_of(head + "2,1,2,3\n"),
              "*** cp.csv line 4: expected 5 fields (id,easting,northing,height,land_cover), found 4");
    EXPECT_EQ(stop_line_of(head + "2,1,2,3,forest\n"),
              "*** cp.csv line 4: the land cover 'forest' is neither open nor vegetated");
    EXPECT_EQ(stop_line_of(head + "1,1,2,3,open\n"), "*** cp.csv line 4: the id '1' is repeated");
    EXPECT_EQ(stop_line_of("1,1,2,3,open\n"), "*** cp.csv line 1: expected the header id,easting,northing,height,land_cover");
    EXPECT_EQ(stop_line_of("# only a comment\nid,easting,northing,height,land_cover\n"), "*** cp.csv holds no check point");
}

TEST(Figures, PercentileRmseAndVerdicts) {
    std::vector<double> values;
    for (int i = 20; i >= 1; --i) values.push_back(i);
    EXPECT_DOUBLE_EQ(accuracy::quantile(values, 0.95), 19.05);  // 1 + 0.95 x 19
    EXPECT_DOUBLE_EQ(accuracy::quantile({4.0}, 0.95), 4.0);
    const std::vector<double> dz = {0.03, -0.04, 0.12, -0.30, 0.20};
    const std::vector<accuracy::LandCover> covers = {accuracy::LandCover::open, accuracy::LandCover::open,
                                                     accuracy::LandCover::open, accuracy::LandCover::vegetated,
                                                     accuracy::LandCover::vegetated};
    const auto f = accuracy::accuracy_figures(dz, covers);
    const double rmse_open = std::sqrt((0.03 * 0.03 + 0.04 * 0.04 + 0.12 * 0.12) / 3);
    EXPECT_DOUBLE_EQ(f.open.rmse, rmse_open);
    EXPECT_DOUBLE_EQ(f.nva, 1.96 * rmse_open);
    EXPECT_DOUBLE_EQ(f.vva, 0.20 + 0.95 * 0.10);
    EXPECT_NEAR(f.all.mean, 0.01 / 5, 1e-15);
    const auto verdicts = accuracy::figure_verdicts(f, *accuracy::quality_level("QL1"), 1);
    EXPECT_EQ(verdicts[1].verdict, accuracy::Verdict::pass);   // NVA: 1.96 x 0.075 <= 0.196
    EXPECT_EQ(verdicts[2].verdict, accuracy::Verdict::fail);   // VVA: 0.295 > 0.294
    const auto none = accuracy::figure_verdicts(accuracy::accuracy_figures({}, {}), *accuracy::quality_level("QL0"), 1);
    EXPECT_EQ(none[1].verdict, accuracy::Verdict::not_tested);
    EXPECT_EQ(none[2].verdict, accuracy::Verdict::not_tested);
    EXPECT_FALSE(accuracy::quality_level("ql1"));
}

TEST(Density, CountsCellsAndJudgesTheShare) {
    // Cells of 2 m: (0..2, 0..2) holds 9 points (2.25 /m2), (2..4, 0..2) 4 (1 /m2), (0..2, 2..4) none.
    std::vector<double> x, y;
    for (int i = 0; i < 9; ++i) x.push_back(0.1 + 0.2 * i), y.push_back(0.5);
    for (int i = 0; i < 4; ++i) x.push_back(2.5), y.push_back(0.2 + 0.4 * i);
    x.push_back(3.9), y.push_back(3.9);  // (2..4, 2..4): 1 point
    const auto raster = accuracy::density_raster(x, y, 2.0, 100);
    ASSERT_EQ(raster.columns, 2u);
    ASSERT_EQ(raster.rows, 2u);
    const auto f = accuracy::density_figures(raster, 2.0, 0.3);
    EXPECT_EQ(f.points, 14u);
    EXPECT_EQ(f.cells_with_data, 3u);
    EXPECT_EQ(f.empty_cells, 1u);
    EXPECT_EQ(f.cells_meeting, 1u);
    EXPECT_DOUBLE_EQ(f.mean_density, 14.0 / 12.0);
    EXPECT_EQ(f.verdict, accuracy::Verdict::fail);  // the mean is below 2
    EXPECT_EQ(accuracy::density_figures(raster, 1.0, 0.6).verdict, accuracy::Verdict::pass);
    EXPECT_EQ(accuracy::density_figures(raster, 1.0, 0.7).verdict, accuracy::Verdict::fail);  // 2 of 3 cells
    EXPECT_EQ(accuracy::density_figures(raster, 0, 0.9).verdict, accuracy::Verdict::not_tested);
    EXPECT_EQ(f.void_cells, 0u);  // the empty cell lies outside the data on its row
}

// guards: sparse points in fine cells read as dense (the empty cells between
// them were left out of the area)
TEST(Density, EmptyCellsBetweenPointsOnARowAreVoidsOfTheData) {
    // One row of 1 m cells: 2 points, nothing, nothing, 2 points; and a second
    // row with a single cell of 1 point to the east, outside the first row's span.
    const std::vector<double> x = {0.5, 0.6, 3.5, 3.6, 6.5}, y = {0.5, 0.5, 0.5, 0.5, 1.5};
    const auto raster = accuracy::density_raster(x, y, 1.0, 100);
    const auto f = accuracy::density_figures(raster, 2.0, 0.5);
    EXPECT_EQ(f.cells_with_data, 3u);
    EXPECT_EQ(f.void_cells, 2u);
    EXPECT_DOUBLE_EQ(f.mean_density, 5.0 / 5.0);
    EXPECT_DOUBLE_EQ(f.share_meeting, 2.0 / 5.0);
    EXPECT_EQ(f.verdict, accuracy::Verdict::fail);
}

// guards: counts lost or misplaced where the streamed counter's tiles meet (negative coordinates, tile edges)
TEST(Density, TheStreamedCounterEqualsTheRasterOfThePoints) {
    std::mt19937_64 random(11);
    std::uniform_real_distribution<double> across(-700.0, 900.0), along(-300.0, 260.0);
    std::vector<double> x, y;
    accuracy::DensityCounter counter(1.5);
    for (int i = 0; i < 200000; ++i) {
        x.push_back(across(random));
        y.push_back(along(random));
        counter.add(x.back(), y.back());
    }
    counter.add(NAN, 1.0);  // not counted
    const auto expected = accuracy::density_raster(x, y, 1.5, 10'000'000);
    const auto streamed = counter.raster(10'000'000);
    EXPECT_EQ(streamed.columns, expected.columns);
    EXPECT_EQ(streamed.rows, expected.rows);
    EXPECT_EQ(streamed.west, expected.west);
    EXPECT_EQ(streamed.north, expected.north);
    EXPECT_EQ(streamed.counts, expected.counts);
    EXPECT_THROW(counter.raster(1000), morva::text::RunStopped);
}

TEST(CheckPointHeights, ListsTheUnmeasuredAndStopsWhenNoneIsMeasured) {
    const Ground g = plane_ground();
    const terrain::TerrainTriangulation terrain(g.x, g.y, g.z, 5.0);
    std::vector<accuracy::CheckPoint> points = {{"a", 600010, 5700010, plane(600010, 5700010) - 0.03},
                                                {"b", 600070, 5700030, 0},
                                                {"c", 600500, 5700010, 0}};
    const auto heights = accuracy::measure_checkpoints(terrain, points);
    ASSERT_EQ(heights.size(), 3u);
    EXPECT_NEAR(heights[0].dz, 0.03, 1e-9);
    EXPECT_EQ(heights[1].terrain.status, terrain::TerrainStatus::far_from_ground);
    EXPECT_EQ(heights[2].terrain.status, terrain::TerrainStatus::outside);
    const auto f = accuracy::figures_of_measured(heights);
    EXPECT_EQ(f.all.count, 1u);
    // guards: check points in another coordinate system giving figures of nothing.
    const auto none = accuracy::measure_checkpoints(terrain, std::span(points).subspan(1));
    try {
        accuracy::figures_of_measured(none);
        ADD_FAILURE() << "no stop";
    } catch (const morva::text::RunStopped& stop) {
        EXPECT_EQ(stop.line, "*** none of the 2 check points lies within the ground points (1 outside the data, 1 farther "
                             "than the longest edge from a ground point, 0 in a gap); are they in the points' coordinate system?");
    }
}

TEST(Figures, LimitsByLevelOrExplicit) {
    std::string error;
    const auto ql2 = accuracy::parse_limits("QL2", error);
    ASSERT_TRUE(ql2);
    EXPECT_EQ(ql2->density, 2.0);
    const auto given = accuracy::parse_limits("rmsez=0.08,vva=0.25", error);
    ASSERT_TRUE(given);
    EXPECT_EQ(given->rmsez, 0.08);
    EXPECT_EQ(given->vva, 0.25);
    EXPECT_EQ(given->nva, 0.0);  // not limited: not tested
    const std::pair<const char*, const char*> refused[] = {
        {"QL4", "'QL4' is neither QL0, QL1, QL2, QL3 nor a list of rmsez=, nva=, vva=, density="},
        {"rmsez=0.1,rmse=2", "'rmse=2' is not one of rmsez=, nva=, vva=, density="},
        {"nva=0.2,nva=0.3", "nva is given twice"},
        {"density=-1", "the density limit '-1' is not a number above 0"},
        {"vva=0.2x", "the vva limit '0.2x' is not a number above 0"},
    };
    for (const auto& [text, message] : refused) {
        error.clear();
        EXPECT_FALSE(accuracy::parse_limits(text, error)) << text;
        EXPECT_EQ(error, message);
    }
}

TEST(CheckPointWindow, TheGroundAroundTheCheckPointsGivesTheSameHeights) {
    // Ground with relief (a plane is reproduced by any triangle): heights from
    // the points within 2 x max_edge of the check points equal those of all points.
    Ground g = plane_ground();
    for (std::size_t i = 0; i < g.x.size(); ++i) g.z[i] += 0.5 * std::sin(g.x[i] * 0.7) * std::cos(g.y[i] * 0.9);
    std::vector<accuracy::CheckPoint> points;
    std::mt19937_64 random(3);
    std::uniform_real_distribution<double> u(-5, 105);
    for (int i = 0; i < 20; ++i)
        points.push_back({std::to_string(i), 600000 + u(random), 5700000 + u(random), 0});
    const double max_edge = 5.0;
    const accuracy::CheckPointWindow window(points, 2 * max_edge);
    Ground near;
    for (std::size_t i = 0; i < g.x.size(); ++i)
        if (window.contains(g.x[i], g.y[i])) near.x.push_back(g.x[i]), near.y.push_back(g.y[i]), near.z.push_back(g.z[i]);
    EXPECT_LT(near.x.size(), g.x.size() / 2);
    const terrain::TerrainTriangulation all(g.x, g.y, g.z, max_edge), local(near.x, near.y, near.z, max_edge);
    int measured = 0;
    for (const auto& p : points) {
        const auto a = all.height_at(p.easting, p.northing);
        if (a.status != terrain::TerrainStatus::measured) continue;
        ++measured;
        const auto b = local.height_at(p.easting, p.northing);
        ASSERT_EQ(b.status, terrain::TerrainStatus::measured) << p.id;
        EXPECT_NEAR(a.height, b.height, 1e-9) << p.id;  // the same triangle, its corners maybe in another order
    }
    EXPECT_GT(measured, 12);
    EXPECT_FALSE(window.contains(600500, 5700500));
    EXPECT_FALSE(window.contains(std::nan(""), 5700000));
}
