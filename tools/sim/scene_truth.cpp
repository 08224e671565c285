#include "scene_truth.hpp"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>

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

struct Projection {
    PJ_CONTEXT* ctx = proj_context_create();
    PJ* pj = nullptr;
    ~Projection() {
        if (pj != nullptr) proj_destroy(pj);
        proj_context_destroy(ctx);
    }
};

}  // namespace

void append_truth_records(const Chunk& c, std::string& out) {
    for (const TruthPoint& t : c.truth) {
        for (double v : {t.true_lat, t.true_lon, t.true_h, t.ground}) append_le(out, &v, 8);
        out.push_back(static_cast<char>(t.cover));
        out.append(7, '\0');
    }
}

int utm_epsg(double lat, double lon) {
    const int zone = std::min(60, 1 + static_cast<int>(std::floor((lon + 180.0) / 6.0)));
    return (lat >= 0.0 ? 32600 : 32700) + zone;
}

std::string checkpoints_text(const Survey& s, std::string& error) {
    const SimOptions& o = s.opt;
    const Surface& f = s.surface;
    const int epsg = utm_epsg(f.lat0, f.lon0);
    Projection proj;
    const std::string target = "EPSG:" + std::to_string(epsg);
    PJ* raw = proj_create_crs_to_crs(proj.ctx, "EPSG:4326", target.c_str(), nullptr);
    if (raw != nullptr) {
        proj.pj = proj_normalize_for_visualization(proj.ctx, raw);  // longitude, latitude in; easting, northing out
        proj_destroy(raw);
    }
    if (proj.pj == nullptr) {
        error = "PROJ cannot project to " + target;
        return {};
    }

    std::string out = "# check points: true ground heights with " + exact(o.checkpoint_noise) +
                      " m surveying noise; easting, northing in EPSG:" + std::to_string(epsg) + " (WGS 84 / UTM), " +
                      (s.has_geoid ? "heights above the geoid grid geoid.txt" : "ellipsoidal heights") + "\n" +
                      "id,easting,northing,height,land_cover\n";
    // Places in the middle four fifths of the swath, along the whole line.
    const double half_swath = 0.8 * o.height * std::tan(0.5 * o.fov * kPi / 180.0);
    const double length = o.speed * o.duration;
    const double hd = o.heading * kPi / 180.0;
    const bool trees = (f.scene.objects & kTrees) != 0 && f.scene.tree_share > 0.0;
    const std::uint64_t seed = splitmix(s.noise_seed ^ 0x636865636B73ull);
    std::uint64_t draws = 0;
    for (std::int32_t id = 1; id <= o.checkpoints; ++id) {
        const bool vegetated = trees && id % 2 == 0;
        double lat = 0, lon = 0;
        bool found = false;
        for (std::int64_t attempt = 0; attempt < kMaxAttempts && !found; ++attempt, draws += 2) {
            const double along = length * unit_random(seed, draws), across = half_swath * (2.0 * unit_random(seed, draws + 1) - 1.0);
            const double north = along * std::cos(hd) - across * std::sin(hd);
            const double east = along * std::sin(hd) + across * std::cos(hd);
            lat = o.lat + north * georef::kDegreesPerMetre;
            lon = o.lon + east / s.metres_per_degree_lon;
            found = vegetated ? is_vegetated(f, lat, lon) : is_open(f, lat, lon, s.metres_per_degree_lon);
        }
        if (!found) {
            error = std::string("no ") + (vegetated ? "vegetated" : "open") + " place found for check point " +
                    std::to_string(id) + " (raise the share of trees or of open cells)";
            return {};
        }
        const double height = terrain_height(f, lat, lon) + o.checkpoint_noise * range_noise(seed, id, 0);
        PJ_COORD c = proj_trans(proj.pj, PJ_FWD, proj_coord(lon, lat, 0, 0));
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

}  // namespace morva::sim
