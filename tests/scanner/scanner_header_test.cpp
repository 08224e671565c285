// The scanner file header: both variants, the report lines byte for byte,
// the time epoch rules and every stop.

#include <gtest/gtest.h>

#include <cstring>

#include "../text/text_test_support.hpp"
#include "scanner/scanner_header.hpp"
#include "text/stop.hpp"
#include "scanner_test_support.hpp"

namespace morva::scanner {
namespace {

using testing::Bytes;
using testing::open_scan_bytes;
using testing::take_console;
using text::testing::run_in_child;

std::string long_header_bytes(const sim::LongHeader& h, std::string_view after = {}) {
    Bytes b;
    sim::put_long_header(b.w, h);
    sim::put_raw(b.w, after.data(), after.size());
    return b.done();
}

std::string short_header_bytes(const sim::ShortHeader& h) {
    Bytes b;
    sim::put_short_header(b.w, h);
    return b.done();
}

// Reads the header of `bytes` in this process; returns the console report.
std::string read_header(const std::string& bytes, scanner_header& hdr, ByteReader* keep = nullptr) {
    ByteReader local;
    ByteReader& in = keep ? *keep : local;
    open_scan_bytes(in, bytes);
    take_console();
    readhdr(in, hdr);
    return take_console();
}

text::testing::ChildResult read_header_in_child(const std::string& bytes) {
    return run_in_child([&] {
        ByteReader in;
        open_scan_bytes(in, bytes);
        scanner_header hdr;
        readhdr(in, hdr);
        text::testing::end_run();
    });
}

TEST(ScannerHeader, WriterPutsFieldsAtTheirOffsetsLittleEndian) {
    // Guards the reader's tests against a writer sharing its mistakes.
    sim::LongHeader h = sim::default_long_header(3);
    h.header_length = 0x01020304;
    h.measid = 0x0506;
    h.range_unit = 1.0f;  // 0x3f800000
    h.polar_id = -2;
    h.e[3][2] = -2.0f;    // 0xc0000000
    h.eps[3] = 0.5f;      // 0x3f000000
    h.syncflag = 0x81;
    std::uint8_t raw[210];
    sim::encode_long_header(h, raw);
    const std::uint8_t head[] = {4, 3, 2, 1, 42, 0, 1, 10, 0, 0, 10, 0, 3, 0};
    EXPECT_EQ(0, std::memcmp(raw, head, sizeof head));
    EXPECT_EQ(raw[18], 6);
    EXPECT_EQ(raw[19], 5);
    EXPECT_EQ(raw[23], 8);
    EXPECT_EQ(0, std::memcmp(raw + 26, "SIMSCAN1", 8));
    const std::uint8_t one[] = {0, 0, 0x80, 0x3f};
    EXPECT_EQ(0, std::memcmp(raw + 34, one, 4));
    EXPECT_EQ(raw[46], 0xfe);
    EXPECT_EQ(raw[164], 0xc0);  // last byte of e4's third value
    EXPECT_EQ(raw[168], 0x3f);  // last byte of eps4
    EXPECT_EQ(0, std::memcmp(raw + 169, "2024-05-17 10:30:00             ", 32));
    EXPECT_EQ(0, std::memcmp(raw + 201, "GPS     ", 8));
    EXPECT_EQ(raw[209], 0x81);
}

TEST(ScannerHeader, LongVariantReportAndValues) {
    sim::LongHeader h = sim::default_long_header(3);
    h.header_length = 300;  // larger than read: the records still start at 210
    h.protocol_id = 2;
    h.instrument = "QX 7";
    h.time_epoch = "2024-05-17 12:34:56 some text";
    h.time_source = "RTCclock";
    h.syncflag = 0x85;
    const float a[3] = {0.01234f, 123.456f, -0.5f};
    const float d[3] = {99999.0f, 1.0e-5f, 0.0f};
    std::memcpy(h.a, a, sizeof a);
    std::memcpy(h.d, d, sizeof d);
    h.eps[0] = 0.001f;
    h.eps[3] = -2.5f;

    scanner_header hdr;
    ByteReader in;
    const std::string out = read_header(long_header_bytes(h, "\x7f"), hdr, &in);
    EXPECT_EQ(out,
              "\n"
              " RIEGL Q120/220 HEADER bytes: 300, bytes pr scan:   42, protocol id: 2\n"
              " scanner output: measid      77 \n"
              " - range\n"
              " - intensity\n"
              " - angle\n"
              " - synctimer\n"
              " bytes pr meas:   10, measurements per scan:    3\n"
              " range,angle and timer units:    0.001000    0.010000    0.000001\n"
              " instrument id: QX 7     polarangle id:     4 \n"
              " time epoch: 2024-05-17 12:34:56 some text    hr,min,sec =          12          34          56 \n"
              " time source: RTCclock syncflag: *******\n"
              " RIEGL calibration parameters:\n"
              " a  0.1234E-01  123.5     -.5000    \n"
              " b   0.000      0.000      0.000    \n"
              " c   0.000      1.000      0.000    \n"
              " d  0.1000E+06 0.1000E-04  0.000    \n"
              " e1  1.000      0.000      0.000     eps1 0.1000E-02\n"
              " e2  0.000      0.000      1.000     eps2  0.000    \n"
              " e3 -1.000      0.000      0.000     eps3  0.000    \n"
              " e4  0.000      0.000     -1.000     eps4 -2.500    \n"
              "\n");
    EXPECT_EQ(hdr.nmeas, 3);
    EXPECT_EQ(hdr.bytes_per_scan, 42);
    EXPECT_EQ(hdr.measid, 77);
    EXPECT_EQ(hdr.polar_id, 4);
    EXPECT_EQ(hdr.range_unit, static_cast<double>(0.001f));
    EXPECT_EQ(hdr.angle_unit, static_cast<double>(0.01f));
    EXPECT_EQ(hdr.timer_unit, static_cast<double>(1.0e-6f));
    EXPECT_EQ(hdr.epoch, 12 + 34 / 60.0 + 56 / 3600.0);
    EXPECT_EQ(hdr.a[1], 123.456f);
    EXPECT_EQ(hdr.d[1], 1.0e-5f);
    EXPECT_EQ(hdr.c[1], 1.0f);
    EXPECT_EQ(hdr.e[2][0], -1.0f);
    EXPECT_EQ(hdr.e[3][2], -1.0f);
    EXPECT_EQ(hdr.eps[3], -2.5f);
    // Positioned right after byte 209.
    std::uint8_t next = 0;
    EXPECT_EQ(read_bytes(in, &next, 1), 1u);
    EXPECT_EQ(next, 0x7f);
}

TEST(ScannerHeader, TimeSourceDecidesWhetherTheEpochIsUsed) {
    struct Case {
        const char* source;
        const char* text;
        double epoch;
        const char* fields;
    };
    const Case cases[] = {
        {"GPS", "2024-05-17 10:30:00", 10.5, "          10          30           0 "},
        {"RTC", "2024-05-17 01:02:03", 1 + 2 / 60.0 + 3 / 3600.0, "           1           2           3 "},
        {"GPSxyz", "xxxxxxxxxxx23:59:59", 23 + 59 / 60.0 + 59 / 3600.0,
         "          23          59          59 "},
        {"GPS", "2024-05-17  7: 5: 9", 7 + 5 / 60.0 + 9 / 3600.0, "           7           5           9 "},
        {"GPS", "2024-05-17 00:00:00", 0.0, "           0           0           0 "},
        {"GPS", "", 0.0, "           0           0           0 "},  // all-blank fields read as zero
        {"gps", "2024-05-17 10:30:00", 0.0, "           0           0           0 "},
        {" GPS", "2024-05-17 10:30:00", 0.0, "           0           0           0 "},
        {"UTC", "no time at all here", 0.0, "           0           0           0 "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.source) + " / " + c.text);
        sim::LongHeader h = sim::default_long_header(1);
        h.time_source = c.source;
        h.time_epoch = c.text;
        scanner_header hdr;
        const std::string out = read_header(long_header_bytes(h), hdr);
        EXPECT_EQ(hdr.epoch, c.epoch);
        std::string text = c.text;
        text.resize(32, ' ');
        EXPECT_NE(out.find(" time epoch: " + text + " hr,min,sec =" + c.fields + "\n"), std::string::npos) << out;
    }
}

TEST(ScannerHeader, LengthFieldSelectsTheVariant) {
    struct Case {
        std::int32_t length;
        bool short_variant;
    };
    for (const Case c : {Case{47, true}, Case{48, false}, Case{-1, true}, Case{0, true}, Case{210, false},
                         Case{100000, false}}) {
        SCOPED_TRACE(c.length);
        std::string bytes;
        if (c.short_variant) {
            sim::ShortHeader h;
            h.header_length = c.length;
            bytes = short_header_bytes(h);
        } else {
            sim::LongHeader h = sim::default_long_header(1);
            h.header_length = c.length;
            bytes = long_header_bytes(h);
        }
        scanner_header hdr;
        const std::string out = read_header(bytes, hdr);
        EXPECT_EQ(out.find(" RIEGL Q140 HEADER") != std::string::npos, c.short_variant);
        EXPECT_EQ(hdr.measid, c.short_variant ? 140 : 77);
    }
}

TEST(ScannerHeader, ShortVariantReportWarningAndUntouchedFields) {
    struct Case {
        std::uint8_t angleid;
        bool warned;
    };
    for (const Case c : {Case{4, false}, Case{3, true}, Case{0x84, true}}) {
        sim::ShortHeader h;
        h.header_length = 47;
        h.bytes_per_scan = 1012;
        h.bytes_per_meas = 10;
        h.nmeas = -3;
        h.range_unit = 0.02f;
        h.angle_unit = 0.005f;
        h.timer_unit = 2.5e-7f;
        h.angleid = c.angleid;
        scanner_header hdr;
        hdr.polar_id = 9;
        hdr.epoch = 3.25;
        hdr.a[0] = 7.0f;
        ByteReader in;
        const std::string out = read_header(short_header_bytes(h) + "\x55", hdr, &in);
        EXPECT_EQ(out, std::string("\n"
                                   " RIEGL Q140 HEADER bytes:  47, bytes pr scan: 1012 bytes pr meas:   10\n"
                                   " measurements per scan:   -3\n"
                                   " range,angle and timer units:    0.020000    0.005000    0.000000\n"
                                   " \n") +
                           (c.warned ? " *** warning: header angleid is not 4 !!\n" : ""));
        EXPECT_EQ(hdr.measid, 140);
        EXPECT_EQ(hdr.nmeas, -3);
        EXPECT_EQ(hdr.bytes_per_scan, 1012);
        EXPECT_EQ(hdr.timer_unit, static_cast<double>(2.5e-7f));
        EXPECT_EQ(hdr.polar_id, 9);
        EXPECT_EQ(hdr.epoch, 3.25);
        EXPECT_EQ(hdr.a[0], 7.0f);
        std::uint8_t next = 0;
        EXPECT_EQ(read_bytes(in, &next, 1), 1u);
        EXPECT_EQ(next, 0x55);  // positioned at byte 47
    }
}

TEST(ScannerHeader, SignExtendsSixteenBitCounts) {
    sim::LongHeader h = sim::default_long_header(1);
    h.nmeas = -2;
    h.bytes_per_scan = -32768;
    scanner_header hdr;
    read_header(long_header_bytes(h), hdr);
    EXPECT_EQ(hdr.nmeas, -2);
    EXPECT_EQ(hdr.bytes_per_scan, -32768);
}

TEST(ScannerHeader, MeasidContentLines) {
    struct Case {
        std::int16_t measid;
        const char* lines;
    };
    const Case cases[] = {
        {93, " scanner output: measid      93 \n - range\n - intensity\n - angle\n - meas qual\n - synctimer\n"},
        {1, " scanner output: measid       1 \n - range\n"},
        {0, " scanner output: measid       0 \n"},
        {-1, " scanner output: measid      -1 \n - range\n - intensity\n - angle\n - meas qual\n - synctimer\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.measid);
        sim::LongHeader h = sim::default_long_header(1);
        h.measid = c.measid;
        auto r = read_header_in_child(long_header_bytes(h));
        EXPECT_EQ(r.status, 1);
        const std::string tail = std::string(c.lines) + "*** only measid 77 is implemented\n";
        ASSERT_GE(r.output.size(), tail.size());
        EXPECT_EQ(r.output.substr(r.output.size() - tail.size()), tail);
    }
}

TEST(ScannerHeader, StopsAndTheirOutput) {
    const std::string first_line = "\n RIEGL Q120/220 HEADER bytes: 210, bytes pr scan:   22, protocol id: 1\n";
    const std::string contents = " scanner output: measid      77 \n - range\n - intensity\n - angle\n - synctimer\n";
    const std::string good = long_header_bytes(sim::default_long_header(1));
    struct Case {
        const char* name;
        std::string bytes;
        std::string output;
    };
    sim::LongHeader bad_id = sim::default_long_header(1);
    bad_id.headerid = 9;
    sim::LongHeader bad_par = sim::default_long_header(1);
    bad_par.par_id_main = -8;
    sim::LongHeader bad_time = sim::default_long_header(1);
    bad_time.time_epoch = "2024-05-17 1a:30:00";
    sim::LongHeader ignored_time = bad_time;
    ignored_time.time_source = "NONE";
    const Case cases[] = {
        {"empty", "", "*** end of file met in header\n"},
        {"46 bytes", good.substr(0, 46), "*** end of file met in header\n"},
        {"7 bytes of a long header", good.substr(0, 47).substr(0, 7), "*** end of file met in header\n"},
        {"ends inside bytes 26-209", good.substr(0, 209), first_line + contents + "*** end of file met in header\n"},
        {"headerid", long_header_bytes(bad_id),
         first_line + " *** error in header: headerid is not 10:    9 \n"},
        {"headerid before the end of file", long_header_bytes(bad_id).substr(0, 60),
         first_line + " *** error in header: headerid is not 10:    9 \n"},
        {"parIDmain", long_header_bytes(bad_par),
         first_line + contents + " *** error in header: parIDmain not 8:   -8 \n"},
        {"time epoch", long_header_bytes(bad_time),
         first_line + contents +
             "*** read error in scan.bin, header time epoch \"2024-05-17 1a:30:00\": hour, minute or second is "
             "not an integer\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto r = read_header_in_child(c.bytes);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.output, c.output);
    }
    // The same text is not read when the time source does not ask for it.
    auto r = read_header_in_child(long_header_bytes(ignored_time));
    EXPECT_EQ(r.status, 0);
}

}  // namespace
}  // namespace morva::scanner
