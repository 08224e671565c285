#pragma once
// Output points: one per accepted measurement, or the mean of a group of
// consecutive measurements of a scan.

#include <cmath>
#include <cstddef>
#include <cstdint>

#include "records/centre_record.hpp"
#include "records/scan_point_record.hpp"

namespace morva::georef {

// An accepted measurement, as georeferencing hands it on.
struct Accepted {
    double thr, lat, lon, h, airh, alpha, xscan, range;
    std::int32_t ampl;  // 0 to 255
    std::int32_t i;     // index in its scan
};

// The running sums of an averaging group; emptied at the start of each scan.
struct OutputGroup {
    double thr = 0, lat = 0, lon = 0, airh = 0, h = 0, alpha = 0, ampl = 0;
    std::int32_t count = 0;
};

// The output point and its records.
using records::scanpt;
using records::encode_binary;
using records::kBinaryRecordSize;
using records::scaled_field;
using records::write_binary_record;
using records::write_centre_record;
using records::write_text_record;

// The two steps of averaging one by one, also for a companion that
// recomputes a single output point from the members form_point gathered for
// it: a member joins the group; the measurement at the multiple of navg
// closes it into the point (false, and no point, when the group is empty).
inline void join_group(OutputGroup& g, const Accepted& m) {
    g.thr += m.thr;
    g.lat += m.lat;
    g.lon += m.lon;
    g.airh += m.airh;
    g.h += m.h;
    g.alpha += m.alpha;
    g.ampl += m.ampl;
    g.count += 1;
}

bool close_group(OutputGroup& group, const Accepted& m, scanpt& p);

// Forms the output point of measurement m, if any: with navg above 1 a point
// appears only at multiples of navg, as the mean of the group before it.
inline bool form_point(OutputGroup& group, std::int32_t navg, const Accepted& m, scanpt& p) {
    if (navg <= 1) {
        p = {m.thr, m.lat, m.lon, m.h, m.airh, m.alpha, static_cast<std::uint8_t>(m.ampl & 0xFF), m.i, m.range,
             m.xscan, 1};
        return true;
    }
    if (m.i % navg != 0) {
        join_group(group, m);
        return false;
    }
    return close_group(group, m, p);
}

}  // namespace morva::georef
