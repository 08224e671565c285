// Scanner scripts: the bytes each statement writes, and malformed scripts.

#include <gtest/gtest.h>

#include <string>

#include "scanner_script.hpp"
#include "scanner_writer.hpp"

namespace morva::sim {
namespace {

std::string hex(const std::string& bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (unsigned char c : bytes) {
        if (!out.empty()) out += ' ';
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

std::string build(const std::string& script) {
    std::string error;
    std::string bytes = build_scanner_file(script, error);
    EXPECT_EQ(error, "") << script;
    return bytes;
}

TEST(ScannerScript, HeadersMatchTheWriter) {
    EXPECT_EQ(build(""), "");
    EXPECT_EQ(build("# nothing but a comment\n\n"), "");

    LongHeader h = default_long_header(4);
    h.header_length = 300;
    h.protocol_id = -3;
    h.range_unit = 0.02f;
    h.polar_id = 2;
    h.a[1] = -0.5f;
    h.e[3][2] = 0.25f;
    h.eps[2] = 1e-3f;
    h.time_epoch = epoch_text(7, 8, 9);
    h.time_source = "RTC x";
    h.syncflag = 0x80;
    h.instrument = "AB CD";
    std::uint8_t expected[210];
    encode_long_header(h, expected);
    EXPECT_EQ(build("header nmeas=4 length=300 protocol=-3 range_unit=0.02 polar_id=2 a=0,-0.5,0 "
                    "e4=0,0,0.25 eps=0,0,1e-3,0 time=07:08:09 source=\"RTC x\" syncflag=0x80 "
                    "instrument=\"AB CD\""),
              std::string(reinterpret_cast<const char*>(expected), 210));

    ShortHeader s;
    s.nmeas = 2;
    s.bytes_per_scan = 32;
    s.angleid = 3;
    std::uint8_t expected_short[47];
    encode_short_header(s, expected_short);
    EXPECT_EQ(build("short nmeas=2 angleid=3"), std::string(reinterpret_cast<const char*>(expected_short), 47));
}

TEST(ScannerScript, RecordBytes) {
    // syncseq, one measurement, trailer; 24-bit fields least significant byte first.
    EXPECT_EQ(hex(build("scan 0x1234 0b101 0x010203 0x0a0b0c sync=-2 unused=7\n"
                        "m 0x112233 0xff 0x445566 0x778899\n")),
              "fe ff 33 22 11 ff 66 55 44 99 88 77 07 34 12 05 03 02 01 0c 0b 0a");
    // The header's bytes per scan is the default syncseq.
    EXPECT_EQ(hex(build("header nmeas=0\nscan 1 0 0 0").substr(210)), "0c 00 00 01 00 00 00 00 00 00 00 00");
    // A ramp steps every field; counts keep their low bits.
    EXPECT_EQ(hex(build("scan 0 0 0 0 sync=0\nramp 2 0xffffff 255 10 0 1 1 -10 5")),
              "00 00 "
              "ff ff ff ff 0a 00 00 00 00 00 "
              "00 00 00 00 00 00 00 05 00 00 "
              "00 00 00 00 00 00 00 00 00 00");
    // Repeated scans advance number, seconds and timer, wrapping at their widths.
    const std::string three = build("scans 3 0xffff 1 0xffffff 5 sync=0 step=1,1,2\nm 1 2 3 4");
    ASSERT_EQ(three.size(), 3u * 22);
    EXPECT_EQ(hex(three.substr(12, 10)), "00 ff ff 01 ff ff ff 05 00 00");
    EXPECT_EQ(hex(three.substr(34, 10)), "00 00 00 01 00 00 00 07 00 00");
    EXPECT_EQ(hex(three.substr(56, 10)), "00 01 00 01 01 00 00 09 00 00");
    EXPECT_EQ(hex(three.substr(22, 12)), hex(three.substr(0, 12)));
}

TEST(ScannerScript, CutPatchAndRawBytes) {
    EXPECT_EQ(hex(build("bytes 01 02 03 ff\npatch 1 aa bb\ncut 3")), "01 aa bb");
    EXPECT_EQ(build("header\nscan 1 0 0 0\nm 1 1 1 1\ncut 230").size(), 230u);
    // A cut that keeps one byte of a record's syncseq.
    EXPECT_EQ(hex(build("scan 1 0 0 0 sync=0x0102\nbytes 09\ncut 13").substr(12)), "09");
}

TEST(ScannerScript, MalformedScripts) {
    struct Case {
        const char* script;
        const char* error;
    };
    const Case cases[] = {
        {"jump 3", "line 1: unknown statement jump"},
        {"header\nm 1 2 3 4", "line 2: a measurement outside a scan"},
        {"header nmeas=x", "line 1: not an integer: x"},
        {"header colour=red", "line 1: unknown header key colour"},
        {"header a=1,2", "line 1: expected 3 values joined by commas"},
        {"header time=7:8:9", "line 1: time=hh:mm:ss expected"},
        {"scan 1 0 0", "line 1: wrong number of values for scan"},
        {"scan 1 0 0 0 step=1,1,1", "line 1: unknown scan key step"},
        {"scan 1 0 0 0\nm 1 2 3", "line 2: wrong number of values for m"},
        {"bytes 1g", "line 1: not a hex byte: 1g"},
        {"bytes 01\npatch 1 02", "line 2: patch outside the file of 1 bytes"},
        {"bytes 01\ncut 2", "line 2: cut beyond the end of the file of 1 bytes"},
        {"header instrument=\"abc", "line 1: unbalanced quote"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.script);
        std::string error;
        EXPECT_EQ(build_scanner_file(c.script, error), "");
        EXPECT_EQ(error, c.error);
    }
}

}  // namespace
}  // namespace morva::sim
