// Recordings that depart from what the run control says, checked against
// the simulator's known truth: seeded range noise, a misalignment the run
// does not correct, and a verification that gives up on a run far off.

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <iterator>

#include "flight_support.hpp"
#include "scan_chunks.hpp"

namespace morva::sim {
namespace {

namespace fs = std::filesystem;
using namespace testing;  // the flights of flight_support.hpp

// Level flight at 300 m over flat ground without a geoid, 60 degree swath.
const std::string kLevel = "--geoid off --surface flat --ground 10 --height 300 --duration 1 --nmeas 150 --scan-rate 30 ";

struct Departure {
    const char* name;
    std::string sim;                        // options of the survey
    std::optional<std::array<double, 4>> model_error;  // bounds given to --verify
    const char* description_edit;           // a survey.sim line replaced before --verify, "" for none
    const char* restated;                   // the misalignment of a run control run again, "" for none
    std::vector<const char*> report;        // texts the report must hold
    bool ok;                                // --verify passes
    double height_sd = -1;                  // the heights' standard deviation about the ground, metres
};

const Departure kDepartures[] = {
    // Noise of 2 cm on every range: the heights scatter by its vertical
    // part (cos of the nadir angle: 0.955 sigma over a 60 degree swath).
    {"range_noise", kLevel + "--range-noise 0.02", {}, "", "",
     {"range noise 0.02 m: points up to", "verify: OK"}, true, 0.0191},
    // A roll of 0.05 degrees left uncorrected: the swath's edges, 30 degrees
    // off the nadir, lie H (1 - cos a / cos(a + d)) = 0.151 m off in height
    // and H (sin(a + d) - sin a) / cos(a + d) = 0.262 m across.
    {"roll_uncorrected", kLevel + "--misalign-truth 0,0.05,0", std::array<double, 4>{0.255, 0.275, 0.147, 0.155}, "", "",
     {"the run's misalignment 0,0,0 against the truth's 0,0.05,0: points up to", "verify: OK"}, true},
    {"roll_outside_bounds", kLevel + "--misalign-truth 0,0.05,0", std::array<double, 4>{0, 0.2, 0, 0.1}, "", "",
     {"horizontal distance from the truth 0.26", "vertical distance from the truth 0.15"}, false},
    // The points checked against a surface 1 m higher than flown fail from
    // the first scan; after 1000 failures the check says how far it got.
    // Guards the report of a check that gave up counting only what it saw
    // as if it were the whole run.
    {"gives_up_early", kLevel + "--duration 5", {}, "--ground 11", "",
     {"verify: stopped early after 1000 failures: checked 7 of 150 scans, 993 of 22500 points"}, false},
    // Reprocessed with an estimate of the truth's misalignment (0.0005
    // degrees off per axis): the points lie within the noise again.
    {"estimate_reprocessed", kLevel + "--range-noise 0.02 --misalign-truth 0.05,-0.03,0.1", {}, "",
     "0.0505 -0.0295 0.1005",
     {"the run's misalignment 0.0505,-0.0295,0.1005 against the truth's 0.05,-0.03,0.1, range noise 0.02 m",
      "verify: OK"},
     true},
    // An estimate 0.005 degrees off in roll: up to 3 cm at the swath's
    // edge, small enough for the noise to hide in single points but not in
    // their RMS.
    {"estimate_poor", kLevel + "--range-noise 0.02 --misalign-truth 0.05,-0.03,0.1", {}, "", "0.05 -0.025 0.1",
     {"m RMS from the truth, expected 0.02"}, false},
    // Left uncorrected, far beyond what the noise could hide: reported, as
    // a model error is.
    {"estimate_missing", kLevel + "--range-noise 0.02 --misalign-truth 0.05,-0.03,0.1", {}, "", "0 0 0",
     {"the run's misalignment 0,0,0 against the truth's 0.05,-0.03,0.1, range noise 0.02 m: points up to 0.59",
      "verify: OK"},
     true},
};

double height_sd_about(const fs::path& points, double ground) {
    std::ifstream in(points, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    double sum = 0;
    std::size_t n = 0;
    for (std::size_t at = 0; at + 18 <= bytes.size(); at += 18, ++n) {
        const auto* b = reinterpret_cast<const unsigned char*>(bytes.data() + at + 12);
        const auto mm = static_cast<std::int32_t>(b[0] | b[1] << 8 | b[2] << 16 | std::uint32_t(b[3]) << 24);
        sum += (mm * 1e-3 - ground) * (mm * 1e-3 - ground);
    }
    return n ? std::sqrt(sum / n) : -1;
}

TEST(TruthDepartures, VerifyMeasuresThemAgainstTheTruth) {
    for (const Departure& d : kDepartures) {
        SCOPED_TRACE(d.name);
        const fs::path dir = fs::temp_directory_path() / ("morva-sim-departure-" + std::to_string(::getpid()));
        const std::string console = fly(survey_of(d.sim), dir);
        ASSERT_EQ(console.find("morva exit"), std::string::npos) << console;
        if (*d.description_edit) {
            std::ofstream(dir / kDescriptionFile, std::ios::app) << d.description_edit << "\n";
        }
        VerifyRequest request;
        request.model_error = d.model_error;
        if (*d.restated) {
            std::ifstream in(dir / kRunControlFile);
            std::ofstream out(dir / "run.estimate.in");
            for (std::string line; std::getline(in, line);) {
                out << (line.find("dpitch droll dheading") != std::string::npos ? d.restated : line) << "\n";
            }
            out.close();
            const std::string again = run_morva(dir, "run.estimate.in");
            ASSERT_EQ(again.find("morva exit"), std::string::npos) << again;
            request.run_control = "run.estimate.in";
        }
        const std::string report = verify_report(dir, request);
        for (const char* text : d.report) EXPECT_NE(report.find(text), std::string::npos) << text << "\n" << report;
        EXPECT_EQ(report.find("verify: OK") != std::string::npos, d.ok) << report;
        if (d.height_sd > 0) {
            EXPECT_NEAR(height_sd_about(dir / kPointsBinary, 10.0), d.height_sd, 0.1 * d.height_sd);
        }
        fs::remove_all(dir);
    }
}

// The noise is the seed's: the same options record the same ranges, and
// another seed other ones.
TEST(TruthDepartures, RangeNoiseIsSeeded) {
    auto ranges = [](const std::string& args) {
        const Survey s = survey_of(kLevel + args);
        std::vector<std::uint32_t> r;
        std::string error = for_each_chunk(s, 2, false, [&](const Chunk& c) {
            for (const Measurement& m : c.meas) r.push_back(m.range);
            return true;
        });
        EXPECT_EQ(error, "");
        return r;
    };
    const auto quiet = ranges("--seed 3");
    const auto a = ranges("--range-noise 0.05 --seed 3");
    EXPECT_EQ(a, ranges("--range-noise 0.05 --seed 3 --threads 1"));
    EXPECT_NE(a, ranges("--range-noise 0.05 --seed 4"));
    double sum = 0;
    for (std::size_t k = 0; k < a.size(); ++k) sum += std::pow((double(a[k]) - quiet[k]) * 0.002, 2);
    EXPECT_NEAR(std::sqrt(sum / a.size()), 0.05, 0.005);
}

}  // namespace
}  // namespace morva::sim
