// The simulator's files, read back by the run's own loaders, must hold
// exactly the values the ranges were computed against: run control,
// trajectory (with speeds), geoid grid, scanner header, and every scan's
// time, number, angles and timer offsets.

#include "survey_files.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "inputs/geoid.hpp"
#include "inputs/run_control.hpp"
#include "inputs/trajectory.hpp"
#include "scan_chunks.hpp"
#include "scanner/byte_reader.hpp"
#include "scanner/scan_stream.hpp"
#include "scanner/scanner_header.hpp"
#include "survey.hpp"
#include "text/out_stream.hpp"
#include "text/text_reader.hpp"

namespace morva::sim {
namespace {

namespace fs = std::filesystem;

void quiet() {
    text::console().used = 0;
}

struct Flight {
    const char* name;
    std::vector<std::string> args;
};

const Flight kFlights[] = {
    {"level", {}},
    {"seam_with_motion",
     {"--heading", "180", "--yaw", "0,4,3", "--roll", "5,3,6", "--pitch", "1,1,5", "--lever", "1,-0.5,2"}},
    {"positions_only_no_geoid", {"--attitude", "off", "--geoid", "off", "--surface", "tilt"}},
    {"high_latitude", {"--lat", "78.2", "--lon", "-150.3", "--heading", "305", "--surface", "waves"}},
    {"free_clock_wraps",
     {"--clock", "free", "--time-source", "rtc", "--first-scan", "16.74", "--scan-number", "65450", "--duration", "3",
      "--nmeas", "50"}},
    {"no_time_source_midnight",
     {"--time-source", "none", "--start", "23:59:58", "--first-scan", "1.5", "--dtsec", "0.75"}},
    {"calibrated", {"--calibration", "on", "--use-cal", "on"}},
    {"coarse_timer_polar_2", {"--timer-unit", "1e-5", "--polar-id", "2", "--fov", "90", "--scan-rate", "25"}},
};

class SurveyFiles : public ::testing::TestWithParam<Flight> {
protected:
    void SetUp() override {
        std::vector<std::string> args = {"--duration", "1", "--nmeas", "60"};
        args.insert(args.end(), GetParam().args.begin(), GetParam().args.end());
        SimOptions opt;
        std::vector<std::string> rest;
        std::string error;
        ASSERT_TRUE(parse_options(args, opt, rest, error)) << error;
        ASSERT_TRUE(build_survey(opt, s, error)) << error;
        dir = fs::temp_directory_path() / ("morva-sim-test-" + std::string(GetParam().name));
        fs::remove_all(dir);
        WriteSummary summary;
        ASSERT_EQ(write_survey(s, dir.string(), summary), "");
        EXPECT_EQ(summary.measurements, s.nscans * s.opt.nmeas);
    }
    void TearDown() override { fs::remove_all(dir); }

    Survey s;
    fs::path dir;
};

TEST_P(SurveyFiles, RunControlReadsBackAsWritten) {
    text::TextReader in;
    ASSERT_TRUE(text::open_in(in, (dir / kRunControlFile).string()));
    inputs::RunControl rc;
    inputs::read_run_control(in, rc);
    text::close_in(in);
    inputs::derive(rc);
    const inputs::RunControl& w = s.rc;
    EXPECT_EQ(rc.scanfile, w.scanfile);
    EXPECT_EQ(rc.gpsfile, w.gpsfile);
    EXPECT_EQ(rc.geoidfile, w.geoidfile);
    EXPECT_EQ(rc.scanptfile, w.scanptfile);
    EXPECT_EQ(rc.centfile, w.centfile);
    const double read[] = {rc.hr0,    double(rc.min0), rc.sec0,     rc.dtsec,    rc.tstart,   rc.tend,    rc.latmin,
                           rc.latmax, rc.lonmin,       rc.lonmax,   rc.offx,     rc.offy,     rc.offz,    rc.dpitch,
                           rc.droll,  rc.dheading,     rc.pcoef[0], rc.pcoef[1], rc.pcoef[2], rc.pcoef[3]};
    const double written[] = {w.hr0,    double(w.min0), w.sec0,     w.dtsec,    w.tstart,   w.tend,    w.latmin,
                              w.latmax, w.lonmin,       w.lonmax,   w.offx,     w.offy,     w.offz,    w.dpitch,
                              w.droll,  w.dheading,     w.pcoef[0], w.pcoef[1], w.pcoef[2], w.pcoef[3]};
    for (std::size_t k = 0; k < std::size(read); ++k) EXPECT_EQ(read[k], written[k]) << "value " << k;
    EXPECT_EQ(rc.use_sync, w.use_sync);
    EXPECT_EQ(rc.navg, w.navg);
    EXPECT_EQ(rc.nthin, w.nthin);
    EXPECT_EQ(rc.iout_type, w.iout_type);
    EXPECT_EQ(rc.attitude, w.attitude);
    EXPECT_EQ(rc.use_cal, w.use_cal);
    EXPECT_EQ(rc.icalib, w.icalib);
    EXPECT_EQ(rc.full_georef, w.full_georef);
}

TEST_P(SurveyFiles, TrajectoryLoadsToTheTableFlown) {
    text::TextReader in;
    ASSERT_TRUE(text::open_in(in, (dir / kTrajectoryFile).string()));
    inputs::TrajectoryTable table;
    inputs::read_trajectory_records(in, s.rc, table);
    text::close_in(in);
    ASSERT_EQ(table.ntraj, s.table.ntraj);
    inputs::trajectory_speeds(table.slot.get(), table.ntraj);
    for (std::int32_t j = 1; j <= table.ntraj + 1; ++j) {
        const inputs::TrajectoryRecord& a = table.slot[j];
        const inputs::TrajectoryRecord& b = s.table.slot[j];
        EXPECT_EQ(a.thr, b.thr) << j;
        EXPECT_EQ(a.lat, b.lat) << j;
        EXPECT_EQ(a.lon, b.lon) << j;
        EXPECT_EQ(a.h, b.h) << j;
        EXPECT_EQ(a.pitch, b.pitch) << j;
        EXPECT_EQ(a.roll, b.roll) << j;
        EXPECT_EQ(a.heading, b.heading) << j;
        if (j <= table.ntraj) {
            EXPECT_EQ(a.vel, b.vel) << j;
        }
        EXPECT_TRUE(a.heading > -180.0 && a.heading <= 180.0);
    }
}

TEST_P(SurveyFiles, GeoidLoadsToTheGridUsed) {
    if (!s.has_geoid) {
        EXPECT_FALSE(fs::exists(dir / kGeoidFile));
        return;
    }
    inputs::GeoidGrid g;
    inputs::load_geoid((dir / kGeoidFile).string(), g);
    quiet();
    EXPECT_EQ(g.glat1, s.geoid.glat1);
    EXPECT_EQ(g.glat2, s.geoid.glat2);
    EXPECT_EQ(g.glon1, s.geoid.glon1);
    EXPECT_EQ(g.glon2, s.geoid.glon2);
    EXPECT_EQ(g.dlat, s.geoid.dlat);
    EXPECT_EQ(g.dlon, s.geoid.dlon);
    ASSERT_EQ(g.nlat, s.geoid.nlat);
    ASSERT_EQ(g.nlon, s.geoid.nlon);
    for (std::int64_t k = 1; k <= std::int64_t{g.nlat} * g.nlon; ++k) ASSERT_EQ(g.node[k], s.geoid.node[k]) << k;
}

TEST_P(SurveyFiles, ScansDecodeToTheTimesAndAnglesUsed) {
    scanner::ByteReader in;
    ASSERT_TRUE(scanner::open_bytes(in, (dir / kScanFile).string()));
    scanner::scanner_header hdr;
    scanner::readhdr(in, hdr);
    EXPECT_EQ(hdr.range_unit, s.hdr.range_unit);
    EXPECT_EQ(hdr.angle_unit, s.hdr.angle_unit);
    EXPECT_EQ(hdr.timer_unit, s.hdr.timer_unit);
    EXPECT_EQ(hdr.epoch, s.hdr.epoch);
    EXPECT_EQ(hdr.nmeas, s.opt.nmeas);
    for (int k = 0; k < 3; ++k) {
        EXPECT_EQ(hdr.a[k], s.hdr.a[k]);
        EXPECT_EQ(hdr.b[k], s.hdr.b[k]);
        EXPECT_EQ(hdr.c[k], s.hdr.c[k]);
        EXPECT_EQ(hdr.d[k], s.hdr.d[k]);
        for (int f = 0; f < 4; ++f) EXPECT_EQ(hdr.e[f][k], s.hdr.e[f][k]);
    }
    for (int f = 0; f < 4; ++f) EXPECT_EQ(hdr.eps[f], s.hdr.eps[f]);
    scanner::ScanStream stream;
    scanner::begin_scans(hdr, s.rc, stream);
    EXPECT_EQ(stream.epoch, s.epoch);
    EXPECT_EQ(stream.nsector, s.nsector);
    auto tables = std::make_unique<scanner::ScanTables>();
    std::int64_t k = 0;
    while (scanner::read_scan(in, hdr, stream, *tables)) {
        quiet();
        const ScanTime st = scan_time(s, k);
        ASSERT_EQ(stream.scanno, k + 1);
        ASSERT_EQ(stream.tsec, st.tsec) << "scan " << k + 1;
        ASSERT_EQ(stream.tfrac, st.tfrac) << "scan " << k + 1;
        ASSERT_EQ(stream.tscan, st.tscan) << "scan " << k + 1;
        for (std::int32_t i = 0; i < s.opt.nmeas; ++i) {
            ASSERT_EQ(tables->scan_angle[i], s.scan_angle[i]);
            ASSERT_EQ(tables->scan_timer[i], s.timer_seconds[i]);
            ASSERT_GE(tables->scan_range[i], 1.5);
        }
        ++k;
    }
    quiet();
    EXPECT_EQ(k, s.nscans);
    EXPECT_LE(s.rc.tstart, scan_time(s, 0).tscan);
    EXPECT_GE(s.rc.tend, scan_time(s, s.nscans - 1).tscan);
}

INSTANTIATE_TEST_SUITE_P(Flights, SurveyFiles, ::testing::ValuesIn(kFlights),
                         [](const auto& info) { return std::string(info.param.name); });

std::string read_all(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// The recording depends on the options and the seed only, not on the
// number of threads computing it.
TEST(SurveyFiles, SameOptionsSameBytesWhateverTheThreads) {
    std::string bytes[3];
    const char* variants[3][2] = {{"1", "5"}, {"2", "5"}, {"2", "6"}};  // threads, seed
    for (int v = 0; v < 3; ++v) {
        SimOptions opt;
        std::vector<std::string> rest;
        std::string error;
        ASSERT_TRUE(parse_options({"--duration", "8", "--nmeas", "40", "--surface", "waves", "--roll", "0,4,3",
                                   "--threads", variants[v][0], "--seed", variants[v][1]},
                                  opt, rest, error));
        Survey s;
        ASSERT_TRUE(build_survey(opt, s, error)) << error;
        ASSERT_GT(s.nscans, 2 * kChunkScans);
        const fs::path dir = fs::temp_directory_path() / "morva-sim-test-threads";
        fs::remove_all(dir);
        WriteSummary summary;
        ASSERT_EQ(write_survey(s, dir.string(), summary), "");
        bytes[v] = read_all(dir / kScanFile);
        fs::remove_all(dir);
    }
    EXPECT_EQ(bytes[0], bytes[1]);
    EXPECT_NE(bytes[1], bytes[2]);  // another seed: other amplitudes and wave phases
    EXPECT_EQ(bytes[1].size(), bytes[2].size());
}

TEST(SurveyFiles, AmplitudesCoverTheWholeByte) {
    bool seen[256] = {};
    for (std::int64_t k = 0; k < 100; ++k) {
        for (std::int32_t i = 0; i < 100; ++i) seen[amplitude(1, k, i)] = true;
    }
    for (int a = 0; a < 256; ++a) EXPECT_TRUE(seen[a]) << a;
}

}  // namespace
}  // namespace morva::sim
