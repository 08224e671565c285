#pragma once
// Geographic (longitude, latitude on WGS 84) to projected (easting, northing)
// through PROJ, fast: PROJ projects the nodes of a fine longitude/latitude
// lattice, each once, when a point first falls near them; a point's
// coordinates are the bilinear interpolation of its lattice cell's four
// nodes (a step of 1/1024 degree: about 0.1 mm from PROJ's own projection of
// the point at mid-latitudes). Each block of lattice cells is checked against
// PROJ at cell centres, where the error is largest, when it is made; where it
// strays beyond 0.5 mm (far outside a zone, near a pole) its points go
// through PROJ one by one.

#include <cstddef>
#include <future>
#include <memory>
#include <string>

#include "point_source.hpp"

namespace morva::common {

struct ProjectionRequest {
    std::string crs = "utm";  // "utm" (the WGS 84 UTM zone of centre_lon/centre_lat) or any projected CRS PROJ knows
    double centre_lon = 0, centre_lat = 0;
    std::string vertical;     // the heights' meaning, for the compound WKT
    std::string source_crs;   // the inputs' geographic CRS (WKT); empty: WGS 84
    bool native = false;      // the inputs are in crs already (easting, northing): no transformation
};

struct Projection;  // PROJ's objects and the lattice

struct ProjectionSetup {
    std::shared_ptr<Projection> projection;  // null when !error.empty()
    std::string crs_name;     // e.g. "WGS 84 / UTM zone 31N"
    std::string crs_id;       // e.g. "EPSG:32631", empty when PROJ names none
    std::string wkt;          // horizontal CRS, WKT1 (GDAL flavour), one line
    std::string compound_wkt; // horizontal CRS plus the vertical meaning, WKT1 one line (for LAS)
    std::string unit = "metre";  // the projected CRS's linear unit, as PROJ names it
    std::string error;        // why not
    std::string warning;      // the points lie far outside the CRS's area of use, else empty
};

// "EPSG:32631" for (5, 52): 326zz north of the equator, 327zz south.
std::string utm_crs_for(double lon, double lat);

// Creates the transformation (opening PROJ's database takes about 0.1 s).
ProjectionSetup make_projection(const ProjectionRequest& request);

// The same on a thread of its own, so that reading the first blocks overlaps PROJ's start-up.
std::future<ProjectionSetup> start_projection(const ProjectionRequest& request);

// The same, opening PROJ's database before the request is known (for utm the
// zone waits for the inputs' centre): the start-up overlaps opening the
// inputs. A request promise broken (the caller stopped) ends the thread; the
// promise must therefore be destroyed before the returned future.
std::future<ProjectionSetup> start_projection(std::future<ProjectionRequest> request);

struct Projected {
    double e = 0, n = 0;
};

// Projects n points; false (and the index of the first) when a point lies
// where the CRS has no coordinates. Safe to call from several threads at once.
bool project(Projection& p, const GeoPoint* in, Projected* out, std::size_t n, std::size_t* bad = nullptr);

// "a point at longitude X, latitude Y", for a stop's line.
std::string point_at(const GeoPoint& p);

// PROJ's exact projection of one point, for tests and checks.
Projected project_exact(Projection& p, double lon, double lat);

}  // namespace morva::common
