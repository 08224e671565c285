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

// PROJ objects released on every path; PROJ's own log stays silent (its
// reasons come back through the error texts).
struct Context {
    PJ_CONTEXT* ctx = proj_context_create();
    Context() { proj_log_level(ctx, PJ_LOG_NONE); }
    Context(const Context&) = delete;
    Context& operator=(const Context&) = delete;
    ~Context() { proj_context_destroy(ctx); }
};

struct Drop {
    void operator()(PJ* p) const { proj_destroy(p); }
};
using Object = std::unique_ptr<PJ, Drop>;

// The horizontal part of a CRS: a bound CRS's source, a compound's first
// part, a 3D CRS's 2D part. `keep` holds what had to be made.
PJ* horizontal_part(PJ_CONTEXT* ctx, PJ* crs, Object keep[3]) {
    if (proj_get_type(crs) == PJ_TYPE_BOUND_CRS) {
        keep[0].reset(proj_get_source_crs(ctx, crs));
        crs = keep[0].get();
    }
    if (crs != nullptr && proj_get_type(crs) == PJ_TYPE_COMPOUND_CRS) {
        keep[1].reset(proj_crs_get_sub_crs(ctx, crs, 0));
        crs = keep[1].get();
    }
    const PJ_TYPE type = crs != nullptr ? proj_get_type(crs) : PJ_TYPE_UNKNOWN;
    if (type == PJ_TYPE_GEOGRAPHIC_3D_CRS || type == PJ_TYPE_PROJECTED_CRS) {
        keep[2].reset(proj_crs_demote_to_2D(ctx, nullptr, crs));
        if (keep[2]) crs = keep[2].get();
    }
    return crs;
}

const char* one_line_wkt(PJ_CONTEXT* ctx, PJ* crs, PJ_WKT_TYPE type) {
    const char* options[] = {"MULTILINE=NO", nullptr};
    return proj_as_wkt(ctx, crs, type, options);
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
    Context c;
    Object whole(proj_create(c.ctx, crs.c_str()));
    if (!whole) {
        facts.error = "a coordinate system PROJ does not know";
        return facts;
    }
    Object keep[3];
    PJ* horizontal = horizontal_part(c.ctx, whole.get(), keep);
    const PJ_TYPE type = horizontal != nullptr ? proj_get_type(horizontal) : PJ_TYPE_UNKNOWN;
    if (type == PJ_TYPE_PROJECTED_CRS) {
        facts.kind = CrsKind::Projected;
    } else if (type == PJ_TYPE_GEOGRAPHIC_2D_CRS || type == PJ_TYPE_GEOGRAPHIC_3D_CRS) {
        facts.kind = CrsKind::Geographic;
    } else {
        facts.error = "a coordinate system neither projected nor geographic";
        return facts;
    }
    facts.name = proj_get_name(horizontal);
    const char* wkt = one_line_wkt(c.ctx, horizontal, PJ_WKT2_2019);
    facts.horizontal = wkt != nullptr ? wkt : crs;
    // A compound CRS's vertical part, carried into what is made from the file.
    PJ* compound = keep[0] ? keep[0].get() : whole.get();
    if (proj_get_type(compound) == PJ_TYPE_COMPOUND_CRS) {
        Object vertical(proj_crs_get_sub_crs(c.ctx, compound, 1));
        const char* v = vertical && proj_get_type(vertical.get()) == PJ_TYPE_VERTICAL_CRS
                            ? one_line_wkt(c.ctx, vertical.get(), PJ_WKT2_2019)
                            : nullptr;
        if (v != nullptr) facts.vertical = v;
    }
    return facts;
}

CompoundCrs compound_crs(const std::string& crs, const std::string& vertical, const std::string& note) {
    CompoundCrs made;
    Context c;
    Object whole(proj_create(c.ctx, crs.c_str()));
    Object keep[3];
    PJ* horizontal = whole ? horizontal_part(c.ctx, whole.get(), keep) : nullptr;
    if (horizontal == nullptr) {
        made.error = "PROJ does not know the coordinate system '" + crs + "'";
        return made;
    }
    Object v(proj_create(c.ctx, vertical.c_str()));
    if (!v) {
        made.error = "unknown vertical coordinate system '" + vertical + "'";
        return made;
    }
    if (proj_get_type(v.get()) != PJ_TYPE_VERTICAL_CRS) {
        made.error = "'" + vertical + "' (" + proj_get_name(v.get()) + ") is not a vertical coordinate system (heights)";
        return made;
    }
    made.name = proj_get_name(v.get());
    Object cs(proj_crs_get_coordinate_system(c.ctx, v.get()));
    const char* unit = nullptr;
    double factor = 1;
    if (cs && proj_cs_get_axis_info(c.ctx, cs.get(), 0, nullptr, nullptr, nullptr, &factor, &unit, nullptr, nullptr) &&
        unit != nullptr) {
        made.unit = unit;
        made.unit_in_metres = factor;
    }
    std::string name = std::string(proj_get_name(horizontal)) + " + " + made.name;
    if (!note.empty()) name += " (" + note + ")";
    Object compound(proj_create_compound_crs(c.ctx, name.c_str(), horizontal, v.get()));
    const char* wkt = compound ? one_line_wkt(c.ctx, compound.get(), PJ_WKT1_GDAL) : nullptr;
    if (wkt == nullptr) {
        const int code = proj_context_errno(c.ctx);
        made.error = "PROJ cannot make the compound coordinate system of '" + crs + "' and '" + vertical + "'" +
                     (code != 0 ? std::string(": ") + proj_context_errno_string(c.ctx, code) : std::string());
        return made;
    }
    made.wkt = wkt;
    return made;
}

}  // namespace morva::common
