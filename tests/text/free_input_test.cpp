#include "text/free_input.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <deque>
#include <string>
#include <vector>

#include "text/layout.hpp"
#include "text_test_support.hpp"

namespace morva::text {
namespace {

using testing::read_from_memory;
using testing::read_through_file;
using testing::run_in_child;

// The items of one read, by kind letter: R double, S float, I int32,
// L switch. Every item starts from a sentinel so that a null value shows.
struct Items {
    std::vector<double> reals;
    std::vector<float> singles;
    std::vector<std::int32_t> ints;
    std::deque<bool> switches;
    std::vector<FreeItem> list;
    std::string kinds;

    explicit Items(const std::string& k) : kinds(k) {
        reals.resize(k.size(), -7.0);
        singles.resize(k.size(), -7.0f);
        ints.resize(k.size(), -7);
        switches.resize(k.size(), false);
        for (std::size_t i = 0; i < k.size(); ++i) {
            switch (k[i]) {
            case 'R': list.push_back(item(reals[i])); break;
            case 'S': list.push_back(item(singles[i])); break;
            case 'I': list.push_back(item(ints[i])); break;
            case 'L': list.push_back(item(switches[i])); break;
            }
        }
    }

    // The values after the read, blank-separated: reals shortest exact,
    // switches T/F.
    std::string shown() const {
        std::string out;
        char buf[40];
        for (std::size_t i = 0; i < kinds.size(); ++i) {
            if (i > 0) out += ' ';
            switch (kinds[i]) {
            case 'R': std::snprintf(buf, sizeof buf, "%.17g", reals[i]); break;
            case 'S': std::snprintf(buf, sizeof buf, "%.9g", static_cast<double>(singles[i])); break;
            case 'I': std::snprintf(buf, sizeof buf, "%d", ints[i]); break;
            case 'L': std::snprintf(buf, sizeof buf, "%s", switches[i] ? "T" : "F"); break;
            }
            out += buf;
        }
        return out;
    }
};

// The next line after a read, trimmed, or "<end>".
std::string next_line(TextReader& in) {
    char field[80];
    if (!read_line_field(in, field, sizeof field)) return "<end>";
    std::string s(field, sizeof field);
    return s.substr(0, s.find_last_not_of(' ') + 1);
}

struct ReadCase {
    const char* input;
    const char* kinds;
    const char* values;  // after the read; -7 marks an item left as it was
    const char* next;    // the line the next read begins with
};

const ReadCase kReads[] = {
    // Separators: blanks, tabs, commas with optional blanks, line ends.
    {"1.5 2 3\n", "RRR", "1.5 2 3", "<end>"},
    {"   1.5\t2\t 3\nnext\n", "RRR", "1.5 2 3", "next"},
    {"1.5,2 , 3\nnext\n", "RRR", "1.5 2 3", "next"},
    {"1.5, 2 3 4\nnext\n", "RRR", "1.5 2 3", "next"},  // the rest of the line is discarded
    {"1.5\n2 3\nnext\n", "RRR", "1.5 2 3", "next"},   // the read goes on to the next line
    {"1.5\n\n\n2\n   \n3 9 9\nnext\n", "RRR", "1.5 2 3", "next"},
    {"1.5,\n2,3\nnext\n", "RRR", "1.5 2 3", "next"},  // a comma at the end of a line
    {"1.5\n,2,3\nnext\n", "RRR", "1.5 2 3", "next"},  // a line end then a comma: one separator
    {"1.5 \n , 2 3\nnext\n", "RRR", "1.5 2 3", "next"},
    // Null values keep what the item held.
    {"1.5,,7\nnext\n", "RRR", "1.5 -7 7", "next"},
    {"1.5, ,7\n", "RRR", "1.5 -7 7", "<end>"},
    {"1.5 , , 7\n", "RRR", "1.5 -7 7", "<end>"},
    {",2,3\n", "RRR", "-7 2 3", "<end>"},
    {",,,\nnext\n", "RRR", "-7 -7 -7", "next"},
    {"1,,\n4\n", "RRR", "1 -7 4", "<end>"},  // a line end after a comma is no null
    {"1,\n,3\n", "RRR", "1 -7 3", "<end>"},
    // A slash ends the read; the items left keep their values.
    {"1 / 3\nnext\n", "RRR", "1 -7 -7", "next"},
    {"1/3\nnext\n", "RRR", "1 -7 -7", "next"},
    {"1,/\nnext\n", "RRR", "1 -7 -7", "next"},
    {"1\n/\nnext\n", "RRR", "1 -7 -7", "next"},
    {"/\nnext\n", "RRR", "-7 -7 -7", "next"},
    {"1 2 3 /\nnext\n", "RRR", "1 2 3", "next"},
    // Repeats.
    {"3*2.5\nnext\n", "RRR", "2.5 2.5 2.5", "next"},
    {"2*2.5 4\n", "RRR", "2.5 2.5 4", "<end>"},
    {"1 4*9\nnext\n", "RRR", "1 9 9", "next"},  // a repeat beyond the read is dropped
    {"2* 3\n", "RRR", "-7 -7 3", "<end>"},     // r* alone: r null values
    {"2*,3\n", "RRR", "-7 -7 3", "<end>"},
    {"1*5 2*T\n", "ILL", "5 T T", "<end>"},
    {"2*-4\n", "II", "-4 -4", "<end>"},
    // Numbers.
    {"1.5D2 1.5d-2 -1E3\n", "RRR", "150 0.014999999999999999 -1000", "<end>"},
    {"+.5 -.5 5.\n", "RRR", "0.5 -0.5 5", "<end>"},
    {"1e+2 1E-2 7\n", "RRR", "100 0.01 7", "<end>"},
    {"1e-400 -0 0.0\n", "RRR", "0 -0 0", "<end>"},
    {"+7 -0 -2147483648\n", "III", "7 0 -2147483648", "<end>"},
    {"2147483647\n", "I", "2147483647", "<end>"},
    {"0.1 3.4028234e38 1e-40\n", "SSS", "0.100000001 3.40282347e+38 9.9999461e-41", "<end>"},
    {"0.30000001192092896\n", "S", "0.300000012", "<end>"},
    // Switches: first letter after an optional period, the rest ignored.
    {".TRUE. t F\n", "LLL", "T T F", "<end>"},
    {".false. Fubar True\n", "LLL", "F F T", "<end>"},
    {".t. .F tx\n", "LLL", "T F T", "<end>"},
    // Mixed groups as in the run control.
    {"1 3 1 t f 2 t\nnext\n", "IIILLIL", "1 3 1 T F 2 T", "next"},
    {"10 30 36\n0 t\n", "RIR", "10 30 36", "0 t"},
    // Lines ended by a carriage return and a line feed.
    {"1.5 2\r\n3 4\r\nnext\r\n", "RRR", "1.5 2 3", "next"},
    {"1.5\r\n,2,3\r\n", "RRR", "1.5 2 3", "<end>"},
    {"t\r\n", "L", "T", "<end>"},
    // No line end after the last value.
    {"1 2 3", "RRR", "1 2 3", "<end>"},
};

TEST(ReadFree, Table) {
    for (const auto& c : kReads) {
        for (std::size_t capacity : {std::size_t{0}, std::size_t{1}, std::size_t{2}, std::size_t{7}}) {
            TextReader in;
            if (capacity == 0) read_from_memory(in, c.input);
            else read_through_file(in, c.input, capacity);
            Items items(c.kinds);
            EXPECT_TRUE(read_free(in, items.list, AtEnd::Report)) << c.input;
            EXPECT_EQ(items.shown(), c.values) << "reading [" << c.input << "] as " << c.kinds << ", buffer "
                                               << capacity;
            EXPECT_EQ(next_line(in), c.next) << "after [" << c.input << "], buffer " << capacity;
            close_in(in);
        }
    }
}

TEST(ReadFree, ConsecutiveReadsEachBeginOnANewLine) {
    TextReader in;
    read_from_memory(in, "1 2 3\n4\n5 6\n");
    double a = 0, b = 0, c = 0;
    read_free(in, {item(a)});
    read_free(in, {item(b)});
    read_free(in, {item(c)});
    EXPECT_EQ(a, 1);
    EXPECT_EQ(b, 4);
    EXPECT_EQ(c, 5);
    EXPECT_EQ(in.line, 4);
}

TEST(ReadFree, EndOfInputReportedWhenAsked) {
    struct Case {
        const char* input;
        bool complete;
    };
    const Case cases[] = {{"", false}, {"\n\n  \n", false}, {"1 2", false}, {"1 2\n", false},
                          {"1 2 3", true}, {"1 2 3\n", true}, {"1 /", true}};
    for (const auto& c : cases) {
        TextReader in;
        read_from_memory(in, c.input);
        Items items("RRR");
        EXPECT_EQ(read_free(in, items.list, AtEnd::Report), c.complete) << "[" << c.input << "]";
    }
    // Records after the last one: the end is reported, again and again.
    TextReader in;
    read_from_memory(in, "1 2 3\n4 5 6\n");
    Items items("RRR");
    EXPECT_TRUE(read_free(in, items.list, AtEnd::Report));
    EXPECT_TRUE(read_free(in, items.list, AtEnd::Report));
    EXPECT_EQ(items.shown(), "4 5 6");
    EXPECT_FALSE(read_free(in, items.list, AtEnd::Report));
    EXPECT_FALSE(read_free(in, items.list, AtEnd::Report));
}

TEST(ReadFree, SinglesRecord) {
    TextReader in;
    read_from_memory(in, "0.1 2*-1.5\n,7 9\n");
    float row[4] = {-7, -7, -7, -7};
    EXPECT_TRUE(read_free_singles(in, row, 3));
    EXPECT_EQ(row[0], 0.1f);
    EXPECT_EQ(row[1], -1.5f);
    EXPECT_EQ(row[2], -1.5f);
    EXPECT_TRUE(read_free_singles(in, row, 2));
    EXPECT_EQ(row[0], 0.1f);  // null
    EXPECT_EQ(row[1], 7.0f);
    EXPECT_FALSE(read_free_singles(in, row, 2, AtEnd::Report));
}

// Malformed values and an early end stop the run with a read error that
// names the stream and the line of the value.
struct ErrorCase {
    std::string_view input;
    const char* kinds;
    const char* message;
};

const ErrorCase kErrors[] = {
    {"1 2\n3 x\n", "RRRR", "*** read error in test input, line 2: invalid number: \"x\""},
    {"1.2.3\n", "R", "*** read error in test input, line 1: invalid number: \"1.2.3\""},
    {"inf\n", "R", "*** read error in test input, line 1: invalid number: \"inf\""},
    {"nan\n", "R", "*** read error in test input, line 1: invalid number: \"nan\""},
    {"1e400\n", "R", "*** read error in test input, line 1: invalid number: \"1e400\""},
    {"1e39\n", "S", "*** read error in test input, line 1: invalid number: \"1e39\""},
    {"1.5e\n", "R", "*** read error in test input, line 1: invalid number: \"1.5e\""},
    {"-\n", "R", "*** read error in test input, line 1: invalid number: \"-\""},
    {"0x10\n", "R", "*** read error in test input, line 1: invalid number: \"0x10\""},
    {"\n\n 1.5\n", "I", "*** read error in test input, line 3: invalid integer: \"1.5\""},
    {"2147483648\n", "I", "*** read error in test input, line 1: invalid integer: \"2147483648\""},
    {"1e3\n", "I", "*** read error in test input, line 1: invalid integer: \"1e3\""},
    {"yes\n", "L", "*** read error in test input, line 1: invalid switch (T or F): \"yes\""},
    {"1\n", "L", "*** read error in test input, line 1: invalid switch (T or F): \"1\""},
    {"x*3\n", "R", "*** read error in test input, line 1: invalid repeat count: \"x*3\""},
    {"0*3\n", "R", "*** read error in test input, line 1: invalid repeat count: \"0*3\""},
    {"1 2\n", "RRR", "*** read error in test input, line 2: end of file"},
    {"1 2", "RRR", "*** read error in test input, line 1: end of file"},
    {"", "R", "*** read error in test input, line 1: end of file"},
    {"1 2\r\n3 4x\r\n", "RRRR", "*** read error in test input, line 2: invalid number: \"4x\""},
    // A NUL byte is part of the value and makes it malformed; it does not
    // end the value early (which read "8\0junk" as 8).
    {std::string_view("1 8\0junk\n", 10), "RR", "*** read error in test input, line 1: invalid number: \"8?junk\""},
    {std::string_view("8\0\n", 3), "S", "*** read error in test input, line 1: invalid number: \"8?\""},
    {std::string_view("8\0\n", 3), "I", "*** read error in test input, line 1: invalid integer: \"8?\""},
    // One sign at most.
    {"+-5\n", "R", "*** read error in test input, line 1: invalid number: \"+-5\""},
    {"--5\n", "R", "*** read error in test input, line 1: invalid number: \"--5\""},
    {"+-5\n", "I", "*** read error in test input, line 1: invalid integer: \"+-5\""},
    {"+\n", "I", "*** read error in test input, line 1: invalid integer: \"+\""},
    {"+.\n", "R", "*** read error in test input, line 1: invalid number: \"+.\""},
};

TEST(ReadFree, MalformedValuesStopTheRun) {
    for (const auto& c : kErrors) {
        auto result = run_in_child([&] {
            TextReader in;
            read_from_memory(in, c.input);
            Items items(c.kinds);
            read_free(in, items.list);
        });
        EXPECT_EQ(result.status, 1) << c.input;
        EXPECT_EQ(result.output, std::string(c.message) + "\n") << "reading [" << c.input << "]";
    }
}

TEST(ReadFree, OverlongValueStopsTheRun) {
    std::string input(300, '1');
    auto result = run_in_child([&] {
        TextReader in;
        read_from_memory(in, input);
        double v;
        read_free(in, {item(v)});
    });
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.output.rfind("*** read error in test input, line 1: value too long: \"1111", 0), 0u)
        << result.output;
}

}  // namespace
}  // namespace morva::text
