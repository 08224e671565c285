// Scenes of objects on the ground: what every point hit agrees with the
// geometry (ground points on the plain ground of the same options, crowns,
// roofs, the deck and the outliers where they belong), the run's points
// agree with truth.bin point for point, two flights over one origin see the
// same scene, and the check points lie on the true ground within their
// surveying noise.

#include <gtest/gtest.h>
#include <proj.h>

#include <cmath>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>

#include "flight_support.hpp"
#include "run_outputs.hpp"
#include "scan_chunks.hpp"
#include "scene_truth.hpp"

namespace morva::sim {
namespace {

const std::string kScene = "--objects trees,buildings,bridge,lowveg,outliers --outliers 0.01 --range-noise 0.02 ";

struct Case {
    const char* name;
    const char* args;
    double deck_low, deck_high;  // the deck's height above the ground under its points
};

// Seed 1 puts the bridge within each of these swaths.
const Case kCases[] = {
    {"flat_300m", "--surface flat --height 300 --duration 4", 5.0, 8.0},
    {"waves_300m_banked", "--surface waves --waves 1.5,60 --height 300 --roll 0,4,5 --duration 4", 2.0, 11.0},
    {"tilt_1000m", "--surface tilt --height 1000 --duration 3 --nmeas 200", 3.0, 10.0},
};

class SceneTruth : public ::testing::TestWithParam<Case> {};

TEST_P(SceneTruth, AgreesWithTheGeometry) {
    const Survey s = testing::survey_of(kScene + GetParam().args);
    const Survey bare = testing::survey_of(GetParam().args);  // the same ground without the objects
    Chunk c;
    simulate_chunk(s, 0, s.nscans, true, s.opt.geodesy, c);
    ASSERT_EQ(c.error, "");

    std::map<Cover, std::int64_t> count;
    std::int64_t under_crowns = 0, through_gaps = 0;
    double deck = -1e300;
    for (const TruthPoint& t : c.truth) {
        const double above = t.true_h - t.ground;
        ++count[t.cover];
        ASSERT_LT(std::fabs(t.residual), 1e-5);
        ASSERT_NEAR(t.ground, surface_height(bare.surface, t.true_lat, t.true_lon), 1e-9);
        switch (t.cover) {
            case Cover::Ground: ASSERT_EQ(above, 0.0); break;
            case Cover::LowVegetation: ASSERT_TRUE(above > 0.0 && above <= 1.0) << above; break;
            case Cover::HighVegetation: ASSERT_TRUE(above > 0.0 && above <= 25.0 + 1e-9) << above; break;
            case Cover::Building: ASSERT_TRUE(above > 0.0 && above <= 17.0) << above; break;
            case Cover::Bridge: deck = std::fmax(deck, t.true_h); break;
            case Cover::Noise: ASSERT_LT(above, -2.5); break;  // 3 m or more of range beyond the ground
        }
        // Beams whose footprint lies under a crown: a share passes the gaps.
        if (t.cover != Cover::Noise &&
            surface_hit(s.surface, t.true_lat, t.true_lon).cover == Cover::HighVegetation) {
            ++under_crowns;
            if (t.cover != Cover::HighVegetation) ++through_gaps;
        }
    }
    for (Cover cover : {Cover::Ground, Cover::LowVegetation, Cover::HighVegetation, Cover::Building, Cover::Bridge,
                        Cover::Noise}) {
        EXPECT_GT(count[cover], 20) << cover_name(cover);
    }
    // The deck is level: most bridge points lie on it, at its clearance.
    std::int64_t on_deck = 0;
    for (const TruthPoint& t : c.truth) {
        if (t.cover != Cover::Bridge || t.true_h < deck - 1e-9) continue;
        ++on_deck;
        EXPECT_GE(t.true_h - t.ground, GetParam().deck_low);
        EXPECT_LE(t.true_h - t.ground, GetParam().deck_high);
    }
    EXPECT_GT(on_deck, 0.8 * count[Cover::Bridge]);
    const double n = static_cast<double>(c.truth.size());
    EXPECT_NEAR(count[Cover::Noise] / n, 0.01, 0.003);
    ASSERT_GT(under_crowns, 500);
    EXPECT_NEAR(static_cast<double>(through_gaps) / under_crowns, s.opt.openness, 0.04);
}

INSTANTIATE_TEST_SUITE_P(Scenes, SceneTruth, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

// truth.bin, read as a user would: one 40-byte record per point.
struct TruthRecord {
    double lat, lon, h, ground;
    Cover cover;
};
std::vector<TruthRecord> read_truth(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<TruthRecord> out;
    char b[kTruthRecordBytes];
    while (in.read(b, sizeof b)) {
        TruthRecord r;
        std::memcpy(&r.lat, b, 8);
        std::memcpy(&r.lon, b + 8, 8);
        std::memcpy(&r.h, b + 16, 8);
        std::memcpy(&r.ground, b + 24, 8);
        r.cover = static_cast<Cover>(b[32]);
        out.push_back(r);
    }
    return out;
}

TEST(SceneTruthFile, MatchesTheRunsPointsOneForOne) {
    const std::filesystem::path dir = std::filesystem::temp_directory_path() / "morva_scene_truth_file";
    const Survey s = testing::survey_of(kScene + "--surface waves --duration 2 --nmeas 200");
    const std::string run = testing::fly(s, dir);
    ASSERT_EQ(run.find("morva exit"), std::string::npos) << run;
    EXPECT_NE(testing::verify_report(dir).find("verify: OK"), std::string::npos) << testing::verify_report(dir);

    const std::vector<TruthRecord> truth = read_truth(dir / kTruthFile);
    ASSERT_EQ(static_cast<std::int64_t>(truth.size()), s.nscans * s.opt.nmeas);
    PointReader points;
    ASSERT_TRUE(open_points(points, (dir / kPointsBinary).string(), records::ScanPointForm::Binary));
    OutPoint p;
    std::string problem;
    std::int64_t noise = 0;
    const double limit = 6.0 * s.opt.range_noise + s.hdr.range_unit;
    for (const TruthRecord& t : truth) {
        ASSERT_TRUE(next_point(points, p, problem)) << problem;
        const double north = (p.lat - t.lat) * georef::kMetresPerDegree;
        const double east = (p.lon - t.lon) * georef::kMetresPerDegree * std::cos(t.lat * georef::kDegToRad);
        // Range noise moves a point along its beam, up to 30 degrees off the nadir.
        ASSERT_LT(std::hypot(north, east), limit) << cover_name(t.cover);
        ASSERT_LT(std::fabs(p.h - t.h), limit) << cover_name(t.cover);
        if (t.cover == Cover::Noise) {
            ++noise;
            ASSERT_LT(p.h, t.ground - 2.5);
        }
    }
    EXPECT_FALSE(next_point(points, p, problem));
    EXPECT_GT(noise, 10);
    std::filesystem::remove_all(dir);
}

// An ESRI ASCII grid as GDAL reads it: the header, then rows from the north.
struct AsciiGrid {
    std::int64_t ncols = 0, nrows = 0;
    double x0 = 0, y0 = 0, cell = 0;
    std::vector<double> v;
    double at(double e, double n) const {
        const auto c = static_cast<std::int64_t>(std::floor((e - x0) / cell));
        const auto r = nrows - 1 - static_cast<std::int64_t>(std::floor((n - y0) / cell));
        if (c < 0 || c >= ncols || r < 0 || r >= nrows) return std::nan("");
        return v[static_cast<std::size_t>(r * ncols + c)];
    }
};
AsciiGrid read_grid(const std::filesystem::path& path) {
    std::ifstream in(path);
    AsciiGrid g;
    std::string word;
    double nodata;
    in >> word >> g.ncols >> word >> g.nrows >> word >> g.x0 >> word >> g.y0 >> word >> g.cell >> word >> nodata;
    g.v.resize(static_cast<std::size_t>(g.ncols * g.nrows));
    for (double& x : g.v) in >> x;
    EXPECT_TRUE(in) << path;
    return g;
}

// The truth grids agree with truth.bin where the points fell: the ground
// within what the slope changes over half a cell, the class on top for
// nearly every point (a cell centre may fall beside a roof's or crown's edge).
TEST(SceneTruthGrids, AgreeWithThePointsTruth) {
    const std::filesystem::path dir = std::filesystem::temp_directory_path() / "morva_scene_grids";
    std::filesystem::remove_all(dir);
    const Survey s = testing::survey_of(kScene + "--surface waves --waves 1,60 --duration 2 --nmeas 200 --truth-grid 0.5");
    WriteSummary summary;
    ASSERT_EQ(write_survey(s, dir.string(), summary), "");
    const AsciiGrid ground = read_grid(dir / kGroundGridFile), cover = read_grid(dir / kCoverGridFile);
    ASSERT_TRUE(std::filesystem::exists(dir / "ground.prj"));
    PJ_CONTEXT* ctx = proj_context_create();
    PJ* raw = proj_create_crs_to_crs(ctx, "EPSG:4326", "EPSG:32631", nullptr);
    PJ* pj = proj_normalize_for_visualization(ctx, raw);
    std::int64_t n = 0, same_cover = 0;
    for (const TruthRecord& t : read_truth(dir / kTruthFile)) {
        if (t.cover == Cover::Noise) continue;
        const PJ_COORD c = proj_trans(pj, PJ_FWD, proj_coord(t.lon, t.lat, 0, 0));
        const double g = ground.at(c.xy.x, c.xy.y);
        ASSERT_FALSE(std::isnan(g)) << "a point outside the grid";
        ASSERT_NEAR(g, t.ground, 0.36 * 0.11 + 0.0005);  // half a cell's diagonal times the steepest wave, and the digits
        ++n;
        if (cover.at(c.xy.x, c.xy.y) == static_cast<double>(t.cover)) ++same_cover;
    }
    proj_destroy(pj);
    proj_destroy(raw);
    proj_context_destroy(ctx);
    EXPECT_GT(same_cover, 0.9 * n);
    std::filesystem::remove_all(dir);
}

TEST(SceneOnTheGround, IsTheSameForTwoFlightsOverOneOrigin) {
    const std::string ground = "--objects trees,buildings,bridge,lowveg --surface waves --surface-origin 52.001,5.002 ";
    const Survey a = testing::survey_of(ground + "--lat 52 --lon 5 --heading 30");
    const Survey b = testing::survey_of(ground + "--lat 52.004 --lon 5.006 --heading 200 --height 900");
    const Survey other_seed = testing::survey_of(ground + "--lat 52 --lon 5 --heading 30 --seed 2");
    std::map<Cover, int> seen;
    int differ = 0;
    for (int r = -120; r <= 120; ++r) {
        for (int q = -120; q <= 120; ++q) {
            const double lat = 52.001 + r * 1.3 * georef::kDegreesPerMetre, lon = 5.002 + q * 2e-5;
            const SceneHit ha = surface_hit(a.surface, lat, lon), hb = surface_hit(b.surface, lat, lon);
            ASSERT_EQ(ha.height, hb.height);
            ASSERT_EQ(ha.cover, hb.cover);
            ++seen[ha.cover];
            if (surface_hit(other_seed.surface, lat, lon).cover != ha.cover) ++differ;
        }
    }
    for (Cover cover : {Cover::Ground, Cover::LowVegetation, Cover::HighVegetation, Cover::Building, Cover::Bridge})
        EXPECT_GT(seen[cover], 100) << cover_name(cover);
    EXPECT_GT(differ, 1000);  // another seed, another scene
}

// The check points, projected back with PROJ, lie on the true ground within
// the surveying noise, open ones away from objects, vegetated ones under crowns.
TEST(Checkpoints, LieOnTheTrueGroundWithinTheirNoise) {
    const std::filesystem::path dir = std::filesystem::temp_directory_path() / "morva_scene_checkpoints";
    std::filesystem::remove_all(dir);
    const Survey s = testing::survey_of(
        "--objects trees,buildings,lowveg --surface waves --waves 2,40 --duration 1 --nmeas 50 --checkpoints 200");
    WriteSummary summary;
    ASSERT_EQ(write_survey(s, dir.string(), summary), "");
    std::ifstream in(dir / kCheckpointFile);
    std::string comment, header, line;
    ASSERT_TRUE(std::getline(in, comment) && std::getline(in, header));
    EXPECT_NE(comment.find("EPSG:32631"), std::string::npos) << comment;
    EXPECT_NE(comment.find("above the geoid"), std::string::npos) << comment;
    EXPECT_EQ(header, "id,easting,northing,height,land_cover");

    PJ_CONTEXT* ctx = proj_context_create();
    PJ* raw = proj_create_crs_to_crs(ctx, "EPSG:32631", "EPSG:4326", nullptr);
    ASSERT_NE(raw, nullptr);
    PJ* pj = proj_normalize_for_visualization(ctx, raw);
    std::map<std::string, int> kinds;
    double squares = 0, sum = 0;
    int n = 0;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string id, e, nn, h, kind;
        ASSERT_TRUE(std::getline(fields, id, ',') && std::getline(fields, e, ',') && std::getline(fields, nn, ',') &&
                    std::getline(fields, h, ',') && std::getline(fields, kind));
        const PJ_COORD g = proj_trans(pj, PJ_FWD, proj_coord(std::stod(e), std::stod(nn), 0, 0));
        const double lat = g.lp.phi, lon = g.lp.lam;  // degrees, longitude first
        const double d = std::stod(h) - terrain_height(s.surface, lat, lon);
        const SceneHit hit = surface_hit(s.surface, lat, lon);
        ASSERT_LT(std::fabs(d), 5.0 * s.opt.checkpoint_noise) << line;
        if (kind == "open") {
            EXPECT_EQ(hit.cover, Cover::Ground) << line;
        } else {
            ASSERT_EQ(kind, "vegetated");
            EXPECT_EQ(hit.cover, Cover::HighVegetation) << line;
            EXPECT_GT(hit.height - hit.ground, 3.0) << line;
        }
        ++kinds[kind];
        sum += d;
        squares += d * d;
        ++n;
    }
    proj_destroy(pj);
    proj_destroy(raw);
    proj_context_destroy(ctx);
    EXPECT_EQ(n, 200);
    EXPECT_EQ(kinds["open"], 100);
    EXPECT_EQ(kinds["vegetated"], 100);
    EXPECT_NEAR(std::sqrt(squares / n), s.opt.checkpoint_noise, 0.25 * s.opt.checkpoint_noise);
    EXPECT_LT(std::fabs(sum / n), 3.0 * s.opt.checkpoint_noise / std::sqrt(n));
    std::string error;
    std::ifstream again(dir / kCheckpointFile);
    std::stringstream text;
    text << again.rdbuf();
    EXPECT_EQ(checkpoints_text(s, error), text.str());  // seeded: the same survey, the same points
    std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace morva::sim
