// The scan record stream: checks and lines before the first scan, decoding,
// scan numbering across wraps, the timer unwrap and its carry, the
// one-second correction, the report lines and every way the file can end.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <vector>

#include "../text/text_test_support.hpp"
#include "scanner/scan_stream.hpp"
#include "scanner_test_support.hpp"
#include "text/stop.hpp"

namespace morva::scanner {
namespace {

using testing::Bytes;
using testing::open_scan_bytes;
using testing::put_scan;
using testing::take_console;
using text::testing::run_in_child;

scanner_header header_for(int nmeas) {
    scanner_header h;
    h.nmeas = nmeas;
    h.bytes_per_scan = 12 + 10 * (nmeas > 0 ? nmeas : 0);
    h.measid = 77;
    h.range_unit = 0.001f;
    h.angle_unit = 0.01f;
    h.timer_unit = 1.0e-6f;
    h.polar_id = 4;
    h.epoch = 10.0;
    return h;
}

inputs::RunControl control(bool use_sync = true) {
    inputs::RunControl rc;
    rc.use_cal = true;
    rc.use_sync = use_sync;
    return rc;
}

// A scan stream over records held in memory, begun in this process.
struct Reading {
    ByteReader in;
    scanner_header hdr;
    ScanStream s;
    std::unique_ptr<ScanTables> t = std::make_unique<ScanTables>();
    std::string lines;  // console lines of begin_scans

    Reading(const std::string& bytes, const scanner_header& h, const inputs::RunControl& rc, std::size_t capacity = 0)
        : hdr(h) {
        open_scan_bytes(in, bytes, capacity);
        take_console();
        begin_scans(hdr, rc, s);
        lines = take_console();
    }
    bool next() { return read_scan(in, hdr, s, *t); }
};

sim::Trailer trailer(std::uint16_t number, std::uint32_t seconds, std::uint32_t timer, std::uint8_t flags = 5) {
    return {0, number, flags, seconds, timer};
}

TEST(ScanStream, LinesBeforeTheFirstScan) {
    struct Case {
        const char* name;
        bool use_cal, use_sync;
        double header_epoch;
        double dtsec;
        bool sync_used;
        double epoch;
        const char* lines;
    };
    const double hms = 10 + 30 / 60.0 + 36 / 3600.0;
    const Case cases[] = {
        {"no header time", false, true, 0.0, 1.5, false, hms,
         " - Riegl calibration par not used\n"
         " - Riegl header record: no gps sync found\n"
         " File start epoch: 10.51000    10 30 36.00, dtsec:   1.50\n"},
        {"header time used", true, true, 12 + 34 / 60.0 + 56 / 3600.0, -0.25, true, 12 + 34 / 60.0 + 56 / 3600.0,
         " File start epoch: 12.58222    12 34 56.00, dtsec:  -0.25\n"},
        {"header time, sync not used", true, false, 10.5, 0.0, false, 10.5,
         " - GPS sync found, but not used\n"
         " File start epoch: 10.50000    10 30  0.00, dtsec:   0.00\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        scanner_header h = header_for(1);
        h.epoch = c.header_epoch;
        inputs::RunControl rc = control(c.use_sync);
        rc.use_cal = c.use_cal;
        rc.hr0 = 10;
        rc.min0 = 30;
        rc.sec0 = 36;
        rc.dtsec = c.dtsec;
        Reading r("", h, rc);
        EXPECT_EQ(r.lines, c.lines);
        EXPECT_EQ(r.s.sync_used, c.sync_used);
        EXPECT_EQ(r.s.epoch, c.epoch);
        EXPECT_EQ(r.s.dtsec, c.dtsec);
    }
}

TEST(ScanStream, StopsBeforeTheFirstScan) {
    struct Case {
        const char* name;
        std::int16_t measid;
        int nmeas;
        double angle_unit;
        int polar_id;
        const char* message;  // nullptr: no stop
    };
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const char* invalid = "*** invalid angle unit or polar angle id in header\n";
    const Case cases[] = {
        {"short header", 140, 1, 0.01, 4, "*** only measis 77 implemented\n"},
        {"measid before nmeas", 93, 5000, 0.01, 0, "*** only measis 77 implemented\n"},
        {"1000 measurements", 77, 1000, 0.01, 4, nullptr},
        {"1001 measurements", 77, 1001, 0.01, 4, "*** increase iscandim\n"},
        {"nmeas before the sector", 77, 1001, 0.0, 0, "*** increase iscandim\n"},
        {"negative nmeas", 77, -7, 0.01, 4, nullptr},
        {"zero angle unit", 77, 1, 0.0, 4, invalid},
        {"zero polar id", 77, 1, 0.01, 0, invalid},
        {"negative polar id", 77, 1, 0.01, -4, invalid},
        {"sector below one count", 77, 1, 500.0, 1, invalid},
        {"sector of one count", 77, 1, 400.0, 1, nullptr},
        {"NaN angle unit", 77, 1, nan, 4, invalid},
        {"sector beyond 32 bits", 77, 1, 1.0e-12, 4, invalid},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        scanner_header h = header_for(1);
        h.measid = c.measid;
        h.nmeas = c.nmeas;
        h.angle_unit = c.angle_unit;
        h.polar_id = static_cast<std::int8_t>(c.polar_id);
        auto r = run_in_child([&] {
            ScanStream s;
            begin_scans(h, control(), s);
            text::testing::end_run();
        });
        if (c.message == nullptr) {
            EXPECT_EQ(r.status, 0);
        } else {
            EXPECT_EQ(r.status, 1);
            EXPECT_EQ(r.output, c.message);
        }
    }
}

TEST(ScanStream, DecodesMeasurementsIntoPhysicalUnits) {
    Bytes b;
    sim::put_syncseq(b.w, 42);
    sim::put_measurement(b.w, {0xFFFFFF, 255, 12345, 0xFFFFFF});
    sim::put_measurement(b.w, {1, 0, 9999, 0});
    sim::put_measurement(b.w, {250000, 128, 10000, 25});
    sim::put_trailer(b.w, trailer(3, 100, 250000));
    Reading r(b.done(), header_for(3), control());
    EXPECT_EQ(r.s.nsector, 10000);
    ASSERT_TRUE(r.next());
    const double au = 0.01f, ru = 0.001f, tu = 1.0e-6f;
    EXPECT_EQ(r.t->scan_range[0], ru * 16777215.0);
    EXPECT_EQ(r.t->scan_ampl[0], 255);
    EXPECT_EQ(r.t->scan_angle[0], 2 * 2345 * au);  // about 46.9 gon
    EXPECT_NEAR(r.t->scan_angle[0], 46.9, 1e-5);
    EXPECT_EQ(r.t->scan_timer[0], tu * 16777215.0);
    EXPECT_EQ(r.t->scan_range[1], ru);
    EXPECT_EQ(r.t->scan_ampl[1], 0);
    EXPECT_EQ(r.t->scan_angle[1], 2 * 9999 * au);
    EXPECT_EQ(r.t->scan_timer[1], 0.0);
    EXPECT_EQ(r.t->scan_angle[2], 0.0);  // a whole sector wraps to 0
    EXPECT_EQ(r.t->scan_ampl[2], 128);
    EXPECT_EQ(r.t->scan_timer[2], tu * 25);
    take_console();
}

TEST(ScanStream, ReportLinesOfTheFirstScans) {
    Bytes b;
    const std::uint8_t flags[6] = {5, 0, 127, 0x80, 1, 2};
    for (int n = 0; n < 6; ++n) {
        put_scan(b.w, 22, 1, {}, trailer(static_cast<std::uint16_t>(40 + n), 100, 250000 * n, flags[n]));
    }
    put_scan(b.w, 99, 1, {}, trailer(46, 101, 500000));
    Reading r(b.done(), header_for(1), control());
    int scans = 0;
    while (r.next()) ++scans;
    EXPECT_EQ(scans, 7);
    EXPECT_EQ(take_console(),
              "\n"
              " First scan epoch (seconds from GPS init):  100.000000\n"
              " scan no:   1   1, time (hr) 10.027778, GPS sync flags: 0000101\n"
              " scan no:   2   2, time (hr) 10.027847, GPS sync flags: 0000000\n"
              " scan no:   3   3, time (hr) 10.027917, GPS sync flags: 1111111\n"
              " scan no:   4   4, time (hr) 10.027986, GPS sync flags: *******\n"
              " scan no:   5   5, time (hr) 10.028056, GPS sync flags: 0000001\n"
              " Centre of scan data every 30 sec: \n"
              "     scan no     thr       lat        lon        h   ampl  flags\n"
              " *** warning - syncseq not ok     99          22 \n");
    EXPECT_EQ(r.s.gpsflags, 5);  // the seventh scan's
}

TEST(ScanStream, ScanNumbersAcrossWraps) {
    {
        Bytes b;
        for (std::uint16_t raw : {65534, 65535, 0, 1}) put_scan(b.w, 12, 0, {}, trailer(raw, 5, 0));
        Reading r(b.done(), header_for(0), control());
        for (int expected = 1; expected <= 4; ++expected) {
            ASSERT_TRUE(r.next());
            EXPECT_EQ(r.s.scanno, expected);
            EXPECT_EQ(r.s.nscan, expected);
        }
        EXPECT_FALSE(r.next());
        take_console();
    }
    for (std::uint16_t start : {0, 1, 12345, 65535}) {
        SCOPED_TRACE(start);
        Bytes b;
        for (int n = 0; n < 200000; ++n) {
            put_scan(b.w, 12, 0, {}, trailer(static_cast<std::uint16_t>(start + n), 5, 0));
        }
        Reading r(b.done(), header_for(0), control());
        int n = 0;
        bool consecutive = true;
        while (r.next()) consecutive = consecutive && r.s.scanno == ++n;
        EXPECT_TRUE(consecutive);
        EXPECT_EQ(n, 200000);
        EXPECT_EQ(r.s.scanno, 200000);
        EXPECT_EQ(r.s.records_read, 200000);
        take_console();
    }
}

TEST(ScanStream, TimerUnwrapAndItsCarry) {
    struct Case {
        const char* name;
        bool use_sync;
        std::vector<std::uint32_t> timers;
        std::vector<std::int64_t> counters;  // timer counter after each scan
    };
    const std::int64_t wrap = 16777216;
    const Case cases[] = {
        {"free-running timer", false, {16777000, 16777100, 200, 400, 16777000},
         {16777000, 16777100, wrap + 200, wrap + 400, wrap + 16777000}},
        {"synchronised timer", true, {16777000, 16777100, 200, 400}, {16777000, 16777100, 200, 400}},
        {"difference exactly at the limit", false, {16700000, 0}, {16700000, wrap}},
        {"difference just inside the limit", false, {16699999, 0}, {16699999, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes b;
        for (std::size_t n = 0; n < c.timers.size(); ++n) {
            put_scan(b.w, 12, 0, {}, trailer(static_cast<std::uint16_t>(n), 7, c.timers[n]));
        }
        scanner_header h = header_for(0);
        h.timer_unit = 1.0f / 1048576;  // exact, so that tfrac shows the counter
        Reading r(b.done(), h, control(c.use_sync));
        for (std::int64_t counter : c.counters) {
            ASSERT_TRUE(r.next());
            EXPECT_EQ(r.s.timer_counter, counter);
            EXPECT_EQ(r.s.tfrac, counter / 1048576.0);
            EXPECT_EQ(r.s.tsec, 7.0);
        }
        take_console();
    }
}

TEST(ScanStream, OneSecondCorrection) {
    struct Case {
        const char* name;
        std::vector<std::uint32_t> seconds, timers;
        std::vector<double> tsec;
    };
    // With 2^-24 s per count: 16760439 counts are just above the double 0.999
    // but not above its single-precision value; 16760440 are above both.
    const Case cases[] = {
        {"seconds advanced, timer above 0.999", {100, 101}, {0, 16760440}, {100, 100}},
        {"single-precision threshold", {100, 101}, {0, 16760439}, {100, 101}},
        {"seconds unchanged", {100, 100}, {0, 16760440}, {100, 100}},
        {"seconds fell back", {100, 99}, {0, 16760440}, {100, 99}},
        {"first scan never", {101}, {16760440}, {101}},
        {"corrected value is remembered", {100, 101, 101, 102}, {0, 16760440, 16760440, 100},
         {100, 100, 100, 102}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes b;
        for (std::size_t n = 0; n < c.seconds.size(); ++n) {
            put_scan(b.w, 12, 0, {}, trailer(static_cast<std::uint16_t>(n), c.seconds[n], c.timers[n]));
        }
        scanner_header h = header_for(0);
        h.timer_unit = 1.0f / 16777216;
        inputs::RunControl rc = control();
        rc.dtsec = 0.75;
        Reading r(b.done(), h, rc);
        for (std::size_t n = 0; n < c.tsec.size(); ++n) {
            ASSERT_TRUE(r.next());
            EXPECT_EQ(r.s.tsec, c.tsec[n]) << "scan " << n + 1;
            EXPECT_EQ(r.s.tscan, r.s.epoch + (r.s.tsec + r.s.tfrac + 0.75) / 3600);
        }
        take_console();
    }
}

TEST(ScanStream, EndsOfTheFile) {
    // Three complete records of two measurements (32 bytes each), then a tail.
    Bytes b;
    for (int n = 0; n < 3; ++n) put_scan(b.w, 32, 2, {10, 1, 2, 3}, trailer(static_cast<std::uint16_t>(n), 1, 0));
    const std::string whole = b.done();
    const std::string next_record = whole.substr(0, 32);
    struct Case {
        const char* name;
        std::string tail;
        std::int64_t records_read;
    };
    const Case cases[] = {
        {"at a record boundary", "", 3},
        {"inside syncseq", next_record.substr(0, 1), 3},
        {"right after syncseq", next_record.substr(0, 2), 4},
        {"inside the measurements", next_record.substr(0, 17), 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Reading r(whole + c.tail, header_for(2), control());
        int scans = 0;
        while (r.next()) ++scans;
        EXPECT_EQ(scans, 3);
        EXPECT_EQ(r.s.nscan, 4);
        EXPECT_EQ(r.s.records_read, c.records_read);
        take_console();
    }
    for (std::size_t cut : {22u, 27u, 31u}) {
        SCOPED_TRACE(cut);
        const std::string bytes = whole + next_record.substr(0, cut);
        auto r = run_in_child([&] {
            Reading reading(bytes, header_for(2), control());
            while (reading.next()) {
            }
            text::testing::end_run();
        });
        EXPECT_EQ(r.status, 1);
        const std::string last = "*** read error in scan.bin, scan 4: end of file inside the scan trailer\n";
        ASSERT_GE(r.output.size(), last.size());
        EXPECT_EQ(r.output.substr(r.output.size() - last.size()), last);
    }
}

TEST(ScanStream, HeaderWithoutMeasurements) {
    for (int nmeas : {0, -5}) {
        SCOPED_TRACE(nmeas);
        Bytes b;
        for (int n = 0; n < 3; ++n) put_scan(b.w, 12, 0, {}, trailer(static_cast<std::uint16_t>(n + 9), 1, 0));
        sim::put_syncseq(b.w, 12);  // a trailer that never comes
        std::string bytes = b.done();
        auto r = run_in_child([&] {
            Reading reading(bytes, header_for(nmeas), control());
            while (reading.next()) {
            }
            text::testing::end_run();
        });
        EXPECT_EQ(r.status, 1);
        EXPECT_NE(r.output.find(" scan no:   3   3,"), std::string::npos);
        EXPECT_NE(r.output.find("scan 4: end of file inside the scan trailer"), std::string::npos);
    }
}

TEST(ScanStream, RecordsAcrossBufferRefills) {
    // The same file read through the normal block and through one barely
    // larger than a record decodes identically.
    Bytes b;
    for (int n = 0; n < 1000; ++n) {
        sim::put_syncseq(b.w, 42);
        for (int i = 0; i < 3; ++i) {
            sim::put_measurement(b.w, {static_cast<std::uint32_t>(n * 7 + i), static_cast<std::uint8_t>(n + i),
                                       static_cast<std::uint32_t>(n * 1000 + i), static_cast<std::uint32_t>(i * 25)});
        }
        sim::put_trailer(b.w, trailer(static_cast<std::uint16_t>(n), 100 + n / 40, (n % 40) * 25000));
    }
    const std::string bytes = b.done();
    Reading big(bytes, header_for(3), control());
    Reading small(bytes, header_for(3), control(), 45);
    int scans = 0;
    for (;;) {
        bool a = big.next(), c = small.next();
        ASSERT_EQ(a, c);
        if (!a) break;
        ++scans;
        for (int i = 0; i < 3; ++i) {
            ASSERT_EQ(big.t->scan_range[i], small.t->scan_range[i]);
            ASSERT_EQ(big.t->scan_angle[i], small.t->scan_angle[i]);
            ASSERT_EQ(big.t->scan_timer[i], small.t->scan_timer[i]);
            ASSERT_EQ(big.t->scan_ampl[i], small.t->scan_ampl[i]);
        }
        ASSERT_EQ(big.s.tscan, small.s.tscan);
        ASSERT_EQ(big.s.scanno, small.s.scanno);
        ASSERT_EQ(small.t->scan_range[2], 0.001f * (7.0 * (scans - 1) + 2));
    }
    EXPECT_EQ(scans, 1000);
    take_console();
}

}  // namespace
}  // namespace morva::scanner
