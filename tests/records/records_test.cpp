// Every record form written by the run's writer and read back by the
// companions' reader: the text or bytes written, and the exact integers read,
// side by side, at the edges of each layout (the widest values, asterisks,
// NaN, negative zero, the overflow marker). Then the block reader over whole
// files: where it stops and what it says.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <limits>
#include <string>
#include <vector>

#include <unistd.h>

#include "records/centre_record.hpp"
#include "records/record_file.hpp"
#include "records/scan_point_record.hpp"

namespace morva::records {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// What a reader gave, as one line: "Point" or "NotAPoint", then the integers
// (an amplitude of asterisks as *); "Malformed" alone.
std::string read_back(Decoded d, std::initializer_list<std::int64_t> values, bool ampl_known, std::size_t ampl_at) {
    if (d == Decoded::Malformed) return "Malformed";
    std::string s = d == Decoded::Point ? "Point" : "NotAPoint";
    std::size_t k = 0;
    for (std::int64_t v : values) s += " " + (k++ == ampl_at && !ampl_known ? std::string("*") : std::to_string(v));
    return s;
}

std::string read_back(Decoded d, const ScanPointRecord& r) {
    return read_back(d, {r.thr_e7, r.lat_e7, r.lon_e7, r.h_mm, r.ampl, r.index, r.group_size}, r.ampl_known, 4);
}

std::string read_back(Decoded d, const CentreRecord& r) {
    return read_back(d, {r.thr_e7, r.lat_e6, r.lon_e6, r.h_cm, r.ampl, r.airh_cm, r.range_cm}, r.ampl_known, 4);
}

struct PointCase {
    ScanPointForm form;
    double thr, lat, lon, h;
    int ampl, i, n;
    const char* written;  // text without its line end; binary: 36 hex digits
    const char* read;     // time 1e-7 h, latitude and longitude 1e-7 degree, height mm, amplitude bits, index, group
                          // (text values of no point are not compared)
};

using F = ScanPointForm;

const PointCase kPoints[] = {
    {F::Text, 12.5, 52.123456, 4.654321, 1.23, 57, 12, 1, "12.500000  52.123456    4.654321    1.23  57  12",
     "Point 125000000 521234560 46543210 1230 57 12 0"},
    // The widest values each field holds; an amplitude beyond -99 is asterisks.
    {F::Text, 99.999999, -999.999999, -9999.999999, -9999.99, 128, 9999, 1,
     "99.999999-999.999999-9999.999999-9999.99 ***9999", "Point 999999990 -9999999990 -99999999990 -9999990 * 9999 0"},
    // Negative zero and values that round to zero print as zero, without a sign.
    {F::Text, 0.0, -0.0, -0.0000001, -0.0, 0, 0, 1, " 0.000000   0.000000    0.000000    0.00   0   0",
     "Point 0 0 0 0 0 0 0"},
    {F::Text, -0.5, 52.0, 5.0, 10.0, 200, 7, 1, "-0.500000  52.000000    5.000000   10.00 -56   7",
     "Point -5000000 520000000 50000000 10000 200 7 0"},
    // A value too wide for its field, or not a number: no point.
    {F::Text, 10.0, 10000.0, 5.0, 10.0, 0, 7, 1, "10.000000***********    5.000000   10.00   0   7", "NotAPoint"},
    {F::Text, 10.0, 52.0, 5.0, kNaN, 0, 7, 1, "10.000000  52.000000    5.000000     NaN   0   7", "NotAPoint"},
    {F::TextWithGroupSize, 10.0, 52.0, 5.0, 10.0, 1, 7, 999, "10.000000  52.000000    5.000000   10.00   1   7999",
     "Point 100000000 520000000 50000000 10000 1 7 999"},
    {F::Binary, 12.5, 52.123456, 4.654321, 1.23, 57, 12, 1, "405973078068111f6a31c602ce040000390c",
     "Point 125000000 521234560 46543210 1230 57 12 0"},
    // The widest binary values; the index keeps its low 8 bits.
    {F::Binary, 214.7483647, -214.7483647, 214.7483647, 2147483.647, 255, 300, 1,
     "ffffff7f01000080ffffff7fffffff7fff2c", "Point 2147483647 -2147483647 2147483647 2147483647 255 44 0"},
    {F::Binary, -0.0, -0.0, -0.00000004, -0.0, 0, 0, 1, "000000000000000000000000000000000000", "Point 0 0 0 0 0 0 0"},
    // Beyond 32 bits, or not a number: the overflow marker, and no point; the fields stay as stored.
    {F::Binary, 10.0, 214.74836475, 5.0, kNaN, 0, 7, 1, "00e1f5050000008080f0fa02000000800007",
     "NotAPoint 100000000 -2147483648 50000000 -2147483648 0 7 0"},
};

std::string hex(const unsigned char* b, std::size_t n) {
    std::string s;
    char two[3];
    for (std::size_t k = 0; k < n; ++k) {
        std::snprintf(two, sizeof two, "%02x", b[k]);
        s += two;
    }
    return s;
}

// Formats into a stream that is never flushed, and returns what it holds
// without its line end.
template <typename Write>
std::string written_line(Write write, std::size_t length) {
    text::OutStream out;
    out.buffer.reset(new char[4096]);
    out.capacity = 4096;
    write(out);
    std::string line(out.buffer.get(), out.used);
    EXPECT_EQ(line.size(), length) << line;
    EXPECT_EQ(line.back(), '\n') << line;
    line.pop_back();
    return line;
}

TEST(Records, EachScanPointFormWrittenAndReadBack) {
    for (const PointCase& c : kPoints) {
        scanpt p{};
        p.thr = c.thr, p.lat = c.lat, p.lon = c.lon, p.h = c.h;
        p.ampl = static_cast<std::uint8_t>(c.ampl);
        p.i = c.i, p.n = c.n;
        ScanPointRecord r;
        Decoded d;
        std::string written;
        if (c.form == F::Binary) {
            unsigned char b[kBinaryRecordSize];
            encode_binary(p, b);
            written = hex(b, sizeof b);
            d = decode_binary(b, r);
        } else {
            const bool group = c.form == F::TextWithGroupSize;
            written = written_line([&](text::OutStream& o) { write_text_record(o, p, group); }, record_bytes(c.form));
            d = decode_text(written.data(), written.size(), group, r);
        }
        EXPECT_EQ(written, c.written);
        EXPECT_EQ(r.is_point, d == Decoded::Point) << written;
        const std::string read = read_back(d, r);
        EXPECT_EQ(c.form != F::Binary && d == Decoded::NotAPoint ? "NotAPoint" : read, c.read) << written;
    }
}

struct CentreCase {
    double thr, lat, lon, h;
    int ampl;
    double airh, range;
    const char* written;
    const char* read;  // time 1e-7 h, latitude and longitude 1e-6 degree, heights and range cm, signed amplitude
};

const CentreCase kCentres[] = {
    {12.5, 52.123456, 4.654321, 1.23, 57, 312.4, 310.25,
     "  12.5000000  52.123456    4.654321    1.23  57  312.40  310.25",
     "Point 125000000 52123456 4654321 123 57 31240 31025"},
    {-0.0, -0.0, -999.999999, -9999.99, 156, 99999.99, -0.0,
     "   0.0000000   0.000000 -999.999999-9999.99 ***99999.99    0.00", "Point 0 0 -999999999 -999999 * 9999999 0"},
    {12.5, 52.0, 4.0, 1.0, 200, 3.5, 100000.0, "  12.5000000  52.000000    4.000000    1.00 -56    3.50********",
     "NotAPoint 125000000 52000000 4000000 100 -56 350 0"},
};

TEST(Records, CentreRecordWrittenAndReadBack) {
    for (const CentreCase& c : kCentres) {
        scanpt p{};
        p.thr = c.thr, p.lat = c.lat, p.lon = c.lon, p.h = c.h, p.airh = c.airh, p.range = c.range;
        p.ampl = static_cast<std::uint8_t>(c.ampl);
        const std::string line = written_line([&](text::OutStream& o) { write_centre_record(o, p); }, centre_record_bytes());
        EXPECT_EQ(line, c.written);
        CentreRecord r;
        const Decoded d = decode_centre(line.data(), line.size(), r);
        EXPECT_EQ(r.is_point, d == Decoded::Point) << line;
        EXPECT_EQ(read_back(d, r), c.read) << line;
    }
}

// Whole files through the block reader, in blocks of 2.
struct FileCase {
    const char* name;
    ScanPointForm form;
    std::string bytes;
    std::vector<int> index;  // of every record handed out, in order
    ReadProblem problem;
    std::int64_t problem_record;  // the line or record
    std::uint64_t problem_offset;
};

const std::string kLine = "10.000000  52.000000    5.000000   10.00   0";  // the index follows

const FileCase kFiles[] = {
    {"five lines", F::Text, kLine + "   1\n" + kLine + "   2\n" + kLine + "   3\n" + kLine + "   4\n" + kLine + "   5\n",
     {1, 2, 3, 4, 5}, ReadProblem::None, 0, 0},
    {"a last line without its line end", F::Text, kLine + "   1\n" + kLine + "   2", {1, 2}, ReadProblem::None, 0, 0},
    {"a short line stops the reading there", F::Text, kLine + "   1\n" + kLine + "   2\n" + kLine + "  3\n" + kLine + "   4\n",
     {1, 2}, ReadProblem::Malformed, 3, 98},
    {"a line of the other form", F::TextWithGroupSize, kLine + "   1  1\n" + kLine + "   2\n", {1}, ReadProblem::Malformed,
     2, 52},
    {"a carriage return makes a line malformed", F::Text, kLine + "   1\r\n", {}, ReadProblem::Malformed, 1, 0},
    {"binary with a partial record", F::Binary, std::string(17, 0) + "\x01" + std::string(17, 0) + "\x02" + std::string(5, 0),
     {1, 2}, ReadProblem::PartialRecord, 3, 36},
    {"empty", F::Binary, "", {}, ReadProblem::None, 0, 0},
};

TEST(Records, BlockReaderOverWholeFiles) {
    const auto path = std::filesystem::temp_directory_path() / ("records_test_" + std::to_string(::getpid()));
    for (const FileCase& c : kFiles) {
        std::ofstream(path, std::ios::binary) << c.bytes;
        ScanPointFile f;
        ASSERT_TRUE(open_scan_points(f, path.string(), c.form)) << c.name;
        std::vector<int> index;
        ScanPointRecord block[2];
        while (const std::size_t n = read_scan_points(f, block, 2)) {
            for (std::size_t k = 0; k < n; ++k) {
                index.push_back(block[k].index);
                EXPECT_EQ(record_text(f.blocks, k).size(), c.form == F::Binary ? 18 : record_bytes(c.form) - 1);
            }
        }
        EXPECT_EQ(index, c.index) << c.name;
        EXPECT_EQ(f.blocks.problem, c.problem) << c.name;
        EXPECT_EQ(f.blocks.problem_record, c.problem_record) << c.name;
        EXPECT_EQ(f.blocks.problem_offset, c.problem_offset) << c.name;
        close_records(f.blocks);
    }
    std::filesystem::remove(path);
}

}  // namespace
}  // namespace morva::records
