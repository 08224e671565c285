#pragma once
// Output points: one per accepted measurement, or the mean of a group of
// consecutive measurements of a scan, and their records.

#include <cstdint>

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

// Forms the output point of measurement m, if any: with navg above 1 a point
// appears only at multiples of navg, as the mean of the group before it.
bool form_point(OutputGroup& group, std::int32_t navg, const Accepted& m, scanpt& point);

// Binary record: 18 bytes, little-endian; the scaled fields rounded half away
// from zero, with -2^31 for a value that is not a number or does not fit.
inline constexpr std::size_t kBinaryRecordSize = 18;
void encode_binary(const scanpt& p, unsigned char* record);
std::int32_t scaled_field(double value, double scale);

void write_binary_record(text::OutStream& out, const scanpt& p);
void write_text_record(text::OutStream& out, const scanpt& p, bool with_group_size);
void write_centre_record(text::OutStream& out, const scanpt& p);

}  // namespace morva::georef
