#pragma once
// Output points: one per accepted measurement, or the mean of a group of
// consecutive measurements of a scan, and their records.

#include <cmath>
#include <cstddef>
#include <cstdint>

#include "numeric/numeric.hpp"
#include "text/out_stream.hpp"

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

struct scanpt {
    double thr, lat, lon, h, airh, alpha;
    std::uint8_t ampl;
    std::int32_t i;      // of the measurement that produced the point
    double range, xscan;  // of that measurement
    std::int32_t n;      // group size (1 without averaging)
};

namespace detail {

inline void add(OutputGroup& g, const Accepted& m) {
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

}  // namespace detail

// Forms the output point of measurement m, if any: with navg above 1 a point
// appears only at multiples of navg, as the mean of the group before it.
inline bool form_point(OutputGroup& group, std::int32_t navg, const Accepted& m, scanpt& p) {
    if (navg <= 1) {
        p = {m.thr, m.lat, m.lon, m.h, m.airh, m.alpha, static_cast<std::uint8_t>(m.ampl & 0xFF), m.i, m.range,
             m.xscan, 1};
        return true;
    }
    if (m.i % navg != 0) {
        detail::add(group, m);
        return false;
    }
    return detail::close_group(group, m, p);
}

// Binary record: 18 bytes, little-endian; the scaled fields rounded half away
// from zero, with -2^31 for a value that is not a number or does not fit.
inline constexpr std::size_t kBinaryRecordSize = 18;

inline std::int32_t scaled_field(double value, double scale) {
    const double r = numeric::round_half_away(value * scale);
    return r >= -2147483648.0 && r <= 2147483647.0 ? static_cast<std::int32_t>(r) : INT32_MIN;
}

inline void encode_binary(const scanpt& p, unsigned char* b) {
    const std::int32_t fields[4] = {scaled_field(p.thr, 1.0e7), scaled_field(p.lat, 1.0e7),
                                    scaled_field(p.lon, 1.0e7), scaled_field(p.h, 1000.0)};
    for (int k = 0; k < 4; ++k) {
        std::uint32_t u = static_cast<std::uint32_t>(fields[k]);
        b[4 * k + 0] = static_cast<unsigned char>(u);
        b[4 * k + 1] = static_cast<unsigned char>(u >> 8);
        b[4 * k + 2] = static_cast<unsigned char>(u >> 16);
        b[4 * k + 3] = static_cast<unsigned char>(u >> 24);
    }
    b[16] = p.ampl;
    b[17] = static_cast<unsigned char>(p.i & 0xFF);
}

inline void write_binary_record(text::OutStream& out, const scanpt& p) {
    encode_binary(p, reinterpret_cast<unsigned char*>(text::reserve(out, kBinaryRecordSize)));
    text::commit(out, kBinaryRecordSize);
}

void write_text_record(text::OutStream& out, const scanpt& p, bool with_group_size);
void write_centre_record(text::OutStream& out, const scanpt& p);

}  // namespace morva::georef
