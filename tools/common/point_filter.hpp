#pragma once
// Which points of a LAS file a companion uses: by classification code, by
// return, and never the withheld ones. By default noise (classes 7, low
// point, and 18, high noise) is left out too. Points of a run's own
// scan-point files carry no such fields and are all used.

#include <bitset>
#include <string>
#include <vector>

#include "las_reader.hpp"
#include "text/command_line.hpp"

namespace morva::common {

enum class Returns { First, Last, Only, All };  // in the order of --returns

struct PointFilter {
    std::bitset<256> classes = default_classes();
    Returns returns = Returns::All;
    int source_id = -1;  // keep only this point source ID (a flight of a file of several), -1 every one

    static std::bitset<256> default_classes() {
        std::bitset<256> keep;
        keep.set();
        keep.reset(7);
        keep.reset(18);
        return keep;
    }

    bool keeps(const LasPoint& p) const {
        if (p.withheld || !classes.test(p.classification)) return false;
        if (source_id >= 0 && p.source_id != source_id) return false;
        switch (returns) {
        case Returns::First: return p.return_number == 1;
        case Returns::Last: return p.return_number == p.number_of_returns;
        case Returns::Only: return p.number_of_returns == 1;
        case Returns::All: break;
        }
        return true;
    }
};

// The options --classes LIST and --returns WHICH, filling `filter`.
std::vector<text::Option> point_filter_options(PointFilter& filter);

}  // namespace morva::common
