#pragma once
// A scene on the simulated ground: trees, buildings, a bridge, low
// vegetation, and low outliers among the returns. Like every surface it is
// fixed on the ground by the surface origin and the seed alone: the ground
// is cut into cells of 40 m, each holding one kind of object drawn from the
// seed and the cell's indices, and an object never leaves its cell, so the
// cell under a position is the whole spatial index. The bridge is one, near
// the origin, and the cells it crosses stay open.
//
// The scene is a height field: one return per beam, the first surface it
// meets from above (a crown, a roof, a wall, the deck). Walls, crown edges
// and the deck's sides are steep slopes (20 m up per metre across), so a
// beam under the deck from the side meets its edge, not the ground beneath.

#include <cstdint>

namespace morva::sim {

struct SimOptions;
struct Surface;

// What a point is, in the classes of the point-cloud formats.
enum class Cover : std::uint8_t {
    Ground = 2,
    LowVegetation = 3,
    HighVegetation = 5,  // tree crowns
    Building = 6,
    Noise = 7,  // low outliers: a return from below the ground
    Bridge = 17,
};
const char* cover_name(Cover c);

// The objects of --objects, as bits.
inline constexpr unsigned kTrees = 1, kBuildings = 2, kBridge = 4, kLowVegetation = 8, kOutliers = 16;
inline constexpr const char* kObjectNames[] = {"trees", "buildings", "bridge", "lowveg", "outliers", nullptr};

inline constexpr double kSceneCell = 40.0;  // metres

// Walls are steep slopes (1 m across per 20 m up), so that the surface is
// continuous and every beam that meets a wall finds a point on it; the
// crowns' edges drop steeper still.
inline constexpr double kWallSlope = 20.0;
inline constexpr double kCrownEdgeSlope = 50.0;

struct Scene {
    unsigned objects = 0;
    std::uint64_t seed = 0;
    double tree_share = 0, building_share = 0, lowveg_share = 0;  // of the cells
    double openness = 0;       // share of the beams that pass through the crowns
    double outlier_share = 0;  // share of the beams returned from below the ground
    // The bridge: a level deck at `deck`, its centre and turn.
    double bridge_north = 0, bridge_east = 0, cos_t = 1, sin_t = 0, half_length = 0, half_width = 0, deck = 0;
};

// The scene of the options, laid out on the surface `f` (whose other
// fields are set).
void set_scene(const SimOptions& o, Surface& f);

// What a beam can meet: everything; what is below the tree crowns (it
// passes through a gap in the foliage); the ground alone (a low outlier's
// beam, whose range is then lengthened to put it below the ground).
enum class Sees : std::uint8_t { Everything, BelowCrowns, GroundOnly };

struct SceneHit {
    double height;  // the top of whatever stands there, metres
    double ground;  // the bare ground below it
    Cover cover;    // what the top is
};

// What stands at `north`, `east` (metres from the origin) on ground of
// height `ground`, as a beam that `sees` it.
SceneHit scene_hit(const Surface& s, double north, double east, double ground, Sees sees);

// What becomes of one beam (measurement i of scan k) of a flight: what it
// can meet, and how far beyond the ground its range reaches (a low
// outlier, by multipath), 0 for none.
struct BeamFate {
    Sees sees = Sees::Everything;
    double outlier_range = 0;  // metres added to the range
};
BeamFate beam_fate(const Scene& scene, std::uint64_t flight_seed, std::int64_t k, std::int32_t i);

}  // namespace morva::sim
