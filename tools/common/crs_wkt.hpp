#pragma once
// The coordinate system of the points, as the WKT1 text that LAS readers
// expect, made by PROJ.

#include <string>

namespace morva::common {

struct CrsRequest {
    std::string crs = "EPSG:4979";  // a geographic 3D CRS: latitude, longitude, ellipsoidal height
    std::string geoid_grid;          // heights above this geoid grid file; empty: ellipsoidal heights
    std::string vertical_crs;        // the heights' vertical CRS (--vertical-crs), e.g. "EPSG:5703"; empty: none named
};

struct CrsResult {
    bool ok = false;
    std::string wkt;    // WKT1 (GDAL flavour), one line
    std::string error;  // why not, when !ok
};

// Without a geoid grid: the CRS itself, its ellipsoidal height written as a
// vertical CRS. With one: a compound CRS of the CRS's horizontal part and a
// vertical CRS named after the grid, or request.vertical_crs when given.
CrsResult make_crs_wkt(const CrsRequest& request);

// The compound CRS of crs's horizontal part and the vertical CRS that names
// the system of heights above geoid_grid (the grid is named in the
// compound's name). Refused when there is no geoid grid (the heights are
// ellipsoidal), when PROJ does not know vertical_crs as a vertical CRS, or
// when its unit is not the metre (the heights are in metres).
CrsResult name_vertical_crs(const std::string& crs, const std::string& vertical_crs, const std::string& geoid_grid);

// True when PROJ knows crs as a projected CRS (easting, northing).
bool is_projected_crs(const std::string& crs);

}  // namespace morva::common
