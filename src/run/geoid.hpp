#pragma once
// The geoid grid: geoid heights on a regular latitude/longitude grid, rows
// stored south to north, and its bilinear interpolation.

#include <cstdint>
#include <memory>
#include <string>

namespace morva::run {

inline constexpr std::int32_t kGeoidNodes = 500000;

struct GeoidGrid {
    double glat1 = 0, glat2 = 0, glon1 = 0, glon2 = 0, dlat = 0, dlon = 0;
    std::int32_t nlat = 0, nlon = 0;
    // Entries 1..kGeoidNodes (index 0 unused): row r, column c at (r-1)*nlon + c.
    std::unique_ptr<float[]> node;
};

// Opens, reads and closes the grid file, printing its confirmation line.
void load_geoid(const std::string& path, GeoidGrid& grid);

// Floor of x as a 32-bit integer.
std::int32_t ifrac(double x);

// Geoid height at fractional grid position (row x, column y), 1.0 being the
// first row or column; 9999.0 when a needed node is missing.
double bilin(double x, double y, const float* node, std::int32_t nlat, std::int32_t nlon);

}  // namespace morva::run
