#pragma once
// The geoid grid: geoid heights on a regular latitude/longitude grid, rows
// stored south to north, and its bilinear interpolation.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace morva::inputs {

inline constexpr std::int32_t kGeoidNodes = 500000;

struct GeoidGrid {
    double glat1 = 0, glat2 = 0, glon1 = 0, glon2 = 0, dlat = 0, dlon = 0;
    std::int32_t nlat = 0, nlon = 0;  // at least 2 each after a load
    // Entries 1..kGeoidNodes (index 0 unused): row r, column c at (r-1)*nlon + c.
    std::unique_ptr<float[]> node;
};

// Opens, reads and closes the grid file, printing its confirmation line.
// Stops the run when the file cannot be opened, the header gives no usable
// dimensions, the grid exceeds kGeoidNodes or has fewer than 2 rows or
// columns, or a value is malformed or missing.
void load_geoid(const std::string& path, GeoidGrid& grid);

// Rows (or columns) spanned from `first` to `last` by `step`:
// truncate((last - first) / step + 1.5); nothing when that is not finite or
// does not fit a 32-bit integer.
std::optional<std::int32_t> grid_count(double first, double last, double step);

// Floor of x as a 32-bit integer. Values whose floor lies outside the 32-bit
// range are clamped to its ends; NaN gives the lowest value, so a position
// that is not a number clamps to the first row or column in bilin.
std::int32_t ifrac(double x);

// A node value from 9999 up to (not including) 10000 marks a missing node.
inline bool missing_node(float g) { return g >= 9999.0f && g < 10000.0f; }

// Geoid height at fractional grid position (row x, column y), 1.0 being the
// first row or column; positions outside the grid take the nearest edge;
// 9999.0 when a needed node is missing. Needs nlat >= 2 and nlon >= 2.
double bilin(double x, double y, const float* node, std::int32_t nlat, std::int32_t nlon);

}  // namespace morva::inputs
