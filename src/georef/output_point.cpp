#include "georef/output_point.hpp"

#include <cmath>

#include "text/fixed_line.hpp"
#include "text/layout.hpp"

namespace morva::georef {
namespace {

// Amplitudes are printed as the signed value of their 8 bits.
std::int8_t signed_byte(std::uint8_t v) { return static_cast<std::int8_t>(v); }

}  // namespace

namespace detail {

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
    add(group, m);
    return true;
}

}  // namespace detail

void write_text_record(text::OutStream& out, const scanpt& p, bool with_group_size) {
    if (with_group_size) {
        text::write_line<"F9.6 F11.6 F12.6 F8.2 1X I3 I4 I3">(out, p.thr, p.lat, p.lon, p.h, signed_byte(p.ampl),
                                                               p.i, p.n);
    } else {
        text::write_line<"F9.6 F11.6 F12.6 F8.2 1X I3 I4">(out, p.thr, p.lat, p.lon, p.h, signed_byte(p.ampl), p.i);
    }
}

void write_centre_record(text::OutStream& out, const scanpt& p) {
    static const text::Layout centre = text::layout(R"(" " F11.7 F11.6 F12.6 F8.2 1X I3 2F8.2)");
    text::write_fixed(out, centre, {p.thr, p.lat, p.lon, p.h, signed_byte(p.ampl), p.airh, p.range});
}

}  // namespace morva::georef
