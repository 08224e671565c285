// The range search: every beam's exact range puts the run's point on the
// surface (plus the distortion), in few evaluations of the forward model,
// on surfaces where the misfit is affine in the range and where it is not.

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

#include "scan_chunks.hpp"
#include "survey.hpp"

namespace morva::sim {
namespace {

struct Case {
    const char* name;
    const char* args;
    double max_evaluations;  // per measurement, on average
};

const Case kCases[] = {
    {"flat_level_no_geoid", "--geoid off", 1.2},
    {"tilted_banked", "--surface tilt --roll 15,2,5 --geoid off", 2.5},
    {"waves_geoid_motion", "--surface waves --waves 2,40 --roll 0,6,4 --pitch 1,2,6 --yaw 0,3,5", 3.0},
    {"distortion_lever", "--distortion 0.05,0.02,-0.01,0.004 --lever 2,-1,3 --misalign 1,-1,2", 2.5},
    // Grazing beams over steep waves: some need the marching search.
    {"steep_waves_grazing",
     "--duration 7 --nmeas 250 --pitch 15,5,3 --roll -20,10,4 --yaw 10,10,5 --surface waves --waves 3,30", 8.0},
};

class RangeSearch : public ::testing::TestWithParam<Case> {};

TEST_P(RangeSearch, PutsEveryPointOnTheSurface) {
    SimOptions opt;
    std::istringstream in(std::string("--duration 2 --nmeas 200 ") + GetParam().args);
    std::vector<std::string> args, rest;
    for (std::string w; in >> w;) args.push_back(w);
    std::string error;
    ASSERT_TRUE(parse_options(args, opt, rest, error)) << error;
    Survey s;
    ASSERT_TRUE(build_survey(opt, s, error)) << error;

    Chunk c;
    simulate_chunk(s, 0, s.nscans, true, s.opt.geodesy, c);
    ASSERT_EQ(c.error, "");
    double worst = 0, worst_quantisation = 0;
    for (std::size_t k = 0; k < c.truth.size(); ++k) {
        worst = std::fmax(worst, std::fabs(c.truth[k].residual));
        worst_quantisation =
            std::fmax(worst_quantisation, std::fabs(c.truth[k].range - c.meas[k].range * double(s.hdr.range_unit)));
    }
    EXPECT_LT(worst, 1e-6);
    EXPECT_EQ(worst_quantisation, 0.0);  // the recorded range is what the run decodes
    EXPECT_LE(double(c.evaluations) / double(c.truth.size()), GetParam().max_evaluations);
}

INSTANTIATE_TEST_SUITE_P(Surfaces, RangeSearch, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace morva::sim
