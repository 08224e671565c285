#include "text/layout.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>

#include "text_test_support.hpp"

namespace morva::text {
namespace {

using testing::MemoryOut;
using testing::read_from_memory;

std::string written(const char* notation, std::initializer_list<Value> values) {
    MemoryOut m;
    write_fixed(m.out, layout(notation), values);
    return m.text();
}

TEST(WriteFixed, Descriptors) {
    const std::int8_t byte_top = -128, byte_five = 5;
    const std::string name36 = std::string("scan.bin") + std::string(28, ' ');
    EXPECT_EQ(written("I6", {std::int32_t{-42}}), "   -42\n");
    EXPECT_EQ(written("I2", {std::int32_t{123}}), "**\n");
    EXPECT_EQ(written("I4", {std::int16_t{-32768}}), "****\n");
    EXPECT_EQ(written("I11", {std::int64_t{-2147483648LL}}), "-2147483648\n");
    EXPECT_EQ(written("F6.2", {-0.004}), "  0.00\n");
    EXPECT_EQ(written("F6.2", {0.1f}), "  0.10\n");
    EXPECT_EQ(written("F20.17", {0.1f}), " 0.10000000149011610\n");  // a 4-byte real: 16 digits
    EXPECT_EQ(written("G10.4", {99999.0}), "0.1000E+06\n");
    EXPECT_EQ(written("G10.4", {-0.5f}), "-.5000    \n");
    EXPECT_EQ(written("B7.7", {byte_five}), "0000101\n");
    EXPECT_EQ(written("B7.7", {byte_top}), "*******\n");  // a byte's top bit: eight digits
    EXPECT_EQ(written("B7.7", {std::uint8_t{127}}), "1111111\n");
    EXPECT_EQ(written("B7.7", {std::uint8_t{0}}), "0000000\n");
    EXPECT_EQ(written("B16.1", {std::int16_t{-1}}), "1111111111111111\n");
    EXPECT_EQ(written("A", {name36}), "scan.bin                            \n");
    EXPECT_EQ(written("A36", {name36}), "scan.bin                            \n");
    EXPECT_EQ(written("A10", {"abc"}), "       abc\n");  // a wider field: blanks ahead
    EXPECT_EQ(written("A2", {"abc"}), "ab\n");           // a narrower one: the leftmost characters
    EXPECT_EQ(written("3X", {}), "   \n");
    EXPECT_EQ(written("\"text, with (commas)\"", {}), "text, with (commas)\n");
    EXPECT_EQ(written("\" a\" 2X \"b\"", {}), " a  b\n");
    EXPECT_EQ(written("I3,I3", {std::int32_t{1}, std::int32_t{2}}), "  1  2\n");
    EXPECT_EQ(written("", {}), "\n");
    // Integers in F and G fields show their value; a real in an I field is
    // a mistake that shows.
    EXPECT_EQ(written("F8.2 G10.4", {std::int32_t{-42}, std::int64_t{123456}}), "  -42.000.1235E+06\n");
    EXPECT_EQ(written("I4", {2.0}), "****\n");
}

TEST(WriteFixed, RepeatCountsAndGroups) {
    EXPECT_EQ(written("3F5.1", {1.0, 2.0, 3.0}), "  1.0  2.0  3.0\n");
    EXPECT_EQ(written("2(1X,I2)", {std::int32_t{1}, std::int32_t{2}}), "  1  2\n");
    EXPECT_EQ(written("2(I1,2(\"-\",I1))", {std::int32_t{1}, std::int32_t{2}, std::int32_t{3}, std::int32_t{4},
                                           std::int32_t{5}, std::int32_t{6}}),
              "1-2-34-5-6\n");
    EXPECT_EQ(written("2(\"<\"I1\">\")", {std::int32_t{7}, std::int32_t{8}}), "<7><8>\n");
    EXPECT_EQ(written("12X\"|\"", {}), "            |\n");
    EXPECT_EQ(written("1X,I1,10X,I1", {std::int32_t{1}, std::int32_t{2}}), " 1          2\n");
    EXPECT_EQ(written("2I6 F9.5 \" skipped, before t1\"", {std::int32_t{10000}, std::int32_t{10000}, 10.25}),
              " 10000 10000 10.25000 skipped, before t1\n");
}

TEST(WriteFixed, Slashes) {
    EXPECT_EQ(written("/", {}), "\n\n");
    EXPECT_EQ(written("/\" === MORVA === \"", {}), "\n === MORVA === \n");
    EXPECT_EQ(written("I1/", {std::int32_t{1}}), "1\n\n");
    EXPECT_EQ(written("I1/I1", {std::int32_t{1}, std::int32_t{2}}), "1\n2\n");
    EXPECT_EQ(written("I1//I1", {std::int32_t{1}, std::int32_t{2}}), "1\n\n2\n");
    EXPECT_EQ(written("2(I1/)", {std::int32_t{1}, std::int32_t{2}}), "1\n2\n\n");
}

TEST(WriteFixed, ExhaustedValuesStopAtTheNextValueDescriptor) {
    // " polynomial coefficients :" 8F9.4 with four values: text and four fields.
    EXPECT_EQ(written("\" polynomial coefficients :\" 8F9.4", {1.0, -2.0, 0.5, 0.25}),
              " polynomial coefficients :   1.0000  -2.0000   0.5000   0.2500\n");
    // Literals, X and / before the next value descriptor are still written.
    EXPECT_EQ(written("I2 \" a\" 1X \"b\" / I2 \"c\"", {std::int32_t{1}}), " 1 a b\n\n");
    EXPECT_EQ(written("I2 \" end\"", {std::int32_t{1}}), " 1 end\n");
    EXPECT_EQ(written("\"x\" I2 \"y\"", {}), "x\n");
    EXPECT_EQ(written("2(I2,\";\")", {std::int32_t{1}}), " 1;\n");
    // Trailing blanks of the literals stay: the line is only ended.
    EXPECT_EQ(written("\"n:\" I3 \"  \"", {std::int32_t{7}}), "n:  7  \n");
}

TEST(WriteFixed, ReportLines) {
    const std::string scanfile = std::string("scan.bin") + std::string(28, ' ');
    EXPECT_EQ(written(R"(/" GPS read:" I6 " gps/attitude data, min max spacing (sec):" 2F9.2 /)"
                      R"(" minimum and maximum velocity (km/h): " 2F8.1)",
                      {std::int32_t{0}, 9999.9, 0.0, 9999.900390625f, -9999.900390625f}),
              "\n GPS read:     0 gps/attitude data, min max spacing (sec):  9999.90     0.00\n"
              " minimum and maximum velocity (km/h):   9999.9 -9999.9\n");
    EXPECT_EQ(written(R"(" Offset/misalignment parameters used: " 6F6.2 / " Polynomial coefficients used: " 4F9.4)",
                      {0.5, 0.0, -1.25, 0.1, -0.2, 359.99, 1.5, -2.25, 0.00005, 100000.0}),
              " Offset/misalignment parameters used:   0.50  0.00 -1.25  0.10 -0.20359.99\n"
              " Polynomial coefficients used:    1.5000  -2.2500   0.0001*********\n");
    EXPECT_EQ(written(R"(/" RIEGL Q120/220 HEADER bytes:" I4 ", bytes pr scan:" I5 ", protocol id:" I2)",
                      {std::int32_t{210}, std::int16_t{10020}, std::int8_t{3}}),
              "\n RIEGL Q120/220 HEADER bytes: 210, bytes pr scan:10020, protocol id: 3\n");
    static const Layout scan_point = layout("F9.6 F11.6 F12.6 F8.2 1X I3 I4");
    auto record = [&](std::initializer_list<Value> values) {
        MemoryOut m;
        write_fixed(m.out, scan_point, values);
        return m.text();
    };
    EXPECT_EQ(record({12.5, 52.123456, 4.654321, 1.23, std::uint8_t{57}, std::int32_t{12}}),
              "12.500000  52.123456    4.654321    1.23  57  12\n");
    EXPECT_EQ(record({12.5, 52.123456, 4.654321, 1.23, std::uint8_t{200}, std::int32_t{12}}),
              "12.500000  52.123456    4.654321    1.23 -56  12\n");
    EXPECT_EQ(record({12.5, 52.123456, 4.654321, 1.23, std::uint8_t{156}, std::int32_t{12}}),
              "12.500000  52.123456    4.654321    1.23 ***  12\n");
    EXPECT_EQ(record({10.123456789, 52.5, 4.25, -31.456, std::int16_t{255}, std::int32_t{1000}}),
              "10.123457  52.500000    4.250000  -31.46 2551000\n");
}

TEST(WriteFixed, LongLinesAreNeverContinued) {
    std::string long_text(200, 'x');
    MemoryOut m;
    write_fixed(m.out, layout("A 10I9"), {long_text, std::int32_t{1}, std::int32_t{2}});
    std::string s = m.text();
    EXPECT_EQ(s.size(), 200u + 18u + 1u);
    EXPECT_EQ(s.find('\n'), s.size() - 1);
}

TEST(Layout, MalformedNotationIsAProgrammingError) {
    const char* bad[] = {"F9", "F9.", "Q3", "2(I3", "I3)", "\"open", "I", "3"};
    for (const char* notation : bad) {
        EXPECT_DEATH(layout(notation), "malformed layout") << notation;
    }
}

TEST(ReadFixed, FieldInMemory) {
    static const Layout epoch = layout("11X, I2, 1X, I2, 1X, I2");
    struct Case {
        const char* text;
        bool ok;
        std::int32_t h, m, s;
    };
    const Case cases[] = {
        {"GPS time:  12:34:56 xxxxxxxxxxxx", true, 12, 34, 56},
        {"           01:02:03", true, 1, 2, 3},
        {"           -1:+2: 3", true, -1, 2, 3},
        {"             :  :  ", true, 0, 0, 0},   // all-blank fields read as zero
        {"           1 : 2:3 ", true, 1, 2, 3},   // blanks in a field are ignored
        {"           ab:00:00", false, -7, -7, -7},
        {"           12:3x:00", false, 12, -7, -7},
        {"           12:34:5", false, 12, 34, -7},  // too short for the last field
        {"           12:- :00", false, 12, -7, -7}, // a lone sign
        {"           1-:00:00", false, -7, -7, -7}, // a sign after the digits
    };
    for (const auto& c : cases) {
        std::int32_t h = -7, m = -7, s = -7;
        EXPECT_EQ(read_fixed(c.text, epoch, {&h, &m, &s}), c.ok) << c.text;
        EXPECT_EQ(h, c.h) << c.text;
        EXPECT_EQ(m, c.m) << c.text;
        EXPECT_EQ(s, c.s) << c.text;
    }
}

TEST(ReadFixed, NameLinesFromAStream) {
    static const Layout name_line = layout("A");
    const std::string forty = "abcdefghijklmnopqrstuvwxyz0123456789WXYZ";
    TextReader in;
    read_from_memory(in, "scan.bin\n" + forty + "\n\nwin.txt\r\nx\ry\r\n 0\nlast");
    auto next = [&](std::string& name) {
        name.assign(36, '?');
        return read_fixed(in, name_line, {&name});
    };
    std::string name;
    ASSERT_TRUE(next(name));
    EXPECT_EQ(name, "scan.bin" + std::string(28, ' '));
    ASSERT_TRUE(next(name));
    EXPECT_EQ(name, forty.substr(0, 36));
    ASSERT_TRUE(next(name));
    EXPECT_EQ(name, std::string(36, ' '));
    ASSERT_TRUE(next(name));
    EXPECT_EQ(name, "win.txt" + std::string(29, ' '));  // the carriage return before the line end goes
    ASSERT_TRUE(next(name));
    EXPECT_EQ(name, "x\ry" + std::string(33, ' '));  // one inside the line stays
    ASSERT_TRUE(next(name));
    EXPECT_EQ(name, " 0" + std::string(34, ' '));
    ASSERT_TRUE(next(name));
    EXPECT_EQ(name, "last" + std::string(32, ' '));
    EXPECT_FALSE(next(name));
    EXPECT_EQ(in.line, 7);
}

TEST(ReadFixed, VeryLongNameLine) {
    static const Layout name_line = layout("A");
    TextReader in;
    read_from_memory(in, std::string(5000, 'n') + "\nnext\n");
    std::string name(36, ' ');
    ASSERT_TRUE(read_fixed(in, name_line, {&name}));
    EXPECT_EQ(name, std::string(36, 'n'));
    ASSERT_TRUE(read_fixed(in, name_line, {&name}));
    EXPECT_EQ(name, "next" + std::string(32, ' '));
}

}  // namespace
}  // namespace morva::text
