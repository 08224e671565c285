#include "georef/output_point.hpp"

#include <cmath>

namespace morva::georef {

bool close_group(OutputGroup& group, const Accepted& m, scanpt& p) {
    if (group.count == 0) return false;  // the measurement is dropped
    const double n = group.count;
    const double mean_ampl = group.ampl / n + 0.5;
    p.thr = group.thr / n;
    p.lat = group.lat / n;
    p.lon = group.lon / n;
    p.airh = group.airh / n;
    p.h = group.h / n;
    p.alpha = group.alpha / n;
    p.ampl = static_cast<std::uint8_t>(static_cast<std::int64_t>(mean_ampl) & 0xFF);
    p.i = m.i;
    p.range = m.range;
    p.xscan = m.xscan;
    p.n = group.count;
    // The closing measurement starts the next group.
    group = OutputGroup{};
    join_group(group, m);
    return true;
}

}  // namespace morva::georef
