#pragma once
// The scan-point records of a run, decoded into the integers a LAS point
// stores: no value passes through a double on the way.
//
// Binary records (18 bytes): time in 10^-7 hour, latitude and longitude in
// 10^-7 degree, height in millimetres (signed 32-bit, little-endian), the
// amplitude byte and the low 8 bits of the measurement index; -2^31 in a
// field marks a value that did not fit.
// Text records: F9.6 F11.6 F12.6 F8.2 1X I3 I4, and I3 for the group size
// when the run averaged; asterisks fill a field whose value did not fit.

#include <cstddef>
#include <cstdint>

#include "scanner/byte_reader.hpp"

namespace morva::las {

struct ScanPoint {
    std::int64_t thr_e7 = 0;      // time of day, 10^-7 hour
    std::int32_t lon_e7 = 0;      // 10^-7 degree
    std::int32_t lat_e7 = 0;
    std::int32_t h_mm = 0;        // millimetres
    std::uint8_t ampl = 0;        // the 8 bits of the amplitude
    bool ampl_known = true;       // false: a text amplitude of asterisks
    std::uint16_t index = 0;      // measurement index (text: whole; binary: low 8 bits)
    std::uint16_t group_size = 0; // text records of an averaging run
};

enum class Decoded {
    Point,
    NotAPoint,  // a time or position field that holds no value (overflow marker, asterisks, NaN)
    Malformed,  // a text line that is not a scan-point record of this form
    OutOfRange, // a latitude or longitude beyond a LAS coordinate, a group size beyond 8 bits
};

inline constexpr std::size_t kBinaryRecord = 18;

inline Decoded decode_binary(const unsigned char* r, ScanPoint& p) {
    using scanner::le_i32;
    const std::int32_t thr = le_i32(r), lat = le_i32(r + 4), lon = le_i32(r + 8), h = le_i32(r + 12);
    if (thr == INT32_MIN || lat == INT32_MIN || lon == INT32_MIN || h == INT32_MIN) return Decoded::NotAPoint;
    p.thr_e7 = thr;
    p.lat_e7 = lat;
    p.lon_e7 = lon;
    p.h_mm = h;
    p.ampl = r[16];
    p.ampl_known = true;
    p.index = r[17];
    p.group_size = 0;
    return Decoded::Point;
}

// Characters of a text record, without its line end.
inline std::size_t text_record_length(bool with_group_size) { return with_group_size ? 51 : 48; }

// One text line, without its line end. with_group_size: the averaging form.
Decoded decode_text(const char* line, std::size_t length, bool with_group_size, ScanPoint& p);

}  // namespace morva::las
