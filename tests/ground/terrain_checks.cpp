// The terrain model's triangulation sampled along rows and into a raster
// band, against heights known by construction (a plane is reproduced
// exactly), against the triangulation's own point-by-point heights, and
// whatever the number of threads.
#include <gtest/gtest.h>

#include <cctype>
#include <cmath>
#include <cstring>
#include <iostream>
#include <random>
#include <utility>
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

// The cells of r over the ground's box and 5 m around it.
morva::raster::RasterGeometry test_geometry(double r) {
    return morva::raster::raster_over(static_cast<std::int64_t>((kE0 - 5) / r), static_cast<std::int64_t>((kN0 - 5) / r),
                                      static_cast<std::int64_t>((kE0 + 205) / r), static_cast<std::int64_t>((kN0 + 155) / r), r);
}

// The tile holding a cell (null: not stored) and the cell's place in it.
std::pair<std::byte*, std::size_t> cell_in(const morva::raster::TiledRaster& raster, std::int64_t row, std::int64_t col) {
    const std::int64_t tc = col + raster.col_shift, tr = row + raster.row_shift;
    return {raster.find(tc / raster.side, tr / raster.side),
            static_cast<std::size_t>((tr % raster.side) * raster.side + tc % raster.side)};
}

// The band at every cell centre, in tiles shifted against the raster as the
// grid's own are, the same on one thread and on three.
TEST(TerrainModel, BandHoldsTheCellCentresWhateverTheThreads) {
    const Ground g = make_ground(waves, true);
    const terrain::TerrainTriangulation t(g.x, g.y, g.z, 10.0);
    const morva::raster::RasterGeometry geometry = test_geometry(0.5);
    auto band = [&](unsigned threads) {
        morva::raster::TiledRaster raster(geometry.cols, geometry.rows, 64, 4, {-9999.0, -9999.0}, 13, 41);
        morva::raster::sample_terrain_band(t, geometry, raster, 1, threads);
        std::vector<float> cells(static_cast<std::size_t>(geometry.cells()), -1.0f);
        for (std::int64_t row = 0; row < geometry.rows; ++row)
            for (std::int64_t col = 0; col < geometry.cols; ++col) {
                const auto [tile, at] = cell_in(raster, row, col);
                if (tile == nullptr) continue;
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

#include "ground_index.hpp"
#include "terrain_pits.hpp"

namespace {

// The terrain model tile by tile against the triangulation of all the ground
// (an independent computation of the same cells): the same bits in every
// cell whatever the tiles, the threads and the bytes of a value.
struct TiledCase {
    const char* name;
    double max_edge;  // CRS units
    double tile;      // a tile's side
    unsigned threads;
    int value_size;
    bool strip;       // a strip flown diagonally across the box (thin triangles along its edges)
    bool lattice = false;  // the points on a square lattice: every four of a square on one circle
    bool repeated = false;  // some positions twice, the second time higher (the lowest is kept)
};

// guards: a cell beside a strip's edge given a height by a thin triangle of
// its tile that the whole triangulation does not have (a point further
// along the edge lies in its circle)
const TiledCase kTiledCases[] = {
    {"one tile", 10, 1000, 1, 8, false},
    {"tiles of 8 m, 3 threads", 10, 8, 3, 8, false},
    {"tiles of 24 m, 2 threads, float", 6, 24, 2, 4, false},
    {"strip, tiles of 8 m, 3 threads", 10, 8, 3, 8, true},
    {"strip, long edges, tiles of 16 m", 40, 16, 2, 8, true},
    {"strip, short edges, tiles of 8 m", 2.5, 8, 4, 8, true},
    {"lattice, tiles of 8 m", 10, 8, 3, 8, false, true},
    // guards: a repeated position's height taken as the order of the points left it, differing between tiles
    {"repeated positions, tiles of 8 m", 10, 8, 3, 8, false, false, true},
};

// Jittered ground over waves with a building's hole, low pits (lone and in
// pairs, some on tiles' edges) and, for a strip, only the points within
// 40 m of the box's diagonal.
Ground pitted_ground(bool strip, bool lattice) {
    Ground g = make_ground(waves, true);
    if (lattice) {
        for (std::size_t i = 0; i < g.x.size(); ++i) {
            g.x[i] = std::round(g.x[i] - kE0) + kE0, g.y[i] = std::round(g.y[i] - kN0) + kN0;
            g.z[i] = waves(g.x[i], g.y[i]);
        }
    }
    std::mt19937 rng(5);
    std::uniform_real_distribution<double> at(0, 1);
    for (int k = 0; k < 60; ++k) {
        const double x = kE0 + 2 + 196 * at(rng), y = kN0 + 2 + 146 * at(rng), depth = 1.5 + 10 * at(rng);
        g.x.push_back(x), g.y.push_back(y), g.z.push_back(waves(x, y) - depth);
        if (k % 4 == 0) g.x.push_back(x + 0.3), g.y.push_back(y + 0.2), g.z.push_back(waves(x, y) - depth - 0.5);
    }
    if (!strip) return g;
    Ground s;
    for (std::size_t i = 0; i < g.x.size(); ++i) {
        if (std::abs((g.x[i] - kE0) * 0.6 - (g.y[i] - kN0)) > 40) continue;
        s.x.push_back(g.x[i]), s.y.push_back(g.y[i]), s.z.push_back(g.z[i]);
    }
    return s;
}

// Every cell of band 0 (empty ones as the empty value).
std::vector<double> band_values(const morva::raster::TiledRaster& raster, const morva::raster::RasterGeometry& geometry) {
    std::vector<double> cells(static_cast<std::size_t>(geometry.cells()), -9999.0);
    for (std::int64_t row = 0; row < geometry.rows; ++row)
        for (std::int64_t col = 0; col < geometry.cols; ++col) {
            const auto [tile, at] = cell_in(raster, row, col);
            if (tile == nullptr) continue;
            cells[static_cast<std::size_t>(row * geometry.cols + col)] =
                raster.value_size == 4 ? morva::raster::tile_band<float>(raster, tile, 0)[at]
                                       : morva::raster::tile_band<double>(raster, tile, 0)[at];
        }
    return cells;
}

class TiledTerrain : public testing::TestWithParam<TiledCase> {};

TEST_P(TiledTerrain, EqualsTheWholeTriangulation) {
    const TiledCase& c = GetParam();
    const Ground g = pitted_ground(c.strip, c.lattice);
    const double depth = 1.0;
    const morva::raster::RasterGeometry geometry = test_geometry(0.5);
    auto fresh = [&] { return morva::raster::TiledRaster(geometry.cols, geometry.rows, 16, c.value_size, {-9999.0}, 5, 11); };

    terrain::TerrainTriangulation whole(g.x, g.y, g.z, c.max_edge);
    const std::size_t whole_pits = whole.remove_pits(depth);
    morva::raster::TiledRaster expected = fresh();
    morva::raster::sample_terrain_band(whole, geometry, expected, 0, 1);

    Ground given = g;
    for (std::size_t i = 0; c.repeated && i < g.x.size(); i += 97) {
        given.x.insert(given.x.begin(), g.x[i]), given.y.insert(given.y.begin(), g.y[i]);
        given.z.insert(given.z.begin(), g.z[i] + 0.7);
    }
    terrain::GroundIndex index = terrain::index_ground(given.x, given.y, given.z);
    EXPECT_EQ(terrain::remove_pits(index, depth, c.threads), whole_pits);
    EXPECT_GT(whole_pits, c.strip ? 10u : 40u);
    morva::raster::TiledRaster got = fresh();
    morva::raster::sample_terrain_tiles(index, geometry, got, 0, {c.max_edge, c.tile, c.threads});

    // Four points on one circle (a lattice's squares) have two Delaunay
    // triangulations, and which one a triangulation takes depends on the
    // order its points came in: there a cell may differ, by at most half
    // the square's twist (the two planes' difference at its centre).
    double twist = 0;
    for (int i = 0; c.lattice && i < 200; ++i)
        for (int j = 0; j < 150; ++j) {
            const double x = kE0 + i, y = kN0 + j;
            twist = std::max(twist, std::abs(waves(x, y) + waves(x + 1, y + 1) - waves(x + 1, y) - waves(x, y + 1)) / 2);
        }
    const std::vector<double> a = band_values(expected, geometry), b = band_values(got, geometry);
    std::size_t measured = 0, differing = 0, presence = 0;
    double worst = 0;
    for (std::size_t k = 0; k < a.size(); ++k) {
        measured += a[k] != -9999.0;
        differing += std::memcmp(&a[k], &b[k], sizeof(double)) != 0;
        if (a[k] == -9999.0 || b[k] == -9999.0) {
            presence += (a[k] == -9999.0) != (b[k] == -9999.0);
            continue;
        }
        worst = std::max(worst, std::abs(a[k] - b[k]));
    }
    std::cerr << c.name << ": " << differing << " cells differ, " << presence << " in presence, by up to " << worst
              << " m (half the greatest twist " << twist << " m)\n";
    if (c.lattice) {
        // ... and where such points span a gap, one triangulation may
        // bridge it with edges short enough where the other does not.
        EXPECT_LE(worst, twist) << c.name;
        EXPECT_LT(differing, measured / 100) << c.name;
        EXPECT_LT(presence, measured / 5000) << c.name;
    } else {
        EXPECT_EQ(differing, 0u) << c.name;
    }
    EXPECT_GT(measured, c.strip ? 20000u : 80000u);
}

INSTANTIATE_TEST_SUITE_P(TerrainModel, TiledTerrain, testing::ValuesIn(kTiledCases),
                         [](const testing::TestParamInfo<TiledCase>& info) {
                             std::string name;
                             for (const char* p = info.param.name; *p; ++p) name += std::isalnum(*p) ? *p : '_';
                             return name;
                         });

}  // namespace
