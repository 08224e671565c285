#include "georef/output_point.hpp"

#include <cmath>

#include "numeric/numeric.hpp"
#include "text/layout.hpp"

namespace morva::georef {
namespace {

void add(OutputGroup& g, const Accepted& m) {
    g.thr += m.thr;
    g.lat += m.lat;
    g.lon += m.lon;
    g.airh += m.airh;
    g.h += m.h;
    g.alpha += m.alpha;
    g.ampl += m.ampl;
    g.count += 1;
}

// Amplitudes are printed as the signed value of their 8 bits.
std::int8_t signed_byte(std::uint8_t v) { return static_cast<std::int8_t>(v); }

}  // namespace

bool form_point(OutputGroup& group, std::int32_t navg, const Accepted& m, scanpt& p) {
    if (navg <= 1) {
        p = {m.thr, m.lat, m.lon, m.h, m.airh, m.alpha, static_cast<std::uint8_t>(m.ampl & 0xFF), m.i, m.range,
             m.xscan, 1};
        return true;
    }
    if (m.i % navg != 0) {
        add(group, m);
        return false;
    }
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
    add(group, m);
    return true;
}

std::int32_t scaled_field(double value, double scale) {
    double r = numeric::round_half_away(value * scale);
    if (!(r >= -2147483648.0 && r <= 2147483647.0)) return INT32_MIN;
    return static_cast<std::int32_t>(r);
}

void encode_binary(const scanpt& p, unsigned char* b) {
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

void write_binary_record(text::OutStream& out, const scanpt& p) {
    encode_binary(p, reinterpret_cast<unsigned char*>(text::reserve(out, kBinaryRecordSize)));
    text::commit(out, kBinaryRecordSize);
}

void write_text_record(text::OutStream& out, const scanpt& p, bool with_group_size) {
    static const text::Layout single = text::layout("F9.6 F11.6 F12.6 F8.2 1X I3 I4");
    static const text::Layout averaged = text::layout("F9.6 F11.6 F12.6 F8.2 1X I3 I4 I3");
    if (with_group_size) {
        text::write_fixed(out, averaged, {p.thr, p.lat, p.lon, p.h, signed_byte(p.ampl), p.i, p.n});
    } else {
        text::write_fixed(out, single, {p.thr, p.lat, p.lon, p.h, signed_byte(p.ampl), p.i});
    }
}

void write_centre_record(text::OutStream& out, const scanpt& p) {
    static const text::Layout centre = text::layout(R"(" " F11.7 F11.6 F12.6 F8.2 1X I3 2F8.2)");
    text::write_fixed(out, centre, {p.thr, p.lat, p.lon, p.h, signed_byte(p.ampl), p.airh, p.range});
}

}  // namespace morva::georef
