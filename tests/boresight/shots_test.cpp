// Which measurements make each output point of a flight, as the calibration
// derives it from the core's output stage, against the averaging rules'
// own worked examples.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "flight.hpp"

namespace {

using morva::boresight::Shot;

// A shot as measurement indices in the scan: members first to last, closer.
struct Expected {
    std::int32_t first, last, closer;
};

struct Case {
    const char* what;
    std::int32_t navg, nmeas;
    std::vector<std::int32_t> rejected;  // indices of the scan's rejected measurements
    std::vector<Expected> points;
};

const Case kCases[] = {
    {"navg 1: every measurement its own point", 1, 3, {}, {{1, 1, 1}, {2, 2, 2}, {3, 3, 3}}},
    {"navg 0 counts as 1", 0, 2, {2}, {{1, 1, 1}}},
    {"navg 3: points at 3, 6, 9 of 1-2, 3-5, 6-8; 10 and 11 never output", 3, 11, {},
     {{1, 2, 3}, {3, 5, 6}, {6, 8, 9}}},
    {"navg 3, 1 and 2 rejected: 3 is dropped, the first point at 6 of 4-5", 3, 7, {1, 2}, {{4, 5, 6}}},
    {"navg 3, only 3 rejected: the first point at 6 of 1, 2, 4, 5", 3, 7, {3}, {{1, 5, 6}}},
    {"navg 2: a group of one, then of two", 2, 6, {}, {{1, 1, 2}, {2, 3, 4}, {4, 5, 6}}},
    {"navg 4, the scan ends in the area: nothing after the last multiple", 4, 12, {9, 10, 11, 12},
     {{1, 3, 4}, {4, 7, 8}}},
};

TEST(BoresightShots, GroupsAreMorvasOutputPoints) {
    for (const Case& c : kCases) {
        // Measurement k of the flight is the k-th accepted one; two scans in a row.
        std::vector<Shot> shots;
        std::vector<std::int32_t> index_of;
        for (int scan = 0; scan < 2; ++scan) {
            morva::georef::OutputGroup group;
            for (std::int32_t i = 1; i <= c.nmeas; ++i) {
                bool rejected = false;
                for (std::int32_t r : c.rejected) rejected = rejected || r == i;
                if (rejected) continue;
                index_of.push_back(i);
                morva::boresight::note_measurement(shots, group, c.navg, i,
                                                   static_cast<std::uint32_t>(index_of.size() - 1));
            }
        }
        ASSERT_EQ(shots.size(), 2 * c.points.size()) << c.what;
        for (std::size_t k = 0; k < shots.size(); ++k) {
            const Expected& e = c.points[k % c.points.size()];
            const Shot& s = shots[k];
            EXPECT_EQ(index_of[s.first], e.first) << c.what << ", point " << k;
            EXPECT_EQ(index_of[s.first + s.count - 1], e.last) << c.what << ", point " << k;
            EXPECT_EQ(index_of[s.closer], e.closer) << c.what << ", point " << k;
            // The members of one point lie in one scan: the second scan's
            // points never reach back into the first.
            if (k >= c.points.size()) {
                EXPECT_GT(s.first, shots[c.points.size() - 1].closer) << c.what;
            }
        }
    }
}

}  // namespace
