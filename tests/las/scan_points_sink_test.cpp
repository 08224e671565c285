// The library's conversion of a run's scan points into LAS records, called as
// another program would: a sink gets the header's setup once and every record
// in order, from a binary scan-point file written here by hand.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <future>
#include <unistd.h>
#include <vector>

#include "las_header.hpp"
#include "scan_point_export.hpp"
#include "text/stop.hpp"

namespace morva::common {
namespace {

struct Binary {
    std::int32_t thr_e7, lat_e7, lon_e7, h_mm;
    std::uint8_t ampl, index;
};

TEST(ScanPointsToLas, TheSinkGetsTheSetupThenEveryRecordInOrder) {
    const auto folder = std::filesystem::temp_directory_path() / ("morva-sink-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    const std::string points = (folder / "points.bin").string();
    // 200000 points (blocks of the conversion are crossed), one without a position, one beyond a pole.
    std::vector<Binary> in;
    for (int k = 0; k < 200002; ++k) in.push_back({100000000 + k, 520000000 + k, 50000000 - k, 1000 + k % 977, std::uint8_t(k), std::uint8_t(k * 7)});
    in[5].lat_e7 = INT32_MIN;
    in[9].lat_e7 = 900000001;
    FILE* f = std::fopen(points.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    for (const Binary& b : in) {
        unsigned char r[18];
        put_i32(r, b.thr_e7), put_i32(r + 4, b.lat_e7), put_i32(r + 8, b.lon_e7), put_i32(r + 12, b.h_mm);
        r[16] = b.ampl, r[17] = b.index;
        ASSERT_EQ(std::fwrite(r, 18, 1, f), 1u);
    }
    std::fclose(f);

    ExportPlan plan;
    plan.program = "a-program";
    plan.scan_points = points;
    plan.binary = true;
    plan.time = adjusted_gps_time_base(*parse_date("2024-05-17"));
    plan.header.generating_software = "a-program 1";
    plan.point_source_id = 3;
    plan.geographic = true;
    std::promise<CoordinateSystem> crs;
    crs.set_value(CoordinateSystem{"", "GEOGCS[\"a\"]", kScaleXY, 0, 0, {}});

    int begun = 0;
    std::vector<std::uint8_t> got;
    LasRecordSink sink;
    sink.begin = [&](common::LasWriterSetup& setup) {
        ++begun;
        EXPECT_EQ(setup.header.point_format, 6);
        EXPECT_EQ(setup.header.record_length, 30);
        EXPECT_EQ(setup.generating_software, "a-program 1");
        ASSERT_EQ(setup.header.records.size(), 1u);
        EXPECT_EQ(setup.header.records[0].record_id, 2112);
        EXPECT_TRUE(got.empty());
    };
    sink.records = [&](const std::uint8_t* r, std::size_t n) { got.insert(got.end(), r, r + 30 * n); };
    const ExportCounts counts = scan_points_to_las(plan, crs.get_future(), sink);
    std::filesystem::remove_all(folder);

    EXPECT_EQ(begun, 1);
    EXPECT_EQ(counts.points, in.size() - 2);
    EXPECT_EQ(counts.not_points, 2u);
    ASSERT_EQ(got.size(), 30 * (in.size() - 2));
    std::size_t at = 0;
    for (std::size_t k = 0; k < in.size(); ++k) {
        if (k == 5 || k == 9) continue;
        const Binary& b = in[k];
        const std::uint8_t* r = got.data() + 30 * at++;
        ASSERT_EQ(get_le<std::int32_t>(r), b.lon_e7) << k;
        ASSERT_EQ(get_le<std::int32_t>(r + 4), b.lat_e7) << k;
        ASSERT_EQ(get_le<std::int32_t>(r + 8), b.h_mm) << k;
        ASSERT_EQ(get_le<std::uint16_t>(r + 12), b.ampl << 8) << k;
        ASSERT_EQ(r[17], b.index) << k;
        ASSERT_EQ(get_le<std::uint16_t>(r + 20), 3) << k;
        ASSERT_EQ(get_le<double>(r + 22), gps_time(plan.time, b.thr_e7)) << k;
    }
}

TEST(ScanPointsToLas, AStopIsNamedAsTheCallingProgramsOwn) {
    ExportPlan plan;
    plan.program = "a-program";
    plan.scan_points = "/nonexistent/points.bin";
    plan.binary = true;
    plan.geographic = true;
    std::promise<CoordinateSystem> crs;
    crs.set_value(CoordinateSystem{"", "GEOGCS[\"a\"]", kScaleXY, 0, 0, {}});
    LasRecordSink sink;
    sink.begin = [](common::LasWriterSetup&) {};
    sink.records = [](const std::uint8_t*, std::size_t) {};
    try {
        scan_points_to_las(plan, crs.get_future(), sink);
        FAIL() << "no stop";
    } catch (const text::RunStopped& stop) {
        EXPECT_EQ(stop.line.rfind("a-program: cannot read the scan-point file /nonexistent/points.bin", 0), 0u) << stop.line;
    }
}

}  // namespace
}  // namespace morva::common
