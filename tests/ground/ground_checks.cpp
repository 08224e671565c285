// The ground classifier on a scene whose truth is known by construction
// (sloping terrain with a step, buildings, a tree, low outliers), the
// independence of the result from the tiling and the threads, and the
// square erosion against a direct search.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "classify_ground.hpp"
#include "surface_grid.hpp"

namespace {

// near_threshold: points about the height threshold above the terrain, whose
// class rests on the terrain model's last digits; only their sameness counts.
enum class Truth { terrain, object, low_outlier, near_threshold };

struct Scene {
    std::vector<double> x, y, z;
    std::vector<std::uint8_t> classification;
    std::vector<Truth> truth;
    ground::Points points() const { return {x, y, z, {}, {}, classification}; }
    void add(double px, double py, double pz, Truth t) {
        x.push_back(px), y.push_back(py), z.push_back(pz), truth.push_back(t);
        classification.push_back(0);
    }
};

// Terrain rising 5 % east and 2 % north, with a 3 m step up at x = 220;
// coordinates as far from the origin as projected ones are.
double terrain(double x, double y) {
    const double ex = x - 500000, ny = y - 5400000;
    return 100 + 0.05 * ex + 0.02 * ny + (ex >= 220 ? 3.0 : 0.0);
}

bool inside(double x, double y, double x0, double y0, double x1, double y1) {
    return x >= x0 && x < x1 && y >= y0 && y < y1;
}

Scene make_scene() {
    Scene s;
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> jitter(-0.35, 0.35);
    const double e0 = 500000, n0 = 5400000;
    for (int i = 0; i < 400; ++i)
        for (int j = 0; j < 300; ++j) {
            const double x = e0 + i + 0.5 + jitter(rng), y = n0 + j + 0.5 + jitter(rng);
            const double ex = x - e0, ny = y - n0;
            if (ex < 250 && ny < 40) continue;  // no data there: the outline has a notch
            if (inside(ex, ny, 60, 60, 100, 85)) {  // a large flat-roofed building
                s.add(x, y, terrain(e0 + 60, n0 + 60) + 9, Truth::object);
            } else if (inside(ex, ny, 300, 200, 306, 206)) {  // a shed
                s.add(x, y, terrain(x, y) + 2.5, Truth::object);
            } else {
                s.add(x, y, terrain(x, y) + 0.5 * jitter(rng), Truth::terrain);  // rough ground
                if (std::hypot(ex - 150, ny - 220) < 5)  // a tree's crown over the ground
                    s.add(x, y, terrain(x, y) + 7 + jitter(rng), Truth::object);
            }
        }
    for (int k = 0; k < 125; ++k) {  // low plants along the notch's edge
        const double x = e0 + 2 * k + 0.3, y = n0 + 40.2 + 0.01 * k;
        s.add(x, y, terrain(x, y) + 0.4 + 0.002 * k, Truth::near_threshold);
    }
    for (int k = 0; k < 12; ++k) {  // isolated multipath returns well below the ground
        const double x = e0 + 120.3 + 23 * k, y = n0 + 50.7 + 20 * k;
        s.add(x, y, terrain(x, y) - 5, Truth::low_outlier);
    }
    return s;
}

TEST(GroundClassifier, SeparatesTerrainObjectsAndLowOutliers) {
    const Scene scene = make_scene();
    const std::vector<std::uint8_t> classes = ground::classify_ground(scene.points(), {});
    std::size_t terrain = 0, terrain_missed = 0, objects = 0, objects_called_ground = 0;
    for (std::size_t i = 0; i < classes.size(); ++i) {
        switch (scene.truth[i]) {
            case Truth::terrain: ++terrain, terrain_missed += classes[i] != ground::kGround; break;
            case Truth::object: ++objects, objects_called_ground += classes[i] == ground::kGround; break;
            case Truth::low_outlier: EXPECT_EQ(classes[i], ground::kLowNoise) << "point " << i; break;
            case Truth::near_threshold: break;
        }
        EXPECT_TRUE(classes[i] == 1 || classes[i] == 2 || classes[i] == 7);
    }
    EXPECT_LT(double(terrain_missed) / terrain, 0.005) << terrain_missed << " of " << terrain;
    EXPECT_EQ(objects_called_ground, 0u) << "of " << objects;
}

// Ground tilted 4 %, waved gently, with a given noise, and domes of low
// vegetation (the simulator's profile h (1 - q^2)^2, 3 to 7 m wide, 0.2 to
// 0.8 m high) every 23 m; truth by construction.
struct DomeCase {
    const char* name;
    double noise;    // the ground's noise: normal deviation, or half-width of a uniform
    bool rough;      // uniform (rough ground) rather than normal
    double spacing;  // between points along both axes
};

Scene make_domes(const DomeCase& c) {
    Scene s;
    std::mt19937 rng(5);
    std::normal_distribution<double> normal(0.0, c.noise);
    std::uniform_real_distribution<double> uniform(-c.noise, c.noise), jitter(-0.3, 0.3);
    const double e0 = 600000, n0 = 5300000;
    for (double a = 0; a < 240; a += c.spacing)
        for (double b = 0; b < 240; b += c.spacing) {
            const double ex = a + jitter(rng) * c.spacing, ny = b + jitter(rng) * c.spacing;
            const double ground = 50 + 0.04 * ex + 0.5 * std::sin(ny / 40.0);
            const double noise = c.rough ? uniform(rng) : normal(rng);
            // The nearest dome's centre, radius and height.
            const double cx = 23.0 * std::round(ex / 23.0), cy = 23.0 * std::round(ny / 23.0);
            const int k = int(cx / 23.0 + 11 * cy / 23.0);
            const double radius = 1.5 + 0.5 * (k % 5), height = 0.2 + 0.15 * (k % 5);
            const double q = std::hypot(ex - cx, ny - cy) / radius;
            if (q < 1) {
                s.add(e0 + ex, n0 + ny, ground + height * (1 - q * q) * (1 - q * q) + noise, Truth::object);
                s.classification.back() = (1 - q * q) * (1 - q * q) * height > 0.25 ? 3 : 0;  // the tall part
            } else {
                s.add(e0 + ex, n0 + ny, ground + noise, Truth::terrain);
            }
        }
    return s;
}

TEST(GroundClassifier, TellsLowVegetationFromSmoothGroundOnly) {
    // Over smooth, densely sampled ground most of the domes' points more
    // than 0.25 m up are objects and the ground stays ground; over rough
    // ground the threshold does not follow the spread: the classes are
    // those with it switched off.
    const DomeCase cases[] = {{"smooth", 0.02, false, 0.7}, {"rough", 0.3, true, 0.7}};
    ground::GroundSettings off;
    off.scatter_factor = 1e9;  // every square's limit beyond the plain threshold
    for (const DomeCase& c : cases) {
        Scene scene = make_domes(c);
        std::vector<bool> tall(scene.x.size());
        for (std::size_t i = 0; i < tall.size(); ++i) tall[i] = scene.classification[i] == 3, scene.classification[i] = 0;
        const std::vector<std::uint8_t> classes = ground::classify_ground(scene.points(), {});
        const std::vector<std::uint8_t> plain = ground::classify_ground(scene.points(), off);
        std::size_t terrain = 0, terrain_missed = 0, high = 0, high_ground = 0, high_plain_ground = 0;
        for (std::size_t i = 0; i < classes.size(); ++i) {
            if (scene.truth[i] == Truth::terrain) ++terrain, terrain_missed += classes[i] != ground::kGround;
            if (tall[i]) ++high, high_ground += classes[i] == ground::kGround, high_plain_ground += plain[i] == 2;
        }
        // The plain threshold takes (nearly) all of them for ground.
        EXPECT_GT(double(high_plain_ground) / high, 0.9) << c.name << ": " << high_plain_ground << " of " << high;
        if (!c.rough) {
            EXPECT_LT(double(terrain_missed) / terrain, 0.005) << c.name << ": " << terrain_missed << " of " << terrain;
            EXPECT_LT(double(high_ground) / high, 0.35) << c.name << ": " << high_ground << " of " << high;
            // The squares of the spread straddle small tiles: the same classes.
            ground::GroundSettings whole;
            whole.fill_distance = 8;
            whole.reclaim_passes = 1;
            whole.tile_size = 1e6;
            ground::GroundSettings tiled = whole;
            tiled.tile_size = 37;
            tiled.threads = 2;
            EXPECT_EQ(ground::classify_ground(scene.points(), tiled), ground::classify_ground(scene.points(), whole))
                << c.name;
        } else {
            EXPECT_EQ(classes, plain) << c.name;
        }
    }
}

TEST(GroundClassifier, SameClassesWhateverTheTilesAndThreads) {
    // guards: a tile's grid cut to its own points, which changed the gap
    // filling and the slopes at its edge, and so the points there.
    const Scene scene = make_scene();
    ground::GroundSettings whole;
    whole.fill_distance = 8;  // a short reach, so that margins are narrower than the scene
    whole.reclaim_passes = 2;
    whole.tile_size = 1e6;
    whole.threads = 1;
    const std::vector<std::uint8_t> one = ground::classify_ground(scene.points(), whole);
    for (const double tile : {61.0, 150.0})
        for (const unsigned threads : {1u, 2u}) {
            ground::GroundSettings tiled = whole;
            tiled.tile_size = tile;
            tiled.threads = threads;
            EXPECT_EQ(ground::classify_ground(scene.points(), tiled), one)
                << "tiles of " << tile << " on " << threads << " threads";
        }
}

TEST(GroundClassifier, KeepsNoiseClassesAndSkipsUnusablePoints) {
    Scene scene = make_scene();
    scene.classification[5] = 18;
    scene.classification[9] = 7;
    scene.z[11] = NAN;
    const std::vector<std::uint8_t> classes = ground::classify_ground(scene.points(), {});
    EXPECT_EQ(classes[5], 18);
    EXPECT_EQ(classes[9], 7);
    EXPECT_EQ(classes[11], ground::kUnclassified);
    EXPECT_EQ(classes[12], ground::kGround);
}

// Two swaths running diagonally (30 degrees from north) over wavy terrain,
// with houses, trees, a gap and low outliers: most cells of each tile's grid
// lie far from any point, as in a survey flown across a map's tiles.
Scene make_swaths() {
    Scene s;
    std::mt19937 rng(11);
    std::uniform_real_distribution<double> unit(0, 1);
    const double e0 = 500000, n0 = 5400000;
    const double along_x = std::sin(0.5236), along_y = std::cos(0.5236);
    for (const double offset : {0.0, 260.0})
        for (double a = 0; a < 1300; a += 0.9)
            for (double b = 0; b < 70; b += 0.9) {
                const double u = a + 0.6 * unit(rng), v = b + 0.6 * unit(rng);
                if (a > 600 && a < 640 && b < 35) continue;  // a lake: no returns
                const double ex = u * along_x + (v + offset) * along_y, ny = u * along_y - (v + offset) * along_x;
                const double ground = 80 + 6 * std::sin(ex / 90) + 4 * std::cos(ny / 70) + 0.08 * unit(rng);
                const double x = e0 + ex, y = n0 + ny + 400;
                const int house = int(a / 150), tree = int(a / 37);
                if (std::fmod(a, 150) < 18 && b > 20 + 5 * (house % 3) && b < 34 + 5 * (house % 3)) {
                    s.add(x, y, ground + 6 + (house % 4), Truth::object);
                } else {
                    s.add(x, y, ground, Truth::terrain);
                    if (std::hypot(std::fmod(a, 37) - 18, b - 10 - tree % 40) < 4 && unit(rng) < 0.6)
                        s.add(x, y, ground + 5 + 3 * unit(rng), Truth::object);
                }
                if (unit(rng) < 2e-4) s.add(x, y, ground - 4 - 3 * unit(rng), Truth::low_outlier);
            }
    return s;
}

std::uint64_t digest_of(const std::vector<std::uint8_t>& classes) {
    std::uint64_t hash = 14695981039346656037ull;
    for (const std::uint8_t c : classes) hash = (hash ^ c) * 1099511628211ull;
    return hash;
}

TEST(GroundClassifier, DiagonalSwathsKeepTheirRecordedClasses) {
    // guards: work skipped far from the points (or any other change of the
    // method's arithmetic) that changes a point's class; the digest was
    // recorded with the classifier that computed every cell of every tile.
    const Scene scene = make_swaths();
    ground::GroundSettings tiled;
    tiled.tile_size = 300;
    tiled.threads = 2;
    const std::vector<std::uint8_t> classes = ground::classify_ground(scene.points(), tiled);
    std::size_t ground_points = 0, outliers_found = 0, outliers = 0;
    for (std::size_t i = 0; i < classes.size(); ++i) {
        ground_points += classes[i] == ground::kGround;
        if (scene.truth[i] == Truth::low_outlier) ++outliers, outliers_found += classes[i] == ground::kLowNoise;
    }
    EXPECT_EQ(outliers_found, outliers);
    EXPECT_GT(ground_points, classes.size() / 2);
    EXPECT_EQ(digest_of(classes), 0x55637550f59f9c34ull) << std::hex << "digest " << digest_of(classes) << std::dec
                                          << " of " << classes.size() << " points, " << ground_points << " ground";
    ground::GroundSettings whole = tiled;
    whole.tile_size = 1e6;
    whole.threads = 1;
    EXPECT_EQ(ground::classify_ground(scene.points(), whole), classes);
    // A short reach and tiles smaller than their margins: every step's
    // reach is tested at many tile edges (a step cut short of what the next
    // one reads shows here).
    whole.max_window = 7;
    whole.fill_distance = 5;
    whole.reclaim_passes = 3;
    whole.slope = 0.4;
    const std::vector<std::uint8_t> short_reach = ground::classify_ground(scene.points(), whole);
    for (const double tile : {29.0, 11.0}) {
        ground::GroundSettings small = whole;
        small.tile_size = tile;
        small.threads = 2;
        EXPECT_EQ(ground::classify_ground(scene.points(), small), short_reach) << "tiles of " << tile;
    }
}

TEST(SurfaceGrid, ErosionMatchesADirectSearch) {
    std::mt19937 rng(3);
    for (int trial = 0; trial < 300; ++trial) {
        const int w = 1 + int(rng() % 40), h = 1 + int(rng() % 40), radius = 1 + int(rng() % 20);
        ground::SurfaceGrid grid{w, h, std::vector<double>(std::size_t(w) * h)};
        for (double& v : grid.z) v = rng() % 4 == 0 ? ground::kNoValue : double(rng() % 1000);
        ground::SurfaceGrid eroded, dilated, stepped = grid, next;
        ground::erode(grid, radius, eroded);
        ground::dilate(grid, radius, dilated);
        // The openings erode one cell at a time: radius times by one must be the same.
        for (int k = 0; k < radius; ++k) {
            ground::erode_by_one(stepped, next);
            std::swap(stepped, next);
        }
        for (int r = 0; r < h; ++r)
            for (int c = 0; c < w; ++c) {
                double low = INFINITY, high = -INFINITY;
                for (int rr = std::max(0, r - radius); rr <= std::min(h - 1, r + radius); ++rr)
                    for (int cc = std::max(0, c - radius); cc <= std::min(w - 1, c + radius); ++cc)
                        if (!std::isnan(grid.at(cc, rr)))
                            low = std::min(low, grid.at(cc, rr)), high = std::max(high, grid.at(cc, rr));
                if (std::isinf(low)) {
                    ASSERT_TRUE(std::isnan(eroded.at(c, r)) && std::isnan(dilated.at(c, r)) &&
                                std::isnan(stepped.at(c, r)));
                } else {
                    ASSERT_EQ(eroded.at(c, r), low) << w << "x" << h << " radius " << radius;
                    ASSERT_EQ(dilated.at(c, r), high) << w << "x" << h << " radius " << radius;
                    ASSERT_EQ(stepped.at(c, r), low) << w << "x" << h << " radius " << radius << " by one";
                }
            }
    }
}

}  // namespace
