// Options bound to typed members store what the command line gives, leave the
// defaults where it gives nothing, and describe themselves in the help as the
// hand-written rows did. (Wrong values end the process: tests/cli/forms_test.py.)

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "text/command_line.hpp"

namespace morva::text {
namespace {

enum class Mode { Flat, Ellipsoid };

TEST(TypedOptions, StoreTheirValuesAndKeepTheDefaults) {
    bool verbose = false;
    Mode mode = Mode::Flat, progress = Mode::Flat;
    int threads = 7;
    double radius = 2.5;
    std::string metadata = "keep", name;
    const std::vector<Option> options = {
        flag_option("--verbose", "say more", verbose),
        flag_option("--exact", "ellipsoid", progress, Mode::Ellipsoid),
        choice_option("--geodesy", "MODE", "how", {"flat", "ellipsoid"}, mode),
        number_option("--threads", "N", "threads", threads, 1, 64),
        number_option("--radius", "R", "metres", radius, 0, 100),
        text_option("--metadata", "FILE", "record", metadata),
        text_option("--name", "NAME", "a name", name, [](std::string_view v) { return v.empty() ? "empty" : ""; }),
    };
    const Program program{"prog", "prog [options] IN", [] { return std::string(); }};
    const char* argv[] = {"prog", "--verbose", "--geodesy=ellipsoid", "--threads", "3", "--radius", "0.25",
                          "--name", "a b", "in.las"};
    const auto rest = parse_command_line(program, options, 10, argv);
    ASSERT_EQ(rest.size(), 1u);
    EXPECT_EQ(rest[0], "in.las");
    EXPECT_TRUE(verbose);
    EXPECT_EQ(mode, Mode::Ellipsoid);
    EXPECT_EQ(progress, Mode::Flat);
    EXPECT_EQ(threads, 3);
    EXPECT_EQ(radius, 0.25);
    EXPECT_EQ(metadata, "keep");
    EXPECT_EQ(name, "a b");
    EXPECT_TRUE(options[3].whole);
    EXPECT_FALSE(options[4].whole);
    const std::string help = option_lines(options);
    EXPECT_NE(help.find("  --geodesy MODE        how\n"), std::string::npos) << help;
    EXPECT_NE(help.find("  --verbose             say more\n"), std::string::npos) << help;
}

}  // namespace
}  // namespace morva::text
