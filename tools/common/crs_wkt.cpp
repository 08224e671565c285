#include "crs_wkt.hpp"

#include "heights.hpp"
#include "las_crs.hpp"

#include <cstdlib>

#include <proj.h>
#include <proj_experimental.h>

namespace morva::common {
namespace {

// PROJ objects released on every path. PROJ's own log stays silent: its
// reasons come back through the error text.
struct Context {
    PJ_CONTEXT* ctx = proj_context_create();
    Context() {
        if (ctx == nullptr) return;
        proj_log_level(ctx, PJ_LOG_NONE);
        proj_log_func(ctx, nullptr, [](void*, int, const char*) {});
    }
    ~Context() { proj_context_destroy(ctx); }
};

struct Object {
    PJ* pj;
    explicit Object(PJ* p) : pj(p) {}
    Object(const Object&) = delete;
    Object& operator=(const Object&) = delete;
    ~Object() {
        if (pj != nullptr) proj_destroy(pj);
    }
};

std::string last_error(PJ_CONTEXT* ctx) {
    const int code = proj_context_errno(ctx);
    const char* text = code != 0 ? proj_context_errno_string(ctx, code) : nullptr;
    return text != nullptr ? text : "PROJ gave no reason";
}

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
    Context c;
    if (c.ctx == nullptr) return failure("PROJ could not start");

    Object crs(proj_create(c.ctx, request.crs.c_str()));
    if (crs.pj == nullptr) return unknown(c.ctx, request.crs);
    if (proj_get_type(crs.pj) != PJ_TYPE_GEOGRAPHIC_3D_CRS) {
        return failure("'" + request.crs +
                       "' is not a geographic 3D coordinate system (latitude, longitude, ellipsoidal height)");
    }
    if (!request.vertical_crs.empty()) return name_vertical_crs(request.crs, request.vertical_crs, request.geoid_grid);

    const char* options[] = {"MULTILINE=NO", nullptr, nullptr};
    const char* wkt = nullptr;
    Object compound(nullptr);
    if (request.geoid_grid.empty()) {
        // WKT1 has no ellipsoidal height; PROJ writes it as a vertical CRS on request.
        options[1] = "ALLOW_ELLIPSOIDAL_HEIGHT_AS_VERTICAL_CRS=YES";
        wkt = proj_as_wkt(c.ctx, crs.pj, PJ_WKT1_GDAL, options);
    } else {
        Object horizontal(proj_crs_demote_to_2D(c.ctx, nullptr, crs.pj));
        if (horizontal.pj == nullptr) return failure("no horizontal part of '" + request.crs + "': " + last_error(c.ctx));
        // WKT1 keeps no geoid model: the grid is named in the vertical CRS itself.
        const std::string vertical_name = common::vertical_meaning(request.geoid_grid);
        const std::string datum_name = "geoid grid " + request.geoid_grid;
        Object vertical(proj_create_vertical_crs(c.ctx, vertical_name.c_str(), datum_name.c_str(), "metre", 1.0));
        if (vertical.pj == nullptr) return failure("vertical coordinate system: " + last_error(c.ctx));
        const std::string name = std::string(proj_get_name(horizontal.pj)) + " + " + vertical_name;
        compound.pj = proj_create_compound_crs(c.ctx, name.c_str(), horizontal.pj, vertical.pj);
        if (compound.pj == nullptr) return failure("compound coordinate system: " + last_error(c.ctx));
        wkt = proj_as_wkt(c.ctx, compound.pj, PJ_WKT1_GDAL, options);
    }
    if (wkt == nullptr) return failure("PROJ cannot write '" + request.crs + "' as WKT1: " + last_error(c.ctx));
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
    Context c;
    if (c.ctx == nullptr) return false;
    Object o(proj_create(c.ctx, crs.c_str()));
    return o.pj != nullptr && proj_get_type(o.pj) == PJ_TYPE_PROJECTED_CRS;
}

}  // namespace morva::common
