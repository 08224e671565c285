#pragma once
// The ground classifier's inputs: the points as plain arrays and the method's
// settings, every length in the units of the points' coordinate system.
#include <cstddef>
#include <cstdint>
#include <span>

namespace ground {

// Classes written for every point.
inline constexpr std::uint8_t kUnclassified = 1;
inline constexpr std::uint8_t kGround = 2;
inline constexpr std::uint8_t kLowNoise = 7;

// The points, one entry per point in every array. The returns and the
// existing classes may be empty (unknown); a point already classed as noise
// (7 or 18) keeps its class and takes no part in the surface. The returns
// are taken for the program to come; the method does not use them yet.
struct Points {
    std::span<const double> x, y, z;
    std::span<const std::uint8_t> return_number;
    std::span<const std::uint8_t> number_of_returns;
    std::span<const std::uint8_t> classification;
    std::size_t size() const { return x.size(); }
};

struct GroundSettings {
    // Side of the square cells of the lowest-point surface.
    double cell_size = 1.0;
    // Radius of the largest opening window: wider than half the widest
    // building that should come out as an object.
    double max_window = 24.0;
    // Steepest terrain slope (rise over run) the openings keep as ground.
    double slope = 0.2;
    // A point is ground within this height of the terrain model ...
    double height_threshold = 0.5;
    // ... plus this factor times the model's local slope (rise over run).
    double slope_scale = 1.0;
    // Where the ground is smooth and densely sampled the point threshold
    // follows its spread: heights are also measured from the opening of
    // this radius (wider than patches of low vegetation, which it passes
    // under, narrow enough to follow the terrain) ...
    double reference_window = 6.0;
    // ... and in squares of this side (on the global lattice) a point may
    // rise above it by the median rise of the points near it plus
    // scatter_factor times their spread (plus slope_scale times the slope),
    // never less than min_height_threshold. Where that reaches
    // height_threshold (rough or sparse ground) the square keeps the plain
    // threshold.
    double scatter_block = 30.0;
    double scatter_factor = 5.5;
    double min_height_threshold = 0.1;
    // A point this far below the lowest points around it is low noise.
    double low_noise_depth = 1.0;
    // ... within this distance.
    double low_noise_radius = 3.0;
    // Passes giving back to the ground the object cells whose lowest point
    // lies within this share of the point threshold of the terrain model.
    int reclaim_passes = 4;
    double reclaim_share = 0.9;
    // Empty and object cells take the terrain from ground cells up to this far away.
    double fill_distance = 20.0;
    // Side of the square tiles the points are processed in; each tile also
    // reads a margin around it wide enough that the result does not depend on
    // the tiling.
    double tile_size = 750.0;
    // Threads working on tiles at once; 0 means one per core.
    unsigned threads = 0;
    // Classify only points of class 0 or 1: every other point keeps its
    // class, and of those only the ground (2) takes part in the surface.
    bool keep_existing = false;
};

}  // namespace ground
