#include "projection.hpp"

#include "int_rounding.hpp"
#include "proj_objects.hpp"

#include <cmath>
#include <cstdio>
#include <mutex>
#include <unordered_map>
#include <vector>

#include <proj_experimental.h>

namespace morva::common {

// Lattice nodes every 1/1024 degree (about 110 m of latitude), in blocks of
// 64 x 64 lattice cells: a block holds its 65 x 65 nodes, so that a cell's
// four corners are always in one block.
namespace {
constexpr double kNodesPerDegree = 1024;
constexpr int kBlockBits = 6;
constexpr int kBlockCells = 1 << kBlockBits;
constexpr int kBlockNodes = kBlockCells + 1;
// A block whose interpolation, checked at cell centres, strays further than
// this from PROJ (far outside a projection's zone, near a pole) projects its
// points exactly instead.
constexpr double kLatticeTolerance = 5e-4;  // metres

struct Block {
    bool exact = false;  // interpolation not good enough here: every point through PROJ
    bool invalid = false;  // some node has no coordinates: points through PROJ, which says which fail
    std::vector<double> e, n;  // kBlockNodes^2, row by row (latitude), west to east
};

std::int64_t block_key(std::int64_t bi, std::int64_t bj) {
    return static_cast<std::int64_t>((static_cast<std::uint64_t>(bj) << 32) | (static_cast<std::uint64_t>(bi) & 0xFFFFFFFFu));
}

}  // namespace

// Blocks kept at once (about 70 kB each): a survey's points use a few at a
// time; points spread over a continent or the world would otherwise keep one
// per point they meet. The table is emptied when full (a block in use lives
// on with its user).
constexpr std::size_t kMaxBlocks = 1024;

struct Projection {
    ProjContext context;  // declared first: the objects below go before it
    bool native = false;  // the points are in the target CRS already
    ProjObject transform;  // longitude, latitude (degrees) to easting, northing
    std::mutex mutex;  // PROJ objects and the block table
    std::unordered_map<std::int64_t, std::shared_ptr<const Block>> blocks;

    // Exact projection; HUGE_VAL where the CRS has no coordinates. Under the mutex.
    Projected exact_locked(double lon, double lat) {
        PJ_COORD c = proj_coord(lon, lat, 0, 0);
        c = proj_trans(transform.get(), PJ_FWD, c);
        if (!std::isfinite(c.xy.x) || !std::isfinite(c.xy.y) || c.xy.x == HUGE_VAL) return {HUGE_VAL, HUGE_VAL};
        return {c.xy.x, c.xy.y};
    }

    std::shared_ptr<const Block> block(std::int64_t bi, std::int64_t bj) {
        std::lock_guard lock(mutex);
        if (const auto found = blocks.find(block_key(bi, bj)); found != blocks.end()) return found->second;
        if (blocks.size() >= kMaxBlocks) blocks.clear();
        auto b = std::make_shared<Block>();
        // The nodes' longitudes and latitudes, projected in place.
        b->e.resize(kBlockNodes * kBlockNodes);
        b->n.resize(kBlockNodes * kBlockNodes);
        for (int j = 0; j < kBlockNodes; ++j) {
            for (int i = 0; i < kBlockNodes; ++i) {
                b->e[j * kBlockNodes + i] = static_cast<double>(bi * kBlockCells + i) / kNodesPerDegree;
                b->n[j * kBlockNodes + i] = static_cast<double>(bj * kBlockCells + j) / kNodesPerDegree;
            }
        }
        proj_errno_reset(transform.get());
        proj_trans_generic(transform.get(), PJ_FWD, b->e.data(), sizeof(double), b->e.size(), b->n.data(), sizeof(double),
                           b->n.size(), nullptr, 0, 0, nullptr, 0, 0);
        for (std::size_t k = 0; k < b->e.size(); ++k) {
            if (!std::isfinite(b->e[k]) || !std::isfinite(b->n[k]) || b->e[k] == HUGE_VAL) b->invalid = true;
        }
        if (!b->invalid) {
            // The interpolation error is largest at cell centres; check a spread of them.
            for (int j = 0; j < kBlockCells && !b->exact; j += 9) {
                for (int i = 0; i < kBlockCells && !b->exact; i += 9) {
                    const double lo = (static_cast<double>(bi * kBlockCells + i) + 0.5) / kNodesPerDegree;
                    const double la = (static_cast<double>(bj * kBlockCells + j) + 0.5) / kNodesPerDegree;
                    const Projected p = exact_locked(lo, la);
                    const int k = j * kBlockNodes + i;
                    const double e = 0.25 * (b->e[k] + b->e[k + 1] + b->e[k + kBlockNodes] + b->e[k + kBlockNodes + 1]);
                    const double n = 0.25 * (b->n[k] + b->n[k + 1] + b->n[k + kBlockNodes] + b->n[k + kBlockNodes + 1]);
                    if (!(std::hypot(e - p.e, n - p.n) <= kLatticeTolerance)) b->exact = true;
                }
            }
        }
        blocks.emplace(block_key(bi, bj), b);
        return b;
    }

    // Points through PROJ one batch at a time; false, and the first that has
    // no coordinates, when one lies where the CRS has none.
    bool exact_batch(const GeoPoint* in, Projected* out, std::size_t n, std::size_t* bad) {
        for (std::size_t k = 0; k < n; ++k) out[k] = {in[k].lon, in[k].lat};
        {
            std::lock_guard lock(mutex);
            proj_trans_generic(transform.get(), PJ_FWD, &out[0].e, sizeof(Projected), n, &out[0].n, sizeof(Projected), n,
                               nullptr, 0, 0, nullptr, 0, 0);
        }
        for (std::size_t k = 0; k < n; ++k) {
            if (!std::isfinite(out[k].e) || !std::isfinite(out[k].n) || out[k].e == HUGE_VAL) {
                if (bad != nullptr) *bad = k;
                return false;
            }
        }
        return true;
    }
};

std::string utm_crs_for(double lon, double lat) {
    lon = lon - 360 * std::floor((lon + 180) / 360);  // into [-180, 180)
    int zone = static_cast<int>(std::floor((lon + 180) / 6)) + 1;
    zone = std::min(std::max(zone, 1), 60);
    // The zones of southern Norway and Svalbard.
    if (lat >= 56 && lat < 64 && lon >= 3 && lon < 12) zone = 32;
    if (lat >= 72 && lat < 84 && lon >= 0 && lon < 42) zone = lon < 9 ? 31 : lon < 21 ? 33 : lon < 33 ? 35 : 37;
    return "EPSG:" + std::to_string(lat >= 0 ? 32600 + zone : 32700 + zone);
}

namespace {

// PROJ's context with its database open and WGS 84 made: the slow part of
// the start-up, which needs nothing of the points. Null, and why, when PROJ
// cannot start.
struct OpenedContext {
    std::shared_ptr<Projection> p;
    ProjObject source;  // WGS 84, longitude and latitude
    std::string error;
};

OpenedContext open_context() {
    OpenedContext opened;
    auto p = std::make_shared<Projection>();
    if (p->context.ctx == nullptr) {
        opened.error = "PROJ could not start";
        return opened;
    }
    opened.source = ProjObject(proj_create(p->context.ctx, "EPSG:4326"));
    opened.p = std::move(p);
    return opened;
}

// A CRS is accurate over its area of use and a little beyond (a UTM zone is
// often carried a few degrees past its edges); points whose centre lies more
// than this beyond it are probably given the wrong CRS (the south's zone for
// the north's).
constexpr double kAreaMargin = 3;  // degrees

std::string outside_area_of_use(PJ_CONTEXT* ctx, PJ* crs, const ProjectionRequest& request) {
    double west = 0, south = 0, east = 0, north = 0;
    const char* area = nullptr;
    if (!proj_get_area_of_use(ctx, crs, &west, &south, &east, &north, &area) || west < -1000) return {};
    const double lat = request.centre_lat;
    double lon = request.centre_lon;
    if (east < west) east += 360;  // an area across the antimeridian
    if (lon < west - kAreaMargin) lon += 360;
    const bool inside = lat >= south - kAreaMargin && lat <= north + kAreaMargin && lon >= west - kAreaMargin &&
                        lon <= east + kAreaMargin;
    if (inside) return {};
    char text[400];
    std::snprintf(text, sizeof text,
                  "the points' centre (latitude %.4f, longitude %.4f) lies far outside the area of use of %s "
                  "(latitude %.1f to %.1f, longitude %.1f to %.1f); check --crs",
                  request.centre_lat, request.centre_lon, proj_get_name(crs), south, north, west,
                  east > 180 ? east - 360 : east);
    return text;
}

ProjectionSetup finish_projection(OpenedContext opened, const ProjectionRequest& request) {
    ProjectionSetup setup;
    if (opened.p == nullptr) {
        setup.error = opened.error;
        return setup;
    }
    const std::shared_ptr<Projection>& p = opened.p;
    PJ_CONTEXT* ctx = p->context.ctx;
    std::string crs_text = request.crs;
    if (crs_text == "utm") {
        if (request.centre_lat < -80 || request.centre_lat > 84) {
            setup.error = "the points lie beyond UTM's latitudes (80 S to 84 N); give a projected CRS with --crs";
            return setup;
        }
        crs_text = utm_crs_for(request.centre_lon, request.centre_lat);
    }
    ProjObject target(proj_create(ctx, crs_text.c_str()));
    if (!target) {
        setup.error = "unknown coordinate system '" + request.crs + "'";
        return setup;
    }
    if (proj_get_type(target.get()) != PJ_TYPE_PROJECTED_CRS) {
        setup.error = "'" + request.crs + "' is not a projected coordinate system (easting, northing)";
        return setup;
    }
    if (!request.source_crs.empty()) opened.source = ProjObject(proj_create(ctx, request.source_crs.c_str()));
    if (!opened.source) {
        setup.error = "PROJ does not know the inputs' coordinate system: " + last_proj_error(ctx);
        return setup;
    }
    p->native = request.native;
    ProjObject raw(proj_create_crs_to_crs_from_pj(ctx, opened.source.get(), target.get(), nullptr, nullptr));
    if (raw) p->transform = ProjObject(proj_normalize_for_visualization(ctx, raw.get()));
    if (!p->transform) {
        setup.error = "no transformation from WGS 84 to '" + request.crs + "': " + last_proj_error(ctx);
        return setup;
    }
    setup.crs_name = proj_get_name(target.get());
    const char* unit = nullptr;
    double factor = 1;
    if (first_axis_unit(ctx, target.get(), unit, factor)) setup.unit = unit;
    if (!request.native) setup.warning = outside_area_of_use(ctx, target.get(), request);
    const char* auth = proj_get_id_auth_name(target.get(), 0);
    const char* code = proj_get_id_code(target.get(), 0);
    if (auth != nullptr && code != nullptr) setup.crs_id = std::string(auth) + ":" + code;

    const char* wkt = one_line_wkt(ctx, target.get(), PJ_WKT1_GDAL);
    if (wkt == nullptr) {
        setup.error = "PROJ cannot write '" + request.crs + "' as WKT1: " + last_proj_error(ctx);
        return setup;
    }
    setup.wkt = wkt;
    // The compound CRS for a LAS file: the projected CRS and the heights' meaning.
    const std::string vertical = request.vertical.empty() ? "ellipsoidal height" : request.vertical;
    if (vertical == "ellipsoidal height") {
        ProjObject three_d(proj_crs_promote_to_3D(ctx, nullptr, target.get()));
        const char* options[] = {"MULTILINE=NO", "ALLOW_ELLIPSOIDAL_HEIGHT_AS_VERTICAL_CRS=YES", nullptr};
        const char* c = three_d ? proj_as_wkt(ctx, three_d.get(), PJ_WKT1_GDAL, options) : nullptr;
        if (c != nullptr) setup.compound_wkt = c;
    } else {
        const std::string datum = vertical.rfind("height above ", 0) == 0 ? vertical.substr(13) : vertical;
        ProjObject v(proj_create_vertical_crs(ctx, vertical.c_str(), datum.c_str(), "metre", 1.0));
        const std::string name = setup.crs_name + " + " + vertical;
        ProjObject compound(v ? proj_create_compound_crs(ctx, name.c_str(), target.get(), v.get()) : nullptr);
        const char* c = compound ? one_line_wkt(ctx, compound.get(), PJ_WKT1_GDAL) : nullptr;
        if (c != nullptr) setup.compound_wkt = c;
    }
    if (setup.compound_wkt.empty()) {
        setup.error = "PROJ cannot write the compound coordinate system of '" + request.crs + "': " + last_proj_error(ctx);
        return setup;
    }
    setup.projection = p;
    return setup;
}

}  // namespace

ProjectionSetup make_projection(const ProjectionRequest& request) { return finish_projection(open_context(), request); }

std::future<ProjectionSetup> start_projection(const ProjectionRequest& request) {
    return std::async(std::launch::async, [request] { return make_projection(request); });
}

std::future<ProjectionSetup> start_projection(std::future<ProjectionRequest> request) {
    return std::async(std::launch::async, [request = std::move(request)]() mutable {
        OpenedContext opened = open_context();
        return finish_projection(std::move(opened), request.get());
    });
}

std::string point_at(const GeoPoint& p) {
    return "a point at longitude " + std::to_string(p.lon) + ", latitude " + std::to_string(p.lat);
}

Projected project_exact(Projection& p, double lon, double lat) {
    if (p.native) return {lon, lat};
    std::lock_guard lock(p.mutex);
    return p.exact_locked(lon, lat);
}

bool project(Projection& p, const GeoPoint* in, Projected* out, std::size_t n, std::size_t* bad) {
    if (p.native) {
        for (std::size_t k = 0; k < n; ++k) out[k] = {in[k].lon, in[k].lat};
        return true;
    }
    std::int64_t last_bi = INT64_MIN, last_bj = INT64_MIN;
    std::shared_ptr<const Block> b;
    std::size_t switches = 0;
    for (std::size_t k = 0; k < n; ++k) {
        const double x = in[k].lon * kNodesPerDegree, y = in[k].lat * kNodesPerDegree;
        const std::int64_t i = floor_int(x), j = floor_int(y);
        const auto fx0 = static_cast<double>(i), fy0 = static_cast<double>(j);
        const std::int64_t bi = i >> kBlockBits, bj = j >> kBlockBits;
        if (bi != last_bi || bj != last_bj || b == nullptr) {
            // Points that rarely share a block (spread far apart) cost a
            // block of PROJ's work each: the rest of them go through PROJ.
            if (++switches > kMaxBlocks / 4 && switches * 16 > k) {
                const bool ok = p.exact_batch(in + k, out + k, n - k, bad);
                if (!ok && bad != nullptr) *bad += k;
                return ok;
            }
            b = p.block(bi, bj);
            last_bi = bi;
            last_bj = bj;
        }
        if (b->exact || b->invalid) {
            out[k] = project_exact(p, in[k].lon, in[k].lat);
            if (out[k].e == HUGE_VAL) {
                if (bad != nullptr) *bad = k;
                return false;
            }
            continue;
        }
        const double fx = x - fx0, fy = y - fy0;
        const int node = static_cast<int>(j - (bj << kBlockBits)) * kBlockNodes + static_cast<int>(i - (bi << kBlockBits));
        const double* e = b->e.data() + node;
        const double* nn = b->n.data() + node;
        const double w00 = (1 - fx) * (1 - fy), w10 = fx * (1 - fy), w01 = (1 - fx) * fy, w11 = fx * fy;
        out[k].e = w00 * e[0] + w10 * e[1] + w01 * e[kBlockNodes] + w11 * e[kBlockNodes + 1];
        out[k].n = w00 * nn[0] + w10 * nn[1] + w01 * nn[kBlockNodes] + w11 * nn[kBlockNodes + 1];
    }
    return true;
}

}  // namespace morva::common
