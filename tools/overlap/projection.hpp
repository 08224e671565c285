#pragma once
// One projected coordinate system for the whole campaign (PROJ): the UTM zone
// of the campaign's centre unless named, and the transformation of the scan
// points' WGS 84 longitudes and latitudes into it.

#include <string>

#include "flight_inputs.hpp"

struct pj_ctx;
struct PJconsts;

namespace morva::overlap {

struct Projection {
    pj_ctx* context = nullptr;
    PJconsts* transform = nullptr;  // longitude, latitude (degrees) to easting, northing
    std::string crs;                // as given, or "EPSG:326ZZ" / "EPSG:327ZZ"
    std::string name;               // PROJ's name of the system
    std::string wkt;                // for the rasters
    Projection() = default;
    Projection(const Projection&) = delete;
    Projection& operator=(const Projection&) = delete;
    ~Projection();
};

// The UTM zone's EPSG code of a longitude and latitude.
std::string utm_crs(double lon, double lat);

// Ends with one line when PROJ does not know the system or it is not projected.
void open_projection(Projection& p, const std::string& crs);

// Longitudes in x, latitudes in y (degrees), transformed in place.
void project(const Projection& p, double* x, double* y, std::size_t n);

// A box around the projected bounds of a geographic box (its edges densified).
void projected_bounds(const Projection& p, const GeoBounds& g, double& xmin, double& ymin, double& xmax, double& ymax);

}  // namespace morva::overlap
