#pragma once
// The scan-point record: one line or 18 bytes per output point, written by
// the run and read back by its companions. Writer and reader are side by
// side and take their layout from the same description below.
//
// Binary (18 bytes, little-endian): time in 10^-7 hour, latitude and
// longitude in 10^-7 degree, height in millimetres (signed 32-bit, each
// rounded half away from zero, -2^31 for a value that is not a number or
// does not fit), the amplitude byte and the low 8 bits of the measurement
// index.
// Text: time, latitude, longitude, height, amplitude (the signed value of its
// 8 bits), measurement index, and the group size when the run averages;
// asterisks fill a field too narrow for its value.

#include <cstddef>
#include <cstdint>

#include "numeric/numeric.hpp"
#include "text/fixed_line.hpp"
#include "text/out_stream.hpp"

namespace morva::records {

// An output point as the run forms it.
struct scanpt {
    double thr, lat, lon, h, airh, alpha;
    std::uint8_t ampl;
    std::int32_t i;       // of the measurement that produced the point
    double range, xscan;  // of that measurement
    std::int32_t n;       // group size (1 without averaging)
};

enum class ScanPointForm { Binary, Text, TextWithGroupSize };

// ---- The layout ----

inline constexpr text::Notation kScanPointText{"F9.6 F11.6 F12.6 F8.2 1X I3 I4"};
inline constexpr text::Notation kScanPointTextWithGroupSize{"F9.6 F11.6 F12.6 F8.2 1X I3 I4 I3"};
inline constexpr const char* kScanPointTextNames[] = {"thr", "lat", "lon", "h", "ampl", "i", "n"};

// One field of the binary record; a stored value times 1/scale is the value.
struct BinaryField {
    const char* name;
    int offset, bytes;
    bool is_signed;
    double scale;
};
inline constexpr BinaryField kBinaryFields[] = {
    {"thr", 0, 4, true, 1.0e7}, {"lat", 4, 4, true, 1.0e7}, {"lon", 8, 4, true, 1.0e7},
    {"h", 12, 4, true, 1000.0}, {"ampl", 16, 1, false, 1.0}, {"i", 17, 1, false, 1.0},
};
inline constexpr std::size_t kBinaryRecordSize = 18;
// In a scaled field: a value that is not a number or does not fit.
inline constexpr std::int32_t kOverflowMarker = INT32_MIN;

// Bytes of one record, the line end included.
inline constexpr std::size_t record_bytes(ScanPointForm form) {
    if (form == ScanPointForm::Binary) return kBinaryRecordSize;
    if (form == ScanPointForm::Text) return static_cast<std::size_t>(text::line::fields<kScanPointText>().length);
    return static_cast<std::size_t>(text::line::fields<kScanPointTextWithGroupSize>().length);
}

// ---- The writer ----

inline std::int32_t scaled_field(double value, double scale) {
    const double r = numeric::round_half_away(value * scale);
    return r >= -2147483648.0 && r <= 2147483647.0 ? static_cast<std::int32_t>(r) : kOverflowMarker;
}

inline void put_le32(unsigned char* b, std::int32_t v) {
    const auto u = static_cast<std::uint32_t>(v);
    b[0] = static_cast<unsigned char>(u);
    b[1] = static_cast<unsigned char>(u >> 8);
    b[2] = static_cast<unsigned char>(u >> 16);
    b[3] = static_cast<unsigned char>(u >> 24);
}

inline void encode_binary(const scanpt& p, unsigned char* b) {
    constexpr const BinaryField* f = kBinaryFields;
    put_le32(b + f[0].offset, scaled_field(p.thr, f[0].scale));
    put_le32(b + f[1].offset, scaled_field(p.lat, f[1].scale));
    put_le32(b + f[2].offset, scaled_field(p.lon, f[2].scale));
    put_le32(b + f[3].offset, scaled_field(p.h, f[3].scale));
    b[f[4].offset] = p.ampl;
    b[f[5].offset] = static_cast<unsigned char>(p.i & 0xFF);
}

inline void write_binary_record(text::OutStream& out, const scanpt& p) {
    encode_binary(p, reinterpret_cast<unsigned char*>(text::reserve(out, kBinaryRecordSize)));
    text::commit(out, kBinaryRecordSize);
}

void write_text_record(text::OutStream& out, const scanpt& p, bool with_group_size);

// ---- The reader ----

// A record as stored: the exact integers, without a pass through a double.
// Text gives the same units as binary (its six decimals become seven, its
// two of metre three).
struct ScanPointRecord {
    std::int64_t thr_e7 = 0;       // time of day, 10^-7 hour
    std::int64_t lat_e7 = 0;       // 10^-7 degree
    std::int64_t lon_e7 = 0;
    std::int32_t h_mm = 0;         // millimetres
    std::uint8_t ampl = 0;         // the 8 bits of the amplitude
    bool ampl_known = true;        // false: a text amplitude of asterisks
    bool is_point = true;          // false: a time or position without a value (overflow marker, asterisks, NaN)
    std::uint16_t index = 0;       // measurement index (text: whole; binary: low 8 bits)
    std::uint16_t group_size = 0;  // text records of an averaging run; 0 otherwise
};

enum class Decoded {
    Point,
    NotAPoint,  // is_point false
    Malformed,  // a text line that is not a scan-point record of this form
};

inline std::int32_t get_le32(const unsigned char* b) {
    return static_cast<std::int32_t>(std::uint32_t{b[0]} | std::uint32_t{b[1]} << 8 | std::uint32_t{b[2]} << 16 |
                                     std::uint32_t{b[3]} << 24);
}

// Binary fields are kept as stored, the overflow marker included.
inline Decoded decode_binary(const unsigned char* b, ScanPointRecord& p) {
    constexpr const BinaryField* f = kBinaryFields;
    const std::int32_t thr = get_le32(b + f[0].offset), lat = get_le32(b + f[1].offset);
    const std::int32_t lon = get_le32(b + f[2].offset), h = get_le32(b + f[3].offset);
    p.thr_e7 = thr;
    p.lat_e7 = lat;
    p.lon_e7 = lon;
    p.h_mm = h;
    p.ampl = b[f[4].offset];
    p.ampl_known = true;
    p.index = b[f[5].offset];
    p.group_size = 0;
    p.is_point = thr != kOverflowMarker && lat != kOverflowMarker && lon != kOverflowMarker && h != kOverflowMarker;
    return p.is_point ? Decoded::Point : Decoded::NotAPoint;
}

// One text line without its line end.
Decoded decode_text(const char* line, std::size_t length, bool with_group_size, ScanPointRecord& p);

}  // namespace morva::records
