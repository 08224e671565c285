#include "las_crs.hpp"

#include <memory>

#include <proj.h>
#include <proj_experimental.h>

#include "scanner/byte_reader.hpp"
#include "text/stop.hpp"

namespace morva::common {
namespace {

// The value of a GeoTIFF key held in the directory itself (location 0), or -1.
int geokey(const LasRecord& keys, int id) {
    const auto& p = keys.payload;
    if (p.size() < 8) return -1;
    const std::size_t n = scanner::le_u16(p.data() + 6);
    for (std::size_t k = 0; k < n && 8 + 8 * k + 8 <= p.size(); ++k) {
        const std::uint8_t* e = p.data() + 8 + 8 * k;
        if (static_cast<int>(scanner::le_u16(e)) == id && scanner::le_u16(e + 2) == 0) return static_cast<int>(scanner::le_u16(e + 6));
    }
    return -1;
}

}  // namespace

std::string las_crs_text(const LasHeader& h, std::string& from) {
    if (const LasRecord* wkt = find_record(h, "LASF_Projection", 2112)) {
        std::string text(wkt->payload.begin(), wkt->payload.end());
        text.resize(text.find('\0') == std::string::npos ? text.size() : text.find('\0'));
        if (!text.empty()) {
            from = "its WKT record";
            return text;
        }
    }
    const LasRecord* keys = find_record(h, "LASF_Projection", 34735);
    if (keys == nullptr) return {};
    from = "its GeoTIFF keys";
    const int projected = geokey(*keys, 3072), geographic = geokey(*keys, 2048);
    const int code = projected > 0 ? projected : geographic;
    if (code <= 0) return {};
    if (code == 32767) {
        text::stop_run(h.path + ": GeoTIFF keys of a user-defined coordinate system (no EPSG code), which is not read; "
                                "give the CRS with --input-crs CRS");
    }
    return "EPSG:" + std::to_string(code);
}

CrsFacts crs_facts(const std::string& crs) {
    CrsFacts facts;
    struct Context {
        PJ_CONTEXT* ctx = proj_context_create();
        ~Context() { proj_context_destroy(ctx); }
    } c;
    proj_log_level(c.ctx, PJ_LOG_NONE);
    auto drop = [&c](PJ* p) { proj_destroy(p); };
    std::unique_ptr<PJ, decltype(drop)> whole(proj_create(c.ctx, crs.c_str()), drop);
    if (!whole) {
        facts.error = "a coordinate system PROJ does not know";
        return facts;
    }
    std::unique_ptr<PJ, decltype(drop)> part(nullptr, drop);
    PJ* horizontal = whole.get();
    PJ_TYPE type = proj_get_type(horizontal);
    if (type == PJ_TYPE_BOUND_CRS) {
        part.reset(proj_get_source_crs(c.ctx, horizontal));
        horizontal = part.get();
        type = horizontal ? proj_get_type(horizontal) : PJ_TYPE_UNKNOWN;
    }
    if (type == PJ_TYPE_COMPOUND_CRS) {
        part.reset(proj_crs_get_sub_crs(c.ctx, horizontal, 0));
        horizontal = part.get();
        type = horizontal ? proj_get_type(horizontal) : PJ_TYPE_UNKNOWN;
    }
    if (type == PJ_TYPE_PROJECTED_CRS) {
        facts.kind = CrsKind::Projected;
    } else if (type == PJ_TYPE_GEOGRAPHIC_2D_CRS || type == PJ_TYPE_GEOGRAPHIC_3D_CRS) {
        facts.kind = CrsKind::Geographic;
    } else {
        facts.error = "a coordinate system neither projected nor geographic";
        return facts;
    }
    // A 3D CRS (ellipsoidal heights as its third axis) by its 2D part.
    std::unique_ptr<PJ, decltype(drop)> flat(proj_crs_demote_to_2D(c.ctx, nullptr, horizontal), drop);
    if (flat) horizontal = flat.get();
    facts.name = proj_get_name(horizontal);
    const char* options[] = {"MULTILINE=NO", nullptr};
    const char* wkt = proj_as_wkt(c.ctx, horizontal, PJ_WKT2_2019, options);
    facts.horizontal = wkt != nullptr ? wkt : crs;
    return facts;
}

}  // namespace morva::common
