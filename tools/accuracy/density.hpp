#pragma once
// Point density on a raster: first or only returns per square metre in
// square cells aligned to multiples of the cell size, and the share of the
// cells holding data that meet a level's density.

#include <cstdint>
#include <span>
#include <unordered_map>
#include <vector>

#include "accuracy_figures.hpp"

namespace accuracy {

struct DensityRaster {
    double cell_size = 0;
    double west = 0, north = 0;        // the raster's corner (multiples of cell_size)
    std::size_t columns = 0, rows = 0; // rows from north to south
    std::vector<std::uint32_t> counts; // points per cell, row by row
};

// The points are the first or only returns (the caller leaves the others
// out). Stops with one line when the raster would exceed max_cells.
DensityRaster density_raster(std::span<const double> x, std::span<const double> y, double cell_size,
                             std::size_t max_cells);

// The same counts made while points stream by: cells are counted in tiles
// of 256 x 256 made when a point first falls in them, so memory follows the
// area covered, not the number of points.
class DensityCounter {
public:
    explicit DensityCounter(double cell_size);
    // A point that is not finite is not counted.
    void add(double x, double y);
    std::uint64_t bytes() const;  // the tiles' counts
    // The raster over the tiles' cells holding points; stops with one line
    // when it would exceed max_cells.
    DensityRaster raster(std::size_t max_cells) const;

private:
    static constexpr int kTileBits = 8;
    double cell_size_;
    std::unordered_map<std::uint64_t, std::vector<std::uint32_t>> tiles_;
    std::uint64_t last_key_ = 0;
    std::vector<std::uint32_t>* last_tile_ = nullptr;
};

struct DensityFigures {
    std::size_t points = 0;
    std::size_t cells_with_data = 0;  // cells holding at least one point
    std::size_t empty_cells = 0;      // cells of the raster's rectangle with none (outside the swath, or voids)
    std::size_t void_cells = 0;       // empty cells between cells with data on their row
    double mean_density = 0;          // points / ((cells_with_data + void_cells) x cell area)
    std::size_t cells_meeting = 0;    // cells with data at or above the level's density
    double share_meeting = 0;         // cells_meeting / (cells_with_data + void_cells)
    Verdict verdict = Verdict::not_tested;
};

// The data's area is its cells with data and the voids between them on each
// row. Verdict pass when the mean density over that area reaches `density`
// and at least `required_share` of its cells reach it; not tested without a
// density limit or without data.
DensityFigures density_figures(const DensityRaster& raster, double density, double required_share);

}  // namespace accuracy
