#include "inputs/trajectory.hpp"

#include <gtest/gtest.h>

#include "text/stop.hpp"
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <limits>
#include <string>
#include <vector>

#include "text/out_stream.hpp"

namespace morva::inputs {
namespace {

namespace fs = std::filesystem;

std::string text_of(double v) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.17g", v);
    return buf;
}

// A trajectory file in a fresh temporary folder, opened for reading.
struct GpsFile {
    fs::path path;
    text::TextReader in;

    explicit GpsFile(const std::string& content) {
        path = fs::temp_directory_path() / ("morva_traj_" + std::to_string(::getpid()) + "_" +
                                            std::to_string(counter()++) + ".txt");
        std::ofstream(path, std::ios::binary) << content;
        if (!text::open_in(in, path.string())) ADD_FAILURE() << "cannot open " << path;
    }
    ~GpsFile() {
        text::close_in(in);
        fs::remove(path);
    }
    static int& counter() {
        static int n = 0;
        return n;
    }
};

RunControl window_control(double tstart, double tend, bool attitude) {
    RunControl rc;
    rc.tstart = tstart;
    rc.tend = tend;
    rc.attitude = attitude;
    return rc;
}

std::vector<double> kept_times(const TrajectoryTable& t) {
    std::vector<double> out;
    for (std::int32_t i = 1; i <= t.ntraj; ++i) out.push_back(t.slot[i].thr);
    return out;
}

// Runs the whole load and returns what it printed.
std::string load_output(const std::string& content, const RunControl& rc, TrajectoryTable& table) {
    GpsFile f(content);
    text::flush(text::console());
    testing::internal::CaptureStdout();
    load_trajectory(f.in, rc, table);
    text::flush(text::console());
    return testing::internal::GetCapturedStdout();
}

TEST(TrajectoryWindow, EdgesAreInsideAndTheFirstLaterRecordEndsTheLoad) {
    const TimeWindow w = trajectory_window(10.0, 11.0);
    EXPECT_EQ(w.wstart, 10.0 - 0.0002777777777777778);
    EXPECT_EQ(w.wend, 11.0 + 0.0002777777777777778);

    struct Case {
        double thr;
        WindowPlace place;
    };
    const Case cases[] = {
        {w.wstart, WindowPlace::Inside},
        {w.wend, WindowPlace::Inside},
        {std::nextafter(w.wstart, 0.0), WindowPlace::Before},
        {std::nextafter(w.wend, 100.0), WindowPlace::After},
        {10.5, WindowPlace::Inside},
    };
    for (const Case& c : cases) EXPECT_EQ(place_in_window(w, c.thr), c.place) << text_of(c.thr);

    // The same through the file: both edges kept, the values written as text.
    TrajectoryTable t;
    const std::string before = text_of(std::nextafter(w.wstart, 0.0));
    const std::string after = text_of(std::nextafter(w.wend, 100.0));
    GpsFile f(before + " 1 1 1\n" + text_of(w.wstart) + " 2 2 2\n" + "10.5 3 3 3\n" + text_of(w.wend) +
              " 4 4 4\n" + after + " 5 5 5\n" + "10.6 6 6 6\n");
    read_trajectory_records(f.in, window_control(10.0, 11.0, false), t);
    EXPECT_EQ(kept_times(t), (std::vector<double>{w.wstart, 10.5, w.wend}));
    EXPECT_EQ(t.slot[4].lat, 5.0) << "the record that ended the load stays after the last kept one";
}

TEST(TrajectoryWindow, EarlyRecordsAnywhereAreDroppedAndLateRecordsEndTheLoad) {
    TrajectoryTable t;
    GpsFile f(
        "9.0 1 1 1\n"
        "10.1 2 2 2\n"
        "9.5 3 3 3\n"     // before the window in the middle: dropped, load goes on
        "10.2 4 4 4\n"
        "12.0 5 5 5\n"    // ends the load
        "10.3 6 6 6\n");  // inside again, never read
    read_trajectory_records(f.in, window_control(10.0, 11.0, false), t);
    EXPECT_EQ(kept_times(t), (std::vector<double>{10.1, 10.2}));
    EXPECT_EQ(t.slot[2].lat, 4.0);
    EXPECT_EQ(t.slot[3].thr, 12.0);
}

TEST(TrajectoryRecords, HeadingReductionAndRecordForms) {
    struct Case {
        double heading, stored;
    };
    for (const Case& c : {Case{190, -170}, Case{180, 180}, Case{540, 180}, Case{-190, -190}, Case{359.5, -0.5}}) {
        EXPECT_EQ(reduce_heading(c.heading), c.stored) << c.heading;
    }

    // With attitude, pitch, roll and heading follow in that order.
    {
        TrajectoryTable t;
        GpsFile f("10.5, 50.25, 8.5, 120.5, 1.5, -2.5, 190\n10.6 50 8 100 0 0 180 extra\n");
        read_trajectory_records(f.in, window_control(10, 11, true), t);
        ASSERT_EQ(t.ntraj, 2);
        const TrajectoryRecord& r = t.slot[1];
        EXPECT_EQ(r.lat, 50.25);
        EXPECT_EQ(r.lon, 8.5);
        EXPECT_EQ(r.h, 120.5);
        EXPECT_EQ(r.pitch, 1.5);
        EXPECT_EQ(r.roll, -2.5);
        EXPECT_EQ(r.heading, -170.0);
        EXPECT_EQ(t.slot[2].heading, 180.0);
    }
    // Without attitude a seven-value line is one four-value record; the
    // attitude is zero even when the line carries one.
    {
        TrajectoryTable t;
        GpsFile f("10.5 50 8 100 9 9 190\n10.6 51 9 101 9 9 190\n");
        read_trajectory_records(f.in, window_control(10, 11, false), t);
        ASSERT_EQ(t.ntraj, 2);
        EXPECT_EQ(t.slot[2].lat, 51.0);
        EXPECT_EQ(t.slot[2].pitch, 0.0);
        EXPECT_EQ(t.slot[2].roll, 0.0);
        EXPECT_EQ(t.slot[2].heading, 0.0);
    }
    // A record may span lines; an incomplete last record is not counted.
    {
        TrajectoryTable t;
        GpsFile f("10.5 50\n 8 100\n10.6 51 9\n");
        read_trajectory_records(f.in, window_control(10, 11, false), t);
        EXPECT_EQ(kept_times(t), std::vector<double>{10.5});
        EXPECT_EQ(t.slot[1].h, 100.0);
    }
    // Null values find zeros, never what the memory held before.
    {
        TrajectoryTable t;
        t.slot = allocate_trajectory_slots();
        for (int i = 1; i <= 3; ++i) t.slot[i].h = -1.0;
        GpsFile f("10.5,50,8,,\n10.6,51,9,,\n");
        read_trajectory_records(f.in, window_control(10, 11, false), t);
        ASSERT_EQ(t.ntraj, 2);
        EXPECT_EQ(t.slot[1].h, 0.0);
        EXPECT_EQ(t.slot[2].h, 0.0);
    }
}

TEST(TrajectorySpeeds, GroundSpeedAndStrictTracking) {
    TrajectoryTable t;
    t.slot = allocate_trajectory_slots();
    TrajectoryRecord* s = t.slot.get();
    // One second at 0.001 degree of latitude on the equator: 111.194 m/s.
    s[1] = {10.0, 0.0, 0.0, 0, 0, 0, 0, -1.0f};
    s[2] = {10.0 + 1.0 / 3600, 0.001, 0.0, 0, 0, 0, 0, -1.0f};
    // Two seconds east at 60 degrees north: the distance shrinks by cos(lat).
    s[3] = {10.0 + 3.0 / 3600, 60.0, 0.0, 0, 0, 0, 0, -1.0f};
    s[4] = {10.0 + 5.0 / 3600, 60.0, 0.002, 0, 0, 0, 0, -1.0f};
    const TrajectorySpread spread = trajectory_speeds(s, 4);

    EXPECT_NEAR(s[2].vel, 400.2984, 1e-3);
    EXPECT_NEAR(s[4].vel, 0.002 * 111194.0 * 0.5 / 2 * 3.6, 1e-3);
    EXPECT_EQ(s[1].vel, s[2].vel);
    EXPECT_NEAR(spread.dtmin, 1.0, 1e-9);
    EXPECT_NEAR(spread.dtmax, 2.0, 1e-9);
    EXPECT_EQ(spread.vmin, s[4].vel);
    EXPECT_EQ(spread.vmax, s[3].vel) << "the jump from the equator to 60 degrees is the fastest";
}

TEST(TrajectorySummary, PrintedLinesForTypicalAndShortLoads) {
    struct Case {
        const char* name;
        std::string file;
        std::string expected;
    };
    const std::string warning = " *** warning - fewer than 2 gps points in time window\n";
    const std::string untouched =
        " gps/attitude data, min max spacing (sec):  9999.90     0.00\n"
        " minimum and maximum velocity (km/h):   9999.9 -9999.9\n";
    const Case cases[] = {
        {"three records, 1 s and 2 s apart",
         "10.5 0 0 0\n10.500277777777778 0.001 0 0\n10.500833333333333 0.002 0 0\n",
         "\n GPS read:     3 gps/attitude data, min max spacing (sec):     1.00     2.00\n"
         " minimum and maximum velocity (km/h):    200.1   400.3\n"},
        {"one record", "10.5 0 0 0\n", "\n GPS read:     1" + untouched + warning},
        {"empty file", "", "\n GPS read:     0" + untouched + warning},
        {"all records before the window", "9.0 0 0 0\n9.5 0 0 0\n", "\n GPS read:     0" + untouched + warning},
        {"first record after the window", "12.0 0 0 0\n10.5 0 0 0\n", "\n GPS read:     0" + untouched + warning},
        // Equal times: 0/0 for a standing aircraft, x/0 for a moving one;
        // neither replaces a speed tracker, the infinity becomes the maximum.
        {"zero interval, no movement", "10.5 0 0 0\n10.5 0 0 0\n",
         "\n GPS read:     2 gps/attitude data, min max spacing (sec):     0.00     0.00\n"
         " minimum and maximum velocity (km/h):   9999.9 -9999.9\n"},
        {"zero interval with movement", "10.5 0 0 0\n10.5 0.001 0 0\n",
         "\n GPS read:     2 gps/attitude data, min max spacing (sec):     0.00     0.00\n"
         " minimum and maximum velocity (km/h):   9999.9     Inf\n"},
    };
    for (const Case& c : cases) {
        TrajectoryTable t;
        EXPECT_EQ(load_output(c.file, window_control(10, 11, false), t), c.expected) << c.name;
    }
}

TEST(TrajectorySummary, SingleRecordCopiesTheUncomputedSpeed) {
    TrajectoryTable t;
    load_output("10.5 0 0 0\n", window_control(10, 11, false), t);
    EXPECT_EQ(t.ntraj, 1);
    EXPECT_EQ(t.slot[1].vel, 0.0f);
}

// The capacity: 487999 kept records load, the 488000th stops the run even
// when the file ends right there.
std::string many_records(std::int32_t n, const char* tail = "") {
    std::string s;
    s.reserve(static_cast<std::size_t>(n) * 11 + 32);
    for (std::int32_t i = 0; i < n; ++i) s += "10.5 0 0 0\n";
    return s + tail;
}

TEST(TrajectoryCapacity, LastSlotHoldsTheRecordThatEndsAFullLoad) {
    TrajectoryTable t;
    GpsFile f(many_records(kTrajectorySlots - 1, "12 7 7 7\n"));
    read_trajectory_records(f.in, window_control(10, 11, false), t);
    EXPECT_EQ(t.ntraj, kTrajectorySlots - 1);
    EXPECT_EQ(t.slot[kTrajectorySlots].lat, 7.0);
}

TEST(TrajectoryCapacityDeathTest, OneRecordMoreStopsTheRun) {
    const std::string content = many_records(kTrajectorySlots);
    text::flush(text::console());
    EXPECT_EXIT(
        {
            ::dup2(2, 1);  // the stop line goes to the console
            try {
                TrajectoryTable t;
                GpsFile f(content);
                read_trajectory_records(f.in, window_control(10, 11, false), t);
            } catch (const text::RunStopped& stop) {
                std::_Exit(text::report_stop(stop));
            }
        },
        testing::ExitedWithCode(1), "\\*\\*\\* too many gps points - increase nmax");
}

}  // namespace
}  // namespace morva::inputs
