// --verify passes the run's own outputs and catches each kind of damage to
// them: a height off by a few millimetres, a point missing, a centre line
// missing, the distortion left in, a run control changed in a way the
// survey does not follow.

#include "verify.hpp"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "../text/text_test_support.hpp"
#include "run/main_sequence.hpp"
#include "survey.hpp"
#include "survey_files.hpp"

namespace morva::sim {
namespace {

namespace fs = std::filesystem;

std::string read_all(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void write_all(const fs::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    out << bytes;
}

class Verify : public ::testing::Test {
protected:
    // A small survey, processed by the run in a child process.
    void SetUp() override {
        dir = fs::temp_directory_path() / ("morva-sim-verify-" + std::to_string(::getpid()));
        fs::remove_all(dir);
        SimOptions opt;
        std::vector<std::string> rest;
        std::string error;
        ASSERT_TRUE(parse_options({"--duration", "1", "--nmeas", "400", "--roll", "3,2,4", "--icalib", "3", "--ground",
                                   "0.5", "--distortion", "0.02,0.01"},
                                  opt, rest, error));
        Survey s;
        ASSERT_TRUE(build_survey(opt, s, error)) << error;
        WriteSummary summary;
        ASSERT_EQ(write_survey(s, dir.string(), summary), "");
        const std::string run_dir = dir.string();
        const text::testing::ChildResult run = text::testing::run_in_child([&] {
            if (::chdir(run_dir.c_str()) != 0) std::_Exit(98);
            const int fd = ::open("run.in", O_RDONLY);
            if (fd < 0 || ::dup2(fd, 0) < 0) std::_Exit(97);
            run::run_survey({}, {2});
            text::testing::end_run();
        });
        ASSERT_EQ(run.status, 0) << run.output;
        write_all(dir / "console.txt", run.output);
        points = read_all(dir / kPointsBinary);
        centres = read_all(dir / kCentreFile);
        ASSERT_EQ(points.size(), 18u * 40 * 400);
    }
    void TearDown() override { fs::remove_all(dir); }

    std::string verify(VerifyRequest request) {
        request.dir = dir.string();
        std::string report;
        return verify_survey(request, report) ? "OK" : report;
    }

    fs::path dir;
    std::string points, centres;
};

TEST_F(Verify, PassesTheRunsOwnOutputs) {
    EXPECT_EQ(verify({}), "OK");
    VerifyRequest all;
    all.console = "console.txt";
    all.regression = "console.txt";
    EXPECT_EQ(verify(all), "OK");
}

TEST_F(Verify, CatchesAHeightFiveMillimetresOff) {
    std::string bad = points;
    bad[18 * 477 + 12] = static_cast<char>(bad[18 * 477 + 12] + 5);  // point 478: scan 2, measurement 78
    write_all(dir / kPointsBinary, bad);
    EXPECT_NE(verify({}).find("scan 2 measurement 78: height"), std::string::npos) << verify({});
}

TEST_F(Verify, CatchesAMissingPoint) {
    write_all(dir / kPointsBinary, points.substr(0, points.size() - 18));
    EXPECT_NE(verify({}).find("the scan-point file ends before scan 40 measurement 400"), std::string::npos);
    write_all(dir / kPointsBinary, points + points.substr(0, 18));
    EXPECT_NE(verify({}).find("more points than the survey measured"), std::string::npos);
}

TEST_F(Verify, CatchesAMissingCentreLine) {
    write_all(dir / kCentreFile, centres.substr(centres.find('\n') + 1));
    EXPECT_NE(verify({}).find("centre record"), std::string::npos);
}

TEST_F(Verify, FlatFailsWhileTheDistortionIsInTheHeights) {
    VerifyRequest flat;
    flat.flat = true;
    EXPECT_NE(verify(flat).find(": height"), std::string::npos);
}

TEST_F(Verify, RefusesARunControlTheSurveyDoesNotFollow) {
    std::string rc = read_all(dir / kRunControlFile);
    const std::string lever = "0 0 0                         offx";
    ASSERT_NE(rc.find(lever), std::string::npos);
    write_all(dir / kRunControlFile, rc.replace(rc.find(lever), 5, "0 0 1"));
    EXPECT_NE(verify({}).find("run.in changes the lever arm"), std::string::npos);
}

// guards: a run in the other geodesy failed with tens of thousands of
// failures, "stopped after" far past the documented 1000, and no hint.
TEST_F(Verify, ARunInTheOtherGeodesyStopsAtAThousandAndNamesTheGeodesy) {
    VerifyRequest ellipsoid;
    ellipsoid.geodesy = georef::Geodesy::Ellipsoid;
    const std::string report = verify(ellipsoid);
    EXPECT_NE(report.find("verify: stopped early after 1000 failures: checked 3 of 40 scans"), std::string::npos)
        << report;
    EXPECT_NE(report.find("points checked lie away from their footprints: the likeliest cause is a run in another geodesy than the ellipsoid "
                          "one checked. The survey is written for --geodesy flat (run: cd " +
                          dir.string() + " && morva < run.in); a run with --geodesy flat is checked by "
                                         "morva-sim --verify --geodesy flat"),
              std::string::npos)
        << report;
}

}  // namespace
}  // namespace morva::sim
