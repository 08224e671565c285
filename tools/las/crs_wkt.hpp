#pragma once
// The coordinate system of the points, as the WKT1 text that LAS readers
// expect, made by PROJ.

#include <string>

namespace morva::las {

struct CrsRequest {
    std::string crs = "EPSG:4979";  // a geographic 3D CRS: latitude, longitude, ellipsoidal height
    std::string geoid_grid;          // heights above this geoid grid file; empty: ellipsoidal heights
};

struct CrsResult {
    bool ok = false;
    std::string wkt;    // WKT1 (GDAL flavour), one line
    std::string error;  // why not, when !ok
};

// Without a geoid grid: the CRS itself, its ellipsoidal height written as a
// vertical CRS. With one: a compound CRS of the CRS's horizontal part and a
// vertical CRS named after the grid.
CrsResult make_crs_wkt(const CrsRequest& request);

// True when PROJ knows crs as a projected CRS (easting, northing).
bool is_projected_crs(const std::string& crs);

}  // namespace morva::las
