#include "projection.hpp"

#include <cmath>

#include <proj.h>

namespace morva::overlap {

Projection::~Projection() {
    if (transform != nullptr) proj_destroy(transform);
    if (context != nullptr) proj_context_destroy(context);
}

std::string utm_crs(double lon, double lat) {
    const int zone = std::clamp(static_cast<int>(std::floor((lon + 180.0) / 6.0)) + 1, 1, 60);
    return "EPSG:" + std::to_string((lat >= 0 ? 32600 : 32700) + zone);
}

void open_projection(Projection& p, const std::string& crs) {
    p.crs = crs;
    p.context = proj_context_create();
    PJ* target = proj_create(p.context, crs.c_str());
    if (target == nullptr) fail("--crs " + crs + ": PROJ does not know this coordinate system");
    const PJ_TYPE type = proj_get_type(target);
    if (type != PJ_TYPE_PROJECTED_CRS) {
        proj_destroy(target);
        fail("--crs " + crs + ": not a projected coordinate system (a grid needs metres)");
    }
    p.name = proj_get_name(target) ? proj_get_name(target) : crs;
    const char* wkt = proj_as_wkt(p.context, target, PJ_WKT1_GDAL, nullptr);
    p.wkt = wkt ? wkt : "";
    PJ* raw = proj_create_crs_to_crs(p.context, "EPSG:4326", crs.c_str(), nullptr);
    proj_destroy(target);
    if (raw == nullptr) fail("--crs " + crs + ": PROJ has no transformation from WGS 84 to it");
    p.transform = proj_normalize_for_visualization(p.context, raw);
    proj_destroy(raw);
    if (p.transform == nullptr) fail("--crs " + crs + ": PROJ cannot order its axes as easting, northing");
}

void project(const Projection& p, double* x, double* y, std::size_t n) {
    proj_trans_generic(p.transform, PJ_FWD, x, sizeof(double), n, y, sizeof(double), n, nullptr, 0, 0, nullptr, 0, 0);
}

void projected_bounds(const Projection& p, const GeoBounds& g, double& xmin, double& ymin, double& xmax, double& ymax) {
    const int ok = proj_trans_bounds(p.context, p.transform, PJ_FWD, g.lon_min * 1e-7, g.lat_min * 1e-7,
                                     g.lon_max * 1e-7, g.lat_max * 1e-7, &xmin, &ymin, &xmax, &ymax, 21);
    if (!ok) fail("the points lie where " + p.crs + " cannot hold them");
    // A margin of a metre for the rounding of the edges.
    xmin -= 1;
    ymin -= 1;
    xmax += 1;
    ymax += 1;
}

}  // namespace morva::overlap
