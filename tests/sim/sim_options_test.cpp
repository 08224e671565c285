// Options of the simulator: the survey description reads back to the same
// options, malformed values and surveys that cannot be simulated
// consistently are refused with a reason.

#include "sim_options.hpp"

#include <gtest/gtest.h>

#include <sstream>

#include "survey.hpp"

namespace morva::sim {
namespace {

std::vector<std::string> words(const std::string& text) {
    std::istringstream in(text);
    std::vector<std::string> out;
    std::string w;
    while (in >> w) out.push_back(w);
    return out;
}

TEST(SimOptions, DescriptionReadsBackToTheSameOptions) {
    SimOptions opt;
    std::vector<std::string> rest;
    std::string error;
    ASSERT_TRUE(parse_options(words("--lat 52.123456789012345 --heading -179.9 --roll 10,3 --lever 0.1,0.2,0.3 "
                                    "--range-unit 0.0025 --clock free --output text --start 07:05:09 --seed 99 "
                                    "--distortion 0.05,0.02 --attitude on --surface waves"),
                              opt, rest, error))
        << error;
    EXPECT_TRUE(rest.empty());
    EXPECT_EQ(opt.roll.bias, 10.0);
    EXPECT_EQ(opt.roll.amplitude, 3.0);
    EXPECT_EQ(opt.roll.period, 7.0);  // the default stays
    EXPECT_EQ(opt.distortion[2], 0.0);
    EXPECT_EQ(opt.range_unit, 0.0025f);

    const std::string text = describe_options(opt);
    SimOptions again;
    ASSERT_TRUE(parse_options(words(text), again, rest, error)) << error;
    EXPECT_EQ(describe_options(again), text);
    EXPECT_EQ(again.lat, 52.123456789012345);
    EXPECT_EQ(again.start[0], 7);
    EXPECT_FALSE(again.binary);
    EXPECT_EQ(again.clock, Clock::Free);
    EXPECT_EQ(again.seed, 99u);
}

TEST(SimOptions, HelpNamesEveryDescribedOption) {
    const std::string help = options_help();
    for (const std::string& w : words(describe_options(SimOptions{}))) {
        if (w.rfind("--", 0) == 0) {
            EXPECT_NE(help.find(w + " "), std::string::npos) << w;
        }
    }
}

TEST(SimOptions, ObjectsReadBackAsTheirList) {
    SimOptions opt;
    std::vector<std::string> rest;
    std::string error;
    ASSERT_TRUE(parse_options(words("--objects outliers,trees,bridge --checkpoints 12"), opt, rest, error)) << error;
    EXPECT_EQ(opt.objects, kTrees | kBridge | kOutliers);
    const std::string text = describe_options(opt);
    EXPECT_NE(text.find("--objects trees,bridge,outliers\n"), std::string::npos) << text;
    SimOptions again;
    ASSERT_TRUE(parse_options(words(text), again, rest, error)) << error;
    EXPECT_EQ(again.objects, opt.objects);
    EXPECT_EQ(again.checkpoints, 12);
    EXPECT_NE(describe_options(SimOptions{}).find("--objects none\n"), std::string::npos);
}

TEST(SimOptions, MalformedValuesAreRefused) {
    const char* cases[][2] = {
        {"--speed fast", "option --speed: 'fast' is not a number"},
        {"--lever 1,2,3,4", "option --lever: '1,2,3,4' is not of the form X,Y,Z"},
        {"--start 25:00:00", "option --start: '25:00:00' is not of the form HH:MM:SS"},
        {"--surface hilly", "option --surface: 'hilly' is not one of flat, tilt, waves"},
        {"--frobnicate 1", "unknown option --frobnicate"},
        {"--nmeas", "option --nmeas needs a value"},
        {"--objects trees,houses",
         "option --objects: 'trees,houses' is not a list of none, trees, buildings, bridge, lowveg, outliers"},
    };
    for (const auto& c : cases) {
        SimOptions opt;
        std::vector<std::string> rest;
        std::string error;
        EXPECT_FALSE(parse_options(words(c[0]), opt, rest, error)) << c[0];
        EXPECT_NE(error.find(c[1]), std::string::npos) << c[0] << ": " << error;
    }
}

TEST(SimOptions, SurveysThatCannotBeSimulatedAreRefused) {
    const char* cases[][2] = {
        {"--nmeas 1001", "option --nmeas: 1001 is out of range (2 to 1000)"},
        {"--attitude off --roll 5", "--attitude off"},
        {"--dtsec 1 --first-scan 0.5", "before the file epoch"},
        {"--clock free --first-scan 2 --duration 20", "wraps where the reader cannot follow"},
        {"--clock free --first-scan 16.74 --duration 20", "second wrap"},
        {"--timer-unit 3e-6", "whole number of counts"},
        {"--lon 179.99 --heading 90 --duration 60", "longitude 180"},
        {"--geoid-spacing 0.001 --duration 3000", "nodes"},
        {"--angle-unit 0.1 --nmeas 1000 --fov 10", "too coarse"},
        {"--polar-id 7 --fov 140", "does not fit"},
        {"--surface roofs --objects trees", "flat, tilt or waves ground"},
        {"--objects trees --scene-cover 0.5,0.4,0.2", "add up to at most 1"},
        {"--objects outliers --outliers 0.6", "option --outliers: 0.6 is out of range (0 to 0.5)"},
    };
    for (const auto& c : cases) {
        SimOptions opt;
        std::vector<std::string> rest;
        std::string error;
        ASSERT_TRUE(parse_options(words(c[0]), opt, rest, error)) << c[0] << ": " << error;
        Survey s;
        EXPECT_FALSE(build_survey(opt, s, error)) << c[0];
        EXPECT_NE(error.find(c[1]), std::string::npos) << c[0] << ": " << error;
    }
}

}  // namespace
}  // namespace morva::sim
