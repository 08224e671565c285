#include "scene_objects.hpp"

#include <cmath>

#include "seeded_values.hpp"
#include "sim_options.hpp"
#include "survey.hpp"

namespace morva::sim {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kCrownBase = 0.3;  // the crown's lowest edge, as a share of the tree's height
constexpr int kMaxTrees = 16;
constexpr int kMaxPatches = 3;

// The kind of object a cell holds.
enum class CellKind { Open, Trees, Building, LowVegetation };

// Distance outside a turned rectangle (0 inside).
double outside(double north, double east, double cn, double ce, double cos_t, double sin_t, double half_length,
               double half_width) {
    const double dn = north - cn, de = east - ce;
    const double along = dn * cos_t + de * sin_t, across = -dn * sin_t + de * cos_t;
    const double a = std::fmax(std::fabs(along) - half_length, 0.0), b = std::fmax(std::fabs(across) - half_width, 0.0);
    return a == 0.0 && b == 0.0 ? 0.0 : std::sqrt(a * a + b * b);  // (sqrt: hypot is slow, and range is no concern here)
}

bool has(const Scene& s, unsigned object) { return (s.objects & object) != 0; }

// Cells the bridge crosses (with a margin for its sides) stay open.
bool under_bridge(const Scene& s, double cell_north, double cell_east) {
    if (!has(s, kBridge)) return false;
    const double margin = 0.5 * std::sqrt(2.0) * kSceneCell + 5.0;
    return outside(cell_north, cell_east, s.bridge_north, s.bridge_east, s.cos_t, s.sin_t, s.half_length,
                   s.half_width) < margin;
}

CellKind cell_kind(const Scene& s, std::uint64_t cell, double cell_north, double cell_east) {
    if (under_bridge(s, cell_north, cell_east)) return CellKind::Open;
    double u = unit_random(cell, 0);
    if (has(s, kTrees) && (u -= s.tree_share) < 0.0) return CellKind::Trees;
    if (has(s, kBuildings) && (u -= s.building_share) < 0.0) return CellKind::Building;
    if (has(s, kLowVegetation) && (u -= s.lowveg_share) < 0.0) return CellKind::LowVegetation;
    return CellKind::Open;
}

// A round object in a cell: its centre (metres from the origin), radius and height.
struct Disc {
    double north, east, radius, height;
};

// Object j of a cell whose south-west corner is at (n0, e0): a disc of
// radius in [r0, r0 + dr] and height in [h0, h0 + dh], wholly inside the cell.
Disc disc_of(std::uint64_t cell, int j, double n0, double e0, double r0, double dr, double h0, double dh) {
    auto draw = [&](int field) { return unit_random(cell, 16 + 8 * static_cast<std::uint64_t>(j) + field); };
    Disc d;
    d.radius = r0 + dr * draw(0);
    d.height = h0 + dh * draw(1);
    const double room = kSceneCell - 2.0 * (d.radius + 1.0);
    d.north = n0 + d.radius + 1.0 + room * draw(2);
    d.east = e0 + d.radius + 1.0 + room * draw(3);
    return d;
}

int count_of(std::uint64_t cell, int most) { return 1 + static_cast<int>(most * unit_random(cell, 1)) % most; }

// Tree crowns: a rounded top falling to a crown base at 30 % of the tree's
// height, the edge below it a steep drop to the ground.
double crowns_height(const Surface& f, std::uint64_t cell, double n0, double e0, double north, double east) {
    double top = -1e300;
    const int n = kMaxTrees / 3 + count_of(cell, kMaxTrees - kMaxTrees / 3);
    for (int j = 0; j < n; ++j) {
        const Disc d = disc_of(cell, j, n0, e0, 2.0, 3.0, 8.0, 17.0);
        const double dn = north - d.north, de = east - d.east;
        if (dn * dn + de * de > (d.radius + 1.0) * (d.radius + 1.0)) continue;
        const double r = std::sqrt(dn * dn + de * de);
        const double base = ground_height(f, d.north, d.east);
        const double q = std::fmin(r / d.radius, 1.0);
        const double h = base + d.height * (kCrownBase + (1.0 - kCrownBase) * (1.0 - q * q)) -
                         kCrownEdgeSlope * std::fmax(0.0, r - d.radius);
        top = std::fmax(top, h);
    }
    return top;
}

// Low vegetation: smooth patches up to a metre high over the ground.
double patches_height(std::uint64_t cell, double n0, double e0, double north, double east, double ground) {
    double top = -1e300;
    const int n = count_of(cell, kMaxPatches);
    for (int j = 0; j < n; ++j) {
        const Disc d = disc_of(cell, j, n0, e0, 3.0, 7.0, 0.2, 0.8);
        const double dn = north - d.north, de = east - d.east;
        if (dn * dn + de * de >= d.radius * d.radius) continue;
        const double q = std::sqrt(dn * dn + de * de) / d.radius;
        top = std::fmax(top, ground + d.height * (1.0 - q * q) * (1.0 - q * q));
    }
    return top;
}

}  // namespace

const char* cover_name(Cover c) {
    switch (c) {
        case Cover::Ground: return "ground";
        case Cover::LowVegetation: return "low vegetation";
        case Cover::HighVegetation: return "high vegetation";
        case Cover::Building: return "building";
        case Cover::Noise: return "noise";
        case Cover::Bridge: return "bridge";
    }
    return "?";
}

void set_scene(const SimOptions& o, Surface& f) {
    Scene& s = f.scene;
    s = Scene{};
    s.objects = o.objects;
    if (s.objects == 0) return;
    s.seed = splitmix(o.seed ^ 0x7363656E65ull);
    s.tree_share = o.scene_cover[0];
    s.building_share = o.scene_cover[1];
    s.lowveg_share = o.scene_cover[2];
    s.openness = o.openness;
    s.outlier_share = o.outliers;
    // The bridge: within 100 m of the origin, 60 to 100 m long, 8 to 12 m
    // wide, its deck 5 to 8 m above the ground under its middle.
    auto draw = [&](std::uint64_t field) { return unit_random(s.seed, 100 + field); };
    s.bridge_north = 100.0 * (2.0 * draw(0) - 1.0);
    s.bridge_east = 100.0 * (2.0 * draw(1) - 1.0);
    const double turn = kPi * draw(2);
    s.cos_t = std::cos(turn);
    s.sin_t = std::sin(turn);
    s.half_length = 30.0 + 20.0 * draw(3);
    s.half_width = 4.0 + 2.0 * draw(4);
    s.deck = ground_height(f, s.bridge_north, s.bridge_east) + 5.0 + 3.0 * draw(5);
}

SceneHit scene_hit(const Surface& f, double north, double east, double ground, Sees sees) {
    const Scene& s = f.scene;
    SceneHit hit{ground, ground, Cover::Ground};
    if (sees == Sees::GroundOnly) return hit;
    auto take = [&hit](double h, Cover c) {
        if (h > hit.height) hit.height = h, hit.cover = c;
    };
    if (has(s, kBridge)) {
        take(s.deck - kWallSlope * outside(north, east, s.bridge_north, s.bridge_east, s.cos_t, s.sin_t,
                                           s.half_length, s.half_width),
             Cover::Bridge);
    }
    const auto row = static_cast<std::int64_t>(std::floor(north / kSceneCell));
    const auto col = static_cast<std::int64_t>(std::floor(east / kSceneCell));
    const double n0 = static_cast<double>(row) * kSceneCell, e0 = static_cast<double>(col) * kSceneCell;
    const std::uint64_t cell = cell_seed(s.seed, row, col);
    switch (cell_kind(s, cell, n0 + 0.5 * kSceneCell, e0 + 0.5 * kSceneCell)) {
        case CellKind::Open:
            break;
        case CellKind::Trees:
            if (sees == Sees::Everything) take(crowns_height(f, cell, n0, e0, north, east), Cover::HighVegetation);
            break;
        case CellKind::Building: {
            const Block b = block_of(f, kSceneCell, s.seed, row, col, 0.4);
            if (b.present) take(block_height(b, north, east), Cover::Building);
            break;
        }
        case CellKind::LowVegetation:
            take(patches_height(cell, n0, e0, north, east, ground), Cover::LowVegetation);
            break;
    }
    return hit;
}

BeamFate beam_fate(const Scene& s, std::uint64_t flight_seed, std::int64_t k, std::int32_t i) {
    BeamFate fate;
    if (s.objects == 0) return fate;
    const std::uint64_t beam = splitmix(flight_seed ^ 0x6265616D73ull) + static_cast<std::uint64_t>(k) * 1000003ull +
                               static_cast<std::uint64_t>(i);
    if (has(s, kTrees) && unit_random(beam, 1) < s.openness) fate.sees = Sees::BelowCrowns;
    // Multipath: 3 to 20 m more range than to the ground, the point well below it.
    if (has(s, kOutliers) && unit_random(beam, 2) < s.outlier_share) {
        fate.sees = Sees::GroundOnly;
        fate.outlier_range = 3.0 + 17.0 * unit_random(beam, 3);
    }
    return fate;
}

}  // namespace morva::sim
