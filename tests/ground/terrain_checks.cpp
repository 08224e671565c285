// The terrain model's triangulation sampled along rows and into a raster
// band, against heights known by construction (a plane is reproduced
// exactly), against the triangulation's own point-by-point heights, and
// whatever the number of threads.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "terrain_raster.hpp"
#include "terrain_triangulation.hpp"

namespace {

struct Ground {
    std::vector<double> x, y, z;
};

constexpr double kE0 = 500000, kN0 = 5400000;

double plane(double x, double y) { return 120 + 0.07 * (x - kE0) - 0.03 * (y - kN0); }
double waves(double x, double y) { return 100 + 3 * std::sin((x - kE0) / 17) * std::cos((y - kN0) / 23); }

// Jittered points on a 200 x 150 m square about 1 m apart, without those in
// a 30 m square hole (a building's footprint).
template <class Surface>
Ground make_ground(Surface surface, bool hole) {
    Ground g;
    std::mt19937 rng(11);
    std::uniform_real_distribution<double> jitter(-0.4, 0.4);
    for (int i = 0; i < 200; ++i)
        for (int j = 0; j < 150; ++j) {
            const double x = kE0 + i + 0.5 + jitter(rng), y = kN0 + j + 0.5 + jitter(rng);
            if (hole && x > kE0 + 80 && x < kE0 + 110 && y > kN0 + 60 && y < kN0 + 90) continue;
            g.x.push_back(x), g.y.push_back(y), g.z.push_back(surface(x, y));
        }
    return g;
}

TEST(TerrainModel, RowsReproduceAPlaneAndStopAtTheHull) {
    const Ground g = make_ground(plane, false);
    const terrain::TerrainTriangulation t(g.x, g.y, g.z, 5.0);
    std::vector<double> row(400);
    int inside = 0;
    for (double y = kN0 - 10.25; y < kN0 + 160; y += 3.5) {
        t.heights_along_row(y, kE0 - 50.25, 0.75, row.size(), row.data());
        for (std::size_t k = 0; k < row.size(); ++k) {
            const double x = kE0 - 50.25 + 0.75 * static_cast<double>(k);
            const bool well_inside = x > kE0 + 1 && x < kE0 + 199 && y > kN0 + 1 && y < kN0 + 149;
            const bool outside = x < kE0 - 0.5 || x > kE0 + 200.5 || y < kN0 - 0.5 || y > kN0 + 150.5;
            if (well_inside) {
                ASSERT_FALSE(std::isnan(row[k])) << x << " " << y;
                ++inside;
            }
            if (outside) {
                ASSERT_TRUE(std::isnan(row[k])) << x << " " << y;
            }
            if (!std::isnan(row[k])) {
                ASSERT_NEAR(row[k], plane(x, y), 1e-9);
            }
        }
    }
    EXPECT_GT(inside, 10000);
}

// guards: a cell in a gap wider than --max-edge given a height drawn across it
TEST(TerrainModel, GapsWiderThanTheLongestEdgeStayEmpty) {
    const Ground g = make_ground(plane, true);
    const terrain::TerrainTriangulation limited(g.x, g.y, g.z, 10.0), bridged(g.x, g.y, g.z, 50.0);
    std::vector<double> a(300), b(300);
    const double y = kN0 + 75.5;
    limited.heights_along_row(y, kE0 + 0.5, 0.5, a.size(), a.data());
    bridged.heights_along_row(y, kE0 + 0.5, 0.5, b.size(), b.data());
    for (std::size_t k = 0; k < a.size(); ++k) {
        const double x = kE0 + 0.5 + 0.5 * static_cast<double>(k);
        const bool deep_in_gap = x > kE0 + 86 && x < kE0 + 104;
        if (deep_in_gap) {
            EXPECT_TRUE(std::isnan(a[k])) << x;
        }
        if (x > kE0 + 2 && x < kE0 + 78) {
            EXPECT_FALSE(std::isnan(a[k])) << x;
        }
        ASSERT_FALSE(std::isnan(b[k])) << x;  // 30 m is bridged by edges up to 50 m
        EXPECT_NEAR(b[k], plane(x, y), 1e-9);
    }
}

TEST(TerrainModel, RowsAgreeWithHeightsPointByPoint) {
    const Ground g = make_ground(waves, true);
    const terrain::TerrainTriangulation t(g.x, g.y, g.z, 8.0);
    std::vector<double> row(230);
    for (double y = kN0 - 3.3; y < kN0 + 155; y += 7.1) {
        t.heights_along_row(y, kE0 - 10.1, 0.9, row.size(), row.data());
        for (std::size_t k = 0; k < row.size(); ++k) {
            const double x = kE0 - 10.1 + 0.9 * static_cast<double>(k);
            const terrain::TerrainHeight h = t.height_at(x, y);
            const bool measured = h.status == terrain::TerrainStatus::measured;
            // far_from_ground lies in a long-edge triangle too: both are empty.
            ASSERT_EQ(measured, !std::isnan(row[k])) << x << " " << y;
            if (measured) {
                ASSERT_DOUBLE_EQ(row[k], h.height);
            }
        }
    }
}

// The band at every cell centre, in tiles shifted against the raster as the
// grid's own are, the same on one thread and on three.
TEST(TerrainModel, BandHoldsTheCellCentresWhateverTheThreads) {
    const Ground g = make_ground(waves, true);
    const terrain::TerrainTriangulation t(g.x, g.y, g.z, 10.0);
    const double r = 0.5;
    const morva::raster::RasterGeometry geometry = morva::raster::raster_over(
        static_cast<std::int64_t>((kE0 - 5) / r), static_cast<std::int64_t>((kN0 - 5) / r),
        static_cast<std::int64_t>((kE0 + 205) / r), static_cast<std::int64_t>((kN0 + 155) / r), r);
    auto band = [&](unsigned threads) {
        morva::raster::TiledRaster raster(geometry.cols, geometry.rows, 64, 4, {-9999.0, -9999.0}, 13, 41);
        morva::raster::sample_terrain_band(t, geometry, raster, 1, threads);
        std::vector<float> cells(static_cast<std::size_t>(geometry.cells()), -1.0f);
        for (std::int64_t row = 0; row < geometry.rows; ++row)
            for (std::int64_t col = 0; col < geometry.cols; ++col) {
                const std::int64_t tc = col + raster.col_shift, tr = row + raster.row_shift;
                std::byte* tile = raster.find(tc / raster.side, tr / raster.side);
                if (tile == nullptr) continue;
                const auto at = static_cast<std::size_t>((tr % raster.side) * raster.side + tc % raster.side);
                EXPECT_EQ(morva::raster::tile_band<float>(raster, tile, 0)[at], -9999.0f);  // band 0 left alone
                cells[static_cast<std::size_t>(row * geometry.cols + col)] =
                    morva::raster::tile_band<float>(raster, tile, 1)[at];
            }
        return cells;
    };
    const std::vector<float> one = band(1), three = band(3);
    ASSERT_EQ(0, std::memcmp(one.data(), three.data(), one.size() * sizeof(float)));
    std::size_t measured = 0;
    for (std::int64_t row = 0; row < geometry.rows; row += 3)
        for (std::int64_t col = 0; col < geometry.cols; col += 3) {
            const terrain::TerrainHeight h = t.height_at(geometry.centre_e(col), geometry.centre_n(row));
            const float v = one[static_cast<std::size_t>(row * geometry.cols + col)];
            if (h.status == terrain::TerrainStatus::measured) {
                ++measured;
                ASSERT_NEAR(v, h.height, 1e-4);
            } else {
                ASSERT_TRUE(v == -9999.0f || v == -1.0f);
            }
        }
    EXPECT_GT(measured, 10000u);
}

}  // namespace

namespace {

// guards: a multipath return left as ground drawn into the terrain model as a pit
TEST(TerrainModel, PitsBelowAllTheirNeighboursGoAndHollowsStay) {
    Ground g = make_ground(plane, false);
    // A hollow 12 m across and 2 m deep, sampled like the rest: terrain.
    auto hollow = [](double x, double y) {
        const double d = std::hypot(x - (kE0 + 150), y - (kN0 + 100));
        return d < 6 ? -2 * std::cos(d / 6 * M_PI / 2) : 0.0;
    };
    for (std::size_t i = 0; i < g.x.size(); ++i) g.z[i] += hollow(g.x[i], g.y[i]);
    // Three lone low returns and a pair side by side, 3 to 15 m below.
    const double pits[][3] = {{40.2, 30.1, 3}, {120.7, 20.3, 15}, {60.1, 120.4, 5}, {90.3, 70.2, 4}, {90.9, 70.6, 6}};
    for (const auto& p : pits) {
        const double x = kE0 + p[0], y = kN0 + p[1];
        g.x.push_back(x), g.y.push_back(y), g.z.push_back(plane(x, y) - p[2]);
    }
    terrain::TerrainTriangulation t(g.x, g.y, g.z, 10.0);
    EXPECT_EQ(t.remove_pits(1.0), 5u);
    for (const auto& p : pits) {
        const double x = kE0 + p[0], y = kN0 + p[1];
        EXPECT_NEAR(t.height_at(x, y).height, plane(x, y), 1e-9) << p[0] << " " << p[1];
    }
    const double x = kE0 + 150.1, y = kN0 + 100.1;
    EXPECT_NEAR(t.height_at(x, y).height, plane(x, y) + hollow(x, y), 0.05);  // the hollow's bottom stays
}

}  // namespace
