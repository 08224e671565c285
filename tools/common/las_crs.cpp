#include "las_crs.hpp"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include <geo_normalize.h>
#include <geo_simpletags.h>
#include <geo_tiffp.h>
#include <geotiff.h>
#include <geovalues.h>

#include <proj_experimental.h>

#include "heights.hpp"
#include "point_source.hpp"
#include "proj_objects.hpp"
#include "scanner/byte_reader.hpp"
#include "text/stop.hpp"
#include "text/warning.hpp"

namespace morva::common {
namespace {

// The horizontal part of a CRS: a bound CRS's source, a compound's first
// part, a 3D CRS's 2D part. `keep` holds what had to be made.
PJ* horizontal_part(PJ_CONTEXT* ctx, PJ* crs, ProjObject keep[3]) {
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

// A vertical CRS of a registered system (it or its datum has an identifier),
// not one named after a grid file alone.
bool known_system(PJ_CONTEXT* ctx, PJ* vertical) {
    if (proj_get_id_auth_name(vertical, 0) != nullptr) return true;
    ProjObject datum(proj_crs_get_datum(ctx, vertical));
    return datum && proj_get_id_auth_name(datum.get(), 0) != nullptr;
}

constexpr int kUserDefined = 32767;

void keep_error(GTIF* gtif, int level, const char* format, ...) {
    auto* error = static_cast<std::string*>(GTIFGetUserData(gtif));
    if (error == nullptr || !error->empty() || level != LIBGEOTIFF_ERROR) return;
    char text[300];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    *error = text;
    while (!error->empty() && (error->back() == '.' || error->back() == '\n')) error->pop_back();
}

// The keys' values as libgeotiff reads them from an in-memory tag set (no TIFF file).
struct GeoKeys {
    ProjContext proj;  // libgeotiff's lookups through a silent PROJ context
    ST_TIFF* tags = ST_Create();
    GTIF* gtif = nullptr;
    GTIFDefn* defn = nullptr;
    std::vector<std::uint16_t> shorts;
    std::vector<double> doubles;
    std::string ascii;
    std::string error;  // libgeotiff's first complaint (told in the stop's line, not printed by it)

    GeoKeys(const LasHeader& h, const LasRecord& keys) {
        for (std::size_t k = 0; k + 2 <= keys.payload.size(); k += 2) shorts.push_back(scanner::le_u16(keys.payload.data() + k));
        if (const LasRecord* d = find_record(h, "LASF_Projection", 34736)) {
            doubles.resize(d->payload.size() / 8);
            if (!doubles.empty()) std::memcpy(doubles.data(), d->payload.data(), doubles.size() * 8);  // LAS and host: little-endian
        }
        if (const LasRecord* a = find_record(h, "LASF_Projection", 34737)) ascii.assign(a->payload.begin(), a->payload.end());
        ascii.push_back('\0');
        ST_SetKey(tags, 34735, static_cast<int>(shorts.size()), STT_SHORT, shorts.data());
        if (!doubles.empty()) ST_SetKey(tags, 34736, static_cast<int>(doubles.size()), STT_DOUBLE, doubles.data());
        ST_SetKey(tags, 34737, static_cast<int>(ascii.size()), STT_ASCII, ascii.data());
        TIFFMethod methods;
        GTIFSetSimpleTagsMethods(&methods);
        gtif = GTIFNewWithMethodsEx(tags, &methods, keep_error, &error);
        if (gtif == nullptr) return;
        GTIFAttachPROJContext(gtif, proj.ctx);
        defn = GTIFAllocDefn();
        if (defn != nullptr && !GTIFGetDefn(gtif, defn)) defn->DefnSet = 0;
    }
    GeoKeys(const GeoKeys&) = delete;
    GeoKeys& operator=(const GeoKeys&) = delete;
    ~GeoKeys() {
        if (defn != nullptr) GTIFFreeDefn(defn);
        if (gtif != nullptr) GTIFFree(gtif);
        ST_Destroy(tags);
    }
    // The key's value, -1 when absent, 0 when present without one.
    int value(geokey_t key) const {
        if (gtif == nullptr) return -1;
        tagtype_t type{};
        if (GTIFKeyInfo(gtif, key, nullptr, &type) <= 0) return -1;
        unsigned short v = 0;
        return GTIFKeyGet(gtif, key, &v, 0, 1) == 1 ? v : 0;
    }
    bool has(geokey_t key) const { return value(key) >= 0; }
    // A text key's value without the '|' that ends it, or empty.
    std::string text(geokey_t key) const {
        char buffer[512] = {};
        if (gtif == nullptr || GTIFKeyGetASCII(gtif, key, buffer, sizeof buffer) <= 0) return {};
        std::string t(buffer);
        while (!t.empty() && (t.back() == '|' || t.back() == ' ')) t.pop_back();
        return t;
    }
};

[[noreturn]] void refuse(const LasHeader& h, const std::string& why) {
    text::stop_run(h.path + ": its GeoTIFF keys " + why + "; give the CRS with --input-crs CRS");
}

// A CRS the keys define themselves (a user-defined projection or datum), as
// PROJ takes it (a PROJ string built by libgeotiff).
std::string user_defined_crs(const LasHeader& h, const GeoKeys& g) {
    if (g.defn == nullptr || !g.defn->DefnSet) refuse(h, "define a coordinate system of their own that libgeotiff cannot read");
    const int model = g.value(GTModelTypeGeoKey);
    if (model == ModelTypeProjected) {
        const int projection = g.value(ProjectionGeoKey);
        if (g.value(ProjCoordTransGeoKey) <= 0 && (projection <= 0 || projection == kUserDefined)) {
            refuse(h, "define a projected coordinate system of their own without its projection (ProjCoordTransGeoKey)");
        }
        if (!g.has(ProjLinearUnitsGeoKey) && !g.has(ProjLinearUnitSizeGeoKey)) {
            refuse(h, "define a projected coordinate system of their own without its unit (ProjLinearUnitsGeoKey)");
        }
    }
    if (g.defn->Datum == KvUserDefined && g.defn->SemiMajor == 0) refuse(h, "define a datum of their own without its ellipsoid");
    char* text = GTIFGetProj4Defn(g.defn);
    std::string proj = text != nullptr ? text : "";
    if (text != nullptr) GTIFFreeMemory(text);
    if (proj.find("+proj=") == std::string::npos) refuse(h, "define a coordinate system of their own that PROJ cannot be given");
    proj += " +type=crs";
    // Named by the keys' citation (a PROJ string carries no name).
    std::string citation = g.text(model == ModelTypeProjected ? PCSCitationGeoKey : GeogCitationGeoKey);
    if (citation.empty()) citation = g.text(GTCitationGeoKey);
    ProjObject crs(proj_create(g.proj.ctx, proj.c_str()));
    ProjObject named(crs && !citation.empty() ? proj_alter_name(g.proj.ctx, crs.get(), citation.c_str()) : nullptr);
    const char* wkt = named ? one_line_wkt(g.proj.ctx, named.get(), PJ_WKT2_2019) : nullptr;
    return wkt != nullptr ? wkt : proj;
}

// The vertical CRS the keys name (its code in VerticalCSTypeGeoKey, or, as
// some writers swap them, in VerticalDatumGeoKey), in the unit their
// vertical units key states, as WKT; empty (and the codes in `named`) when
// PROJ knows none of them as a vertical CRS.
std::string keys_vertical_crs(const LasHeader& h, const GeoKeys& g, std::string& named) {
    ProjContext c;
    const int units = g.value(VerticalUnitsGeoKey);
    for (const geokey_t key : {VerticalCSTypeGeoKey, VerticalDatumGeoKey}) {
        const int code = g.value(key);
        if (code <= 0 || code == kUserDefined) continue;
        const std::string id = std::to_string(code);
        named += (named.empty() ? "EPSG:" : " and EPSG:") + id;
        ProjObject v(proj_create_from_database(c.ctx, "EPSG", id.c_str(), PJ_CATEGORY_CRS, 0, nullptr));
        if (!v || proj_get_type(v.get()) != PJ_TYPE_VERTICAL_CRS) continue;
        if (units > 0) {
            const char* unit = nullptr;
            double factor = 0;
            if (!proj_uom_get_info_from_database(c.ctx, "EPSG", std::to_string(units).c_str(), &unit, &factor, nullptr) ||
                unit == nullptr) {
                refuse(h, "name the vertical unit EPSG:" + std::to_string(units) + ", which PROJ does not know");
            }
            const char* own_unit = nullptr;
            double own = 0;
            if (first_axis_unit(c.ctx, v.get(), own_unit, own) && own != factor) {
                // The heights are in the key's unit: the system's datum in that unit.
                ProjObject altered(proj_crs_alter_cs_linear_unit(c.ctx, v.get(), unit, factor, "EPSG", std::to_string(units).c_str()));
                if (altered) v = std::move(altered);
            }
        }
        const char* wkt = one_line_wkt(c.ctx, v.get(), PJ_WKT2_2019);
        if (wkt != nullptr) return wkt;
    }
    return {};
}

// The CRS the keys state: EPSG codes as they are, else what they define
// themselves; a vertical CRS code makes it compound.
std::string geotiff_crs(const LasHeader& h, const LasRecord& keys) {
    const GeoKeys g(h, keys);
    if (g.gtif == nullptr) refuse(h, "cannot be read (" + (g.error.empty() ? std::string("a malformed key directory") : g.error) + ")");
    const int projected = g.value(ProjectedCSTypeGeoKey), geographic = g.value(GeographicTypeGeoKey);
    const int model = g.value(GTModelTypeGeoKey);
    std::string crs;
    if (projected > 0 && projected != kUserDefined) {
        crs = "EPSG:" + std::to_string(projected);
    } else if (projected <= 0 && geographic > 0 && geographic != kUserDefined && model != ModelTypeProjected) {
        crs = "EPSG:" + std::to_string(geographic);
    } else if (projected == kUserDefined || geographic == kUserDefined || model == ModelTypeProjected) {
        crs = user_defined_crs(h, g);
    } else {
        return {};
    }
    const int vertical_units = g.value(VerticalUnitsGeoKey);
    if (vertical_units == 0 || vertical_units == kUserDefined) refuse(h, "name no unit in their vertical units key (VerticalUnitsGeoKey)");
    std::string named;
    const std::string vertical = keys_vertical_crs(h, g, named);
    if (vertical.empty()) {
        if (!named.empty()) {
            text::warn(h.path + ": its GeoTIFF vertical keys name " + named +
                       ", no vertical coordinate system PROJ knows; its heights are read as stored, their system unnamed");
        }
        return crs;
    }
    const CompoundCrs compound = compound_crs(crs, vertical);
    if (!compound.error.empty()) refuse(h, "name a vertical coordinate system PROJ cannot join to the horizontal one: " + compound.error);
    return compound.wkt;
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
    return geotiff_crs(h, *keys);
}

CrsFacts crs_facts(const std::string& crs) {
    CrsFacts facts;
    ProjContext c;
    ProjObject whole(proj_create(c.ctx, crs.c_str()));
    if (!whole) {
        facts.error = "a coordinate system PROJ does not know";
        return facts;
    }
    ProjObject keep[3];
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
    // A CRS that lost its identifier on the way (a 3D CRS made 2D) by its
    // registered twin, so that the raster's keys carry the code.
    ProjObject identified;
    if (proj_get_id_auth_name(horizontal, 0) == nullptr) {
        int* confidence = nullptr;
        PJ_OBJ_LIST* twins = proj_identify(c.ctx, horizontal, "EPSG", nullptr, &confidence);
        if (twins != nullptr && proj_list_get_count(twins) > 0 && confidence[0] == 100) {
            identified.reset(proj_list_get(c.ctx, twins, 0));
            if (identified) horizontal = identified.get();
        }
        proj_int_list_destroy(confidence);
        proj_list_destroy(twins);
    }
    facts.name = proj_get_name(horizontal);
    const char* wkt = one_line_wkt(c.ctx, horizontal, PJ_WKT2_2019);
    facts.horizontal = wkt != nullptr ? wkt : crs;
    // A compound CRS's vertical part, carried into what is made from the file.
    PJ* compound = keep[0] ? keep[0].get() : whole.get();
    if (proj_get_type(compound) == PJ_TYPE_COMPOUND_CRS) {
        ProjObject vertical(proj_crs_get_sub_crs(c.ctx, compound, 1));
        const bool known = vertical && proj_get_type(vertical.get()) == PJ_TYPE_VERTICAL_CRS && known_system(c.ctx, vertical.get());
        const char* v = known ? one_line_wkt(c.ctx, vertical.get(), PJ_WKT2_2019) : nullptr;
        if (v != nullptr) {
            facts.vertical = v;
            const char* unit = nullptr;
            double factor = 1;
            const bool stated = first_axis_unit(c.ctx, vertical.get(), unit, factor);
            facts.heights = std::string(proj_get_name(vertical.get())) + (stated ? std::string(" in ") + unit : "");
        }
    }
    return facts;
}

CompoundCrs compound_crs(const std::string& crs, const std::string& vertical, const std::string& note) {
    CompoundCrs made;
    ProjContext c;
    ProjObject whole(proj_create(c.ctx, crs.c_str()));
    ProjObject keep[3];
    PJ* horizontal = whole ? horizontal_part(c.ctx, whole.get(), keep) : nullptr;
    if (horizontal == nullptr) {
        made.error = "PROJ does not know the coordinate system '" + crs + "'";
        return made;
    }
    ProjObject v(proj_create(c.ctx, vertical.c_str()));
    if (!v) {
        made.error = "unknown vertical coordinate system '" + vertical + "'";
        return made;
    }
    if (proj_get_type(v.get()) != PJ_TYPE_VERTICAL_CRS) {
        made.error = "'" + vertical + "' (" + proj_get_name(v.get()) + ") is not a vertical coordinate system (heights)";
        return made;
    }
    made.name = proj_get_name(v.get());
    const char* unit = nullptr;
    double factor = 1;
    if (first_axis_unit(c.ctx, v.get(), unit, factor)) {
        made.unit = unit;
        made.unit_in_metres = factor;
    }
    std::string name = std::string(proj_get_name(horizontal)) + " + " + made.name;
    if (!note.empty()) name += " (" + note + ")";
    ProjObject compound(proj_create_compound_crs(c.ctx, name.c_str(), horizontal, v.get()));
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

CompoundCrs raster_crs(const std::string& horizontal, const std::string& vertical_option,
                       const std::vector<PointSource>& sources) {
    CompoundCrs made;
    ProjContext c;
    auto name_of = [&c](const std::string& vertical) {
        ProjObject v(proj_create(c.ctx, vertical.c_str()));
        return v ? std::string(proj_get_name(v.get())) : vertical;
    };
    const PointSource& first = sources.front();
    for (const PointSource& s : sources) {
        if (s.vertical_crs != first.vertical_crs) {
            made.error = s.name + ": its heights are in " + (s.vertical_crs.empty() ? "no named vertical system" : name_of(s.vertical_crs)) +
                         ", those of " + first.name + " in " +
                         (first.vertical_crs.empty() ? "none" : name_of(first.vertical_crs)) + "; one raster holds heights of one kind";
            return made;
        }
    }
    if (vertical_option.empty()) {
        if (first.vertical_crs.empty()) {
            made.wkt = horizontal;
            return made;
        }
        return compound_crs(horizontal, first.vertical_crs);
    }
    made = compound_crs(horizontal, vertical_option);
    if (!made.error.empty()) {
        made.error = "--vertical-crs: " + made.error;
        return made;
    }
    ProjObject named(proj_create(c.ctx, vertical_option.c_str()));
    for (const PointSource& s : sources) {
        std::string why;
        if (s.vertical == vertical_meaning({})) {
            why = "its heights are ellipsoidal (no geoid grid), not in a vertical system";
        } else if (s.vertical.starts_with("height above ") && made.unit != "metre") {
            why = "its heights are in metres, not " + (made.unit.empty() ? "an unstated unit" : made.unit);
        } else if (!s.vertical_crs.empty()) {
            ProjObject stated(proj_create(c.ctx, s.vertical_crs.c_str()));
            if (stated && !proj_is_equivalent_to_with_ctx(c.ctx, stated.get(), named.get(), PJ_COMP_EQUIVALENT)) {
                why = "it states its heights in " + name_of(s.vertical_crs);
            }
        }
        if (!why.empty()) {
            made.error = s.name + ": --vertical-crs " + vertical_option + " (" + made.name + ") cannot name its heights: " + why;
            made.wkt.clear();
            return made;
        }
    }
    return made;
}

}  // namespace morva::common
