#include "crs_wkt.hpp"

#include "heights.hpp"
#include "las_crs.hpp"
#include "proj_objects.hpp"

#include <cstdlib>

#include <proj_experimental.h>

namespace morva::common {
namespace {

CrsResult failure(std::string why) { return {false, {}, std::move(why)}; }

// A CRS PROJ does not know, or no database to look it up in.
CrsResult unknown(PJ_CONTEXT* ctx, const std::string& crs) {
    if (proj_context_get_database_path(ctx) != nullptr) return failure("unknown coordinate system '" + crs + "'");
    const char* data = std::getenv("PROJ_DATA");
    return failure("PROJ cannot find its database proj.db" +
                   (data != nullptr ? " in PROJ_DATA " + std::string(data) : std::string()) +
                   ", so it cannot look up '" + crs +
                   "': install it (Debian's proj-data) or set PROJ_DATA to its folder");
}

}  // namespace

CrsResult make_crs_wkt(const CrsRequest& request) {
    ProjContext c;
    if (c.ctx == nullptr) return failure("PROJ could not start");

    ProjObject crs(proj_create(c.ctx, request.crs.c_str()));
    if (!crs) return unknown(c.ctx, request.crs);
    if (proj_get_type(crs.get()) != PJ_TYPE_GEOGRAPHIC_3D_CRS) {
        return failure("'" + request.crs +
                       "' is not a geographic 3D coordinate system (latitude, longitude, ellipsoidal height)");
    }
    if (!request.vertical_crs.empty()) return name_vertical_crs(request.crs, request.vertical_crs, request.geoid_grid);

    const char* wkt = nullptr;
    ProjObject compound;
    if (request.geoid_grid.empty()) {
        // WKT1 has no ellipsoidal height; PROJ writes it as a vertical CRS on request.
        const char* options[] = {"MULTILINE=NO", "ALLOW_ELLIPSOIDAL_HEIGHT_AS_VERTICAL_CRS=YES", nullptr};
        wkt = proj_as_wkt(c.ctx, crs.get(), PJ_WKT1_GDAL, options);
    } else {
        ProjObject horizontal(proj_crs_demote_to_2D(c.ctx, nullptr, crs.get()));
        if (!horizontal) return failure("no horizontal part of '" + request.crs + "': " + last_proj_error(c.ctx));
        // WKT1 keeps no geoid model: the grid is named in the vertical CRS itself.
        const std::string vertical_name = common::vertical_meaning(request.geoid_grid);
        const std::string datum_name = "geoid grid " + request.geoid_grid;
        ProjObject vertical(proj_create_vertical_crs(c.ctx, vertical_name.c_str(), datum_name.c_str(), "metre", 1.0));
        if (!vertical) return failure("vertical coordinate system: " + last_proj_error(c.ctx));
        const std::string name = std::string(proj_get_name(horizontal.get())) + " + " + vertical_name;
        compound.reset(proj_create_compound_crs(c.ctx, name.c_str(), horizontal.get(), vertical.get()));
        if (!compound) return failure("compound coordinate system: " + last_proj_error(c.ctx));
        wkt = one_line_wkt(c.ctx, compound.get(), PJ_WKT1_GDAL);
    }
    if (wkt == nullptr) return failure("PROJ cannot write '" + request.crs + "' as WKT1: " + last_proj_error(c.ctx));
    return {true, wkt, {}};
}

CrsResult name_vertical_crs(const std::string& crs, const std::string& vertical_crs, const std::string& geoid_grid) {
    if (geoid_grid.empty()) {
        return failure("--vertical-crs " + vertical_crs +
                       " names the system of heights above a geoid, but the run's heights are ellipsoidal (its run "
                       "control names no geoid grid); leave --vertical-crs out");
    }
    const common::CompoundCrs made = common::compound_crs(crs, vertical_crs, common::vertical_meaning(geoid_grid));
    if (!made.error.empty()) return failure("--vertical-crs: " + made.error);
    if (made.unit != "metre") {
        return failure("--vertical-crs " + vertical_crs + " (" + made.name + ") counts heights in " +
                       (made.unit.empty() ? "no stated unit" : made.unit) +
                       ", but the run's heights are in metres; choose its metre variant");
    }
    return {true, made.wkt, {}};
}

bool is_projected_crs(const std::string& crs) {
    ProjContext c;
    if (c.ctx == nullptr) return false;
    ProjObject o(proj_create(c.ctx, crs.c_str()));
    return o && proj_get_type(o.get()) == PJ_TYPE_PROJECTED_CRS;
}

}  // namespace morva::common
