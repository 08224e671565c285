#include "text/free_output.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "text_test_support.hpp"

namespace morva::text {
namespace {

using testing::MemoryOut;

std::string written(std::initializer_list<Value> items) {
    MemoryOut m;
    write_free(m.out, items);
    return m.text();
}

TEST(WriteFree, LinesAndFields) {
    // Every line begins with one blank; no items give a line of one blank.
    EXPECT_EQ(written({}), " \n");
    EXPECT_EQ(written({"*** only vertical output"}), " *** only vertical output\n");
    // Character fields are copied unchanged, trailing blanks included.
    EXPECT_EQ(written({"Reading scanner data from: ", std::string("scan.bin") + std::string(28, ' ')}),
              " Reading scanner data from: scan.bin                            \n");
    // Integers: 4, 6 or 11 characters by size, then one blank; one blank
    // ahead of an integer that follows a character field.
    EXPECT_EQ(written({"Total number of scans read: ", std::int32_t{1234}}),
              " Total number of scans read:         1234 \n");
    EXPECT_EQ(written({"- Thinned output, every:", std::int32_t{3}, " scan"}),
              " - Thinned output, every:           3  scan\n");
    EXPECT_EQ(written({std::int8_t{-128}, std::int8_t{7}}), " -128    7 \n");
    EXPECT_EQ(written({std::uint8_t{200}}), "  -56 \n");  // a signed byte
    EXPECT_EQ(written({std::int16_t{-32768}, std::int16_t{77}}), " -32768     77 \n");
    EXPECT_EQ(written({std::int32_t{-2147483647 - 1}, std::int32_t{0}}), " -2147483648           0 \n");
    EXPECT_EQ(written({"a", std::int8_t{1}, "b", std::int16_t{2}, std::int32_t{3}}),
              " a    1 b      2           3 \n");
    EXPECT_EQ(written({"- geoid file read OK -", std::int32_t{41}, std::int32_t{61}}),
              " - geoid file read OK -          41          61 \n");
}

TEST(WriteFree, LongLinesAreNeverContinued) {
    // The longest free-format line of a report: 1 + 46 + 36 characters.
    std::string text(46, 't'), name(36, 'n');
    std::string line = written({text, name});
    EXPECT_EQ(line.size(), 84u);
    EXPECT_EQ(line.find('\n'), 83u);
}

}  // namespace
}  // namespace morva::text
