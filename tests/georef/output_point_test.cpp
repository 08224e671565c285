#include "georef/output_point.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "text/out_stream.hpp"

namespace morva::georef {
namespace {

// Formats into a stream that is never flushed, and returns what it holds.
std::string captured(void (*write)(text::OutStream&, const scanpt&, bool), const scanpt& p, bool flag) {
    text::OutStream out;
    out.buffer.reset(new char[4096]);
    out.capacity = 4096;
    write(out, p, flag);
    return std::string(out.buffer.get(), out.used);
}

scanpt example_point() {
    scanpt p{};
    p.thr = 12.5;
    p.lat = 52.123456;
    p.lon = 4.654321;
    p.h = 1.23;
    p.ampl = 57;
    p.i = 12;
    p.airh = 312.4;
    p.range = 310.25;
    p.n = 1;
    return p;
}

TEST(OutputRecords, TextBinaryAndCentreOfTheSamePoint) {
    const scanpt p = example_point();
    EXPECT_EQ(captured([](text::OutStream& o, const scanpt& q, bool n) { write_text_record(o, q, n); }, p, false),
              "12.500000  52.123456    4.654321    1.23  57  12\n");
    EXPECT_EQ(captured([](text::OutStream& o, const scanpt& q, bool) { write_centre_record(o, q); }, p, false),
              "  12.5000000  52.123456    4.654321    1.23  57  312.40  310.25\n");
    unsigned char b[kBinaryRecordSize];
    encode_binary(p, b);
    const unsigned char expected[kBinaryRecordSize] = {0x40, 0x59, 0x73, 0x07, 0x80, 0x68, 0x11, 0x1f, 0x6a,
                                                       0x31, 0xc6, 0x02, 0xce, 0x04, 0x00, 0x00, 0x39, 0x0c};
    EXPECT_EQ(std::vector<unsigned char>(b, b + 18), std::vector<unsigned char>(expected, expected + 18));
}

TEST(OutputRecords, AmplitudeIsTheSignedValueOfItsEightBits) {
    struct Case {
        std::uint8_t ampl;
        const char* field;
    } cases[] = {{200, "-56"}, {156, "***"}, {127, "127"}, {128, "***"}, {255, " -1"}, {0, "  0"}};
    for (const auto& c : cases) {
        scanpt p = example_point();
        p.ampl = c.ampl;
        std::string line =
            captured([](text::OutStream& o, const scanpt& q, bool n) { write_text_record(o, q, n); }, p, false);
        EXPECT_EQ(line.substr(41, 3), c.field) << int(c.ampl);
        unsigned char b[kBinaryRecordSize];
        encode_binary(p, b);
        EXPECT_EQ(b[16], c.ampl);
    }
}

TEST(OutputRecords, GroupSizeFollowsTheIndexWhenAveraging) {
    scanpt p = example_point();
    p.n = 4;
    EXPECT_EQ(captured([](text::OutStream& o, const scanpt& q, bool n) { write_text_record(o, q, n); }, p, true),
              "12.500000  52.123456    4.654321    1.23  57  12  4\n");
}

TEST(BinaryField, RoundsHalvesAwayAndMarksWhatDoesNotFit) {
    EXPECT_EQ(scaled_field(12.5, 1.0e7), 125000000);
    EXPECT_EQ(scaled_field(-0.0625, 1000.0), -63);
    EXPECT_EQ(scaled_field(0.0625, 1000.0), 63);
    EXPECT_EQ(scaled_field(-0.00004, 1000.0), 0);
    EXPECT_EQ(scaled_field(214.7483647, 1.0e7), 2147483647);
    EXPECT_EQ(scaled_field(214.7483648, 1.0e7), INT32_MIN);
    EXPECT_EQ(scaled_field(-214.7483648, 1.0e7), INT32_MIN);
    EXPECT_EQ(scaled_field(std::nan(""), 1.0e7), INT32_MIN);
    EXPECT_EQ(scaled_field(INFINITY, 1000.0), INT32_MIN);
}

// Runs measurements 1..n of one scan through the grouping, with the given
// indices rejected; returns (i, n, mean amplitude) of every point formed.
struct Formed {
    std::int32_t i, n, ampl;
    double thr;
    bool operator==(const Formed&) const = default;
};

std::vector<Formed> group_scan(std::int32_t navg, std::int32_t nmeas, std::vector<std::int32_t> rejected,
                               std::int32_t ampl_base = 10) {
    OutputGroup group;
    std::vector<Formed> formed;
    for (std::int32_t i = 1; i <= nmeas; ++i) {
        if (std::find(rejected.begin(), rejected.end(), i) != rejected.end()) continue;
        Accepted m{static_cast<double>(i), 0, 0, 0, 0, 0, 0, 0, ampl_base + i - 1, i};
        scanpt p;
        if (form_point(group, navg, m, p)) formed.push_back({p.i, p.n, p.ampl, p.thr});
    }
    return formed;
}

TEST(Averaging, GroupsCloseAtMultiplesOfNavg) {
    // All accepted: i = 3 from 1 and 2, i = 6 from 3, 4, 5, ...; 10 is never output.
    EXPECT_EQ(group_scan(3, 10, {}),
              (std::vector<Formed>{{3, 2, 11, 1.5}, {6, 3, 13, 4.0}, {9, 3, 16, 7.0}}));
    // Measurements 1 and 2 rejected: 3 is dropped, the first point is at 6 from 4 and 5.
    EXPECT_EQ(group_scan(3, 7, {1, 2}), (std::vector<Formed>{{6, 2, 14, 4.5}}));
    // Only 3 rejected: the group grows on to 6 with 1, 2, 4, 5.
    EXPECT_EQ(group_scan(3, 7, {3}), (std::vector<Formed>{{6, 4, 12, 3.0}}));
    // Without averaging every measurement stands alone.
    EXPECT_EQ(group_scan(1, 3, {2}), (std::vector<Formed>{{1, 1, 10, 1.0}, {3, 1, 12, 3.0}}));
    EXPECT_EQ(group_scan(0, 2, {}), (std::vector<Formed>{{1, 1, 10, 1.0}, {2, 1, 11, 2.0}}));
}

TEST(Averaging, MeanAmplitudeRoundsHalfUpAndKeepsEightBits) {
    // Amplitudes 10 and 11 give 11.
    EXPECT_EQ(group_scan(3, 3, {}, 10).at(0).ampl, 11);
    // A group of the top amplitude keeps it.
    OutputGroup group;
    scanpt p;
    form_point(group, 2, Accepted{0, 0, 0, 0, 0, 0, 0, 0, 255, 1}, p);
    ASSERT_TRUE(form_point(group, 2, Accepted{0, 0, 0, 0, 0, 0, 0, 0, 0, 2}, p));
    EXPECT_EQ(p.ampl, 255);
}

}  // namespace
}  // namespace morva::georef
