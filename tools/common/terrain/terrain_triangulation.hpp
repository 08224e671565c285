#pragma once
// The bare-earth surface: a Delaunay triangulation of the ground points,
// linear in each triangle (the terrain model's own surface, without the
// smoothing of a grid). A height is given only where the triangulation
// stands on nearby ground; elsewhere the position is reported as not
// measured, with the reason, never dropped. Shared by the accuracy library
// (heights at check points) and morva-grid's terrain model (heights at
// every cell centre, row by row).

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "ground_index.hpp"

namespace terrain {

enum class TerrainStatus {
    measured,
    outside,       // outside the triangulation (beyond the data)
    far_from_ground,  // the nearest ground point is farther than max_edge
    long_edge,     // in a triangle with an edge longer than max_edge (a gap)
};

struct TerrainHeight {
    TerrainStatus status = TerrainStatus::outside;
    double height = 0;           // when measured
};

// The passes of remove_pits: a pit uncovered by the removal of another goes too.
inline constexpr int kPitPasses = 3;

// A piece of the whole: the triangulation holds every live point of `all`
// in the bins of `box` (and maybe others).
struct Held {
    const GroundIndex* all = nullptr;
    BinBox box;
};

// A ground point judged as remove_pits judges it, in a piece of the whole:
// certain when every triangle around it is one of the whole triangulation's.
struct PitVerdict {
    bool certain = false;
    bool pit = false;
    std::vector<std::uint32_t> neighbours;  // the ids of the points it shares a triangle with
    std::vector<std::uint32_t> missing;     // when not certain: points beyond the piece that change its triangles
};

class TerrainTriangulation {
public:
    // Ground points as three arrays of one length (easting, northing, height).
    // max_edge <= 0: no distance limit. A repeated position keeps one of its
    // heights. ids (empty, or one per point) name the points in pit_verdict.
    TerrainTriangulation(std::span<const double> x, std::span<const double> y, std::span<const double> z,
                         double max_edge, std::span<const std::uint32_t> ids = {});
    ~TerrainTriangulation();
    TerrainTriangulation(const TerrainTriangulation&) = delete;
    TerrainTriangulation& operator=(const TerrainTriangulation&) = delete;

    TerrainHeight height_at(double x, double y) const;

    // Heights at n positions along one row, northing y and eastings x0 +
    // k * step: linear in the triangle holding each, NaN outside the
    // triangulation or in a triangle with an edge longer than max_edge
    // (every position given a height thus lies within max_edge / sqrt(3)
    // of a ground point). Each position is located from the last one's
    // triangle, so a row costs little more than its triangles; rows may be
    // sampled on several threads at once.
    void heights_along_row(double y, double x0, double step, std::size_t n, double* out) const;

    // The same in a piece of the whole, each height as the whole's
    // triangulation gives it: a triangle that may not be one of the whole's
    // (a point of the whole beyond the piece lies in its circumcircle) gives
    // none. Exact where the piece holds the ground within max_edge of the
    // positions: the whole's triangle giving a position a height has its
    // corners there, so it is the piece's too; a triangle of the piece that
    // is not the whole's thus lies where the whole gives none.
    void heights_along_row_of_whole(double y, double x0, double step, std::size_t n, double* out,
                                    const Held& held) const;

    // The point at (x, y) judged as remove_pits(depth) judges it.
    PitVerdict pit_verdict(double x, double y, double depth, const Held& held) const;

    // For each of `rows` rows (northings y0 - k * step), the least (lo) and
    // greatest (hi) easting a position of the row given a height can have:
    // those of the ground points within max_edge of the row's northing (a
    // little wider), as its triangle's corners lie within max_edge of it;
    // lo above hi where there is none. Without a max_edge, every easting.
    void row_extents(double y0, double step, std::size_t rows, std::vector<double>& lo, std::vector<double>& hi) const;

    // Removes every ground point lying more than depth below all the points
    // it shares a triangle with (a pit no terrain has between two points:
    // a multipath return that passed for ground), a few times over so that
    // a pair of them goes too. Returns the number removed.
    std::size_t remove_pits(double depth);

private:
    void sample_row(double y, double x0, double step, std::size_t n, double* out, const Held* held) const;
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace terrain
