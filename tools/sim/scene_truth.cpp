#include "scene_truth.hpp"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdio>
#include <cstring>

#include <proj.h>

#include "georef/georeference.hpp"
#include "seeded_values.hpp"

namespace morva::sim {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr std::int64_t kMaxAttempts = 2000;  // places tried per check point

void append_le(std::string& out, const void* value, std::size_t bytes) {
    unsigned char b[8];
    std::memcpy(b, value, bytes);
    if constexpr (std::endian::native == std::endian::big) {
        for (std::size_t k = 0; k < bytes / 2; ++k) std::swap(b[k], b[bytes - 1 - k]);
    }
    out.append(reinterpret_cast<const char*>(b), bytes);
}

// Open: bare ground there and 5 m around; vegetated: under a tree crown,
// away from its rim.
bool is_open(const Surface& f, double lat, double lon, double per_lon) {
    for (int k = 0; k <= 8; ++k) {
        const double a = 2.0 * kPi * k / 8.0, d = k == 8 ? 0.0 : 5.0;
        const SceneHit hit = surface_hit(f, lat + d * std::cos(a) * georef::kDegreesPerMetre,
                                         lon + d * std::sin(a) / per_lon);
        if (hit.cover != Cover::Ground) return false;
    }
    return true;
}

bool is_vegetated(const Surface& f, double lat, double lon) {
    const SceneHit hit = surface_hit(f, lat, lon);
    return hit.cover == Cover::HighVegetation && hit.height - hit.ground > 3.0;
}

// Geographic positions to and from the UTM zone of the surface origin.
struct Utm {
    PJ_CONTEXT* ctx = proj_context_create();
    PJ* pj = nullptr;  // longitude, latitude to easting, northing
    PJ* crs = nullptr;
    int epsg = 0;
    Utm(const Surface& f, std::string& error) {
        // The EPSG code of the UTM zone (WGS 84) holding the origin.
        const int zone = std::min(60, 1 + static_cast<int>(std::floor((f.lon0 + 180.0) / 6.0)));
        epsg = (f.lat0 >= 0.0 ? 32600 : 32700) + zone;
        const std::string target = "EPSG:" + std::to_string(epsg);
        crs = proj_create(ctx, target.c_str());
        PJ* raw = proj_create_crs_to_crs(ctx, "EPSG:4326", target.c_str(), nullptr);
        if (raw != nullptr) {
            pj = proj_normalize_for_visualization(ctx, raw);
            proj_destroy(raw);
        }
        if (pj == nullptr || crs == nullptr) error = "PROJ cannot project to " + target;
    }
    ~Utm() {
        if (pj != nullptr) proj_destroy(pj);
        if (crs != nullptr) proj_destroy(crs);
        proj_context_destroy(ctx);
    }
    Utm(const Utm&) = delete;
    Utm& operator=(const Utm&) = delete;
    PJ_COORD to(double lat, double lon) const { return proj_trans(pj, PJ_FWD, proj_coord(lon, lat, 0, 0)); }
    PJ_COORD from(double e, double n) const { return proj_trans(pj, PJ_INV, proj_coord(e, n, 0, 0)); }
};

// The ground the beams can reach: along the line from a little before its
// start to a little after its end, and across it to the widest lean.
struct Swath {
    double length, before, half_width, heading;  // metres, radians
};
Swath swath_of(const SimOptions& o) {
    double lean = o.fov / 2.0 + std::fabs(o.roll.bias) + std::fabs(o.roll.amplitude) + std::fabs(o.misalign[1]) + 2.0;
    lean = std::fmin(lean, 80.0);
    const double drop = o.height + std::fabs(o.climb) * o.duration + 30.0;
    const double pitch = std::fabs(o.pitch.bias) + std::fabs(o.pitch.amplitude) + std::fabs(o.misalign[0]) + 2.0;
    const double ahead = drop * std::tan(std::fmin(pitch, 80.0) * kPi / 180.0) + 10.0;
    return {o.speed * o.duration + ahead, ahead, drop * std::tan(lean * kPi / 180.0) + 10.0, o.heading * kPi / 180.0};
}

// The position `along` the line and `across` it (to the right) from the start.
void swath_position(const Survey& s, const Swath& w, double along, double across, double& lat, double& lon) {
    const double north = along * std::cos(w.heading) - across * std::sin(w.heading);
    const double east = along * std::sin(w.heading) + across * std::cos(w.heading);
    lat = s.opt.lat + north * georef::kDegreesPerMetre;
    lon = s.opt.lon + east / s.metres_per_degree_lon;
}

}  // namespace

void append_truth_records(const Chunk& c, std::string& out) {
    for (const TruthPoint& t : c.truth) {
        for (double v : {t.true_lat, t.true_lon, t.true_h, t.ground}) append_le(out, &v, 8);
        out.push_back(static_cast<char>(t.cover));
        out.append(7, '\0');
    }
}

std::string checkpoints_text(const Survey& s, std::string& error) {
    const SimOptions& o = s.opt;
    const Surface& f = s.surface;
    const Utm utm(f, error);
    if (!error.empty()) return {};

    std::string out = "# check points: true ground heights with " + exact(o.checkpoint_noise) +
                      " m surveying noise; easting, northing in EPSG:" + std::to_string(utm.epsg) + " (WGS 84 / UTM), " +
                      (s.has_geoid ? "heights above the geoid grid geoid.txt" : "ellipsoidal heights") + "\n" +
                      "id,easting,northing,height,land_cover\n";
    // Places in the middle four fifths of the swath, along the whole line.
    const Swath swath = swath_of(o);
    const double half_swath = 0.8 * o.height * std::tan(0.5 * o.fov * kPi / 180.0);
    const double length = o.speed * o.duration;
    const bool trees = (f.scene.objects & kTrees) != 0 && f.scene.tree_share > 0.0;
    const std::uint64_t seed = splitmix(s.noise_seed ^ 0x636865636B73ull);
    std::uint64_t draws = 0;
    for (std::int32_t id = 1; id <= o.checkpoints; ++id) {
        const bool vegetated = trees && id % 2 == 0;
        double lat = 0, lon = 0;
        bool found = false;
        for (std::int64_t attempt = 0; attempt < kMaxAttempts && !found; ++attempt, draws += 2) {
            const double along = length * unit_random(seed, draws);
            const double across = half_swath * (2.0 * unit_random(seed, draws + 1) - 1.0);
            swath_position(s, swath, along, across, lat, lon);
            found = vegetated ? is_vegetated(f, lat, lon) : is_open(f, lat, lon, s.metres_per_degree_lon);
        }
        if (!found) {
            error = std::string("no ") + (vegetated ? "vegetated" : "open") + " place found for check point " +
                    std::to_string(id) + " (raise the share of trees or of open cells)";
            return {};
        }
        const double height = terrain_height(f, lat, lon) + o.checkpoint_noise * range_noise(seed, id, 0);
        const PJ_COORD c = utm.to(lat, lon);
        if (!std::isfinite(c.xy.x) || !std::isfinite(c.xy.y)) {
            error = "PROJ cannot project check point " + std::to_string(id);
            return {};
        }
        char line[160];
        std::snprintf(line, sizeof line, "%d,%.3f,%.3f,%.4f,%s\n", id, c.xy.x, c.xy.y, height,
                      vegetated ? "vegetated" : "open");
        out += line;
    }
    return out;
}

TruthGrids truth_grids(const Survey& s, double spacing, std::string& error) {
    const Utm utm(s.surface, error);
    if (!error.empty()) return {};
    // The swath's corners in UTM, their bounds snapped to the spacing.
    const Swath w = swath_of(s.opt);
    double e0 = 1e300, e1 = -1e300, n0 = 1e300, n1 = -1e300;
    for (double along : {-w.before, w.length}) {
        for (double across : {-w.half_width, w.half_width}) {
            double lat, lon;
            swath_position(s, w, along, across, lat, lon);
            const PJ_COORD c = utm.to(lat, lon);
            e0 = std::fmin(e0, c.xy.x), e1 = std::fmax(e1, c.xy.x);
            n0 = std::fmin(n0, c.xy.y), n1 = std::fmax(n1, c.xy.y);
        }
    }
    e0 = std::floor(e0 / spacing) * spacing, n0 = std::floor(n0 / spacing) * spacing;
    const auto ncols = static_cast<std::int64_t>(std::ceil((e1 - e0) / spacing));
    const auto nrows = static_cast<std::int64_t>(std::ceil((n1 - n0) / spacing));
    if (ncols * nrows > 200'000'000) {
        error = "the truth grid would hold " + std::to_string(ncols * nrows) + " cells (raise --truth-grid)";
        return {};
    }
    TruthGrids g;
    char head[256];
    std::snprintf(head, sizeof head, "ncols %lld\nnrows %lld\nxllcorner %.3f\nyllcorner %.3f\ncellsize %s\n",
                  static_cast<long long>(ncols), static_cast<long long>(nrows), e0, n0, exact(spacing).c_str());
    g.ground = std::string(head) + "NODATA_value -9999\n";
    g.cover = std::string(head) + "NODATA_value 0\n";
    g.ground.reserve(g.ground.size() + static_cast<std::size_t>(ncols * nrows) * 9);
    g.cover.reserve(g.cover.size() + static_cast<std::size_t>(ncols * nrows) * 3);
    char value[32];
    for (std::int64_t r = nrows - 1; r >= 0; --r) {  // north first
        const double n = n0 + (static_cast<double>(r) + 0.5) * spacing;
        for (std::int64_t c = 0; c < ncols; ++c) {
            const PJ_COORD p = utm.from(e0 + (static_cast<double>(c) + 0.5) * spacing, n);
            const SceneHit hit = surface_hit(s.surface, p.lp.phi, p.lp.lam);
            const char* gap = c + 1 < ncols ? " " : "\n";
            std::snprintf(value, sizeof value, "%.3f%s", hit.ground, gap);
            g.ground += value;
            std::snprintf(value, sizeof value, "%d%s", static_cast<int>(hit.cover), gap);
            g.cover += value;
        }
    }
    const char* wkt = proj_as_wkt(utm.ctx, utm.crs, PJ_WKT1_ESRI, nullptr);
    if (wkt == nullptr) {
        error = "PROJ gives no description of EPSG:" + std::to_string(utm.epsg);
        return {};
    }
    g.projection = std::string(wkt) + "\n";
    return g;
}

}  // namespace morva::sim
