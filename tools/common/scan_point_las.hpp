#pragma once
// A run's scan points as point data records of LAS 1.4 format 6 (30 bytes,
// little-endian), the header being common/las_header.hpp's; the export
// (scan_point_export.cpp) adds the variable-length records.

#include <cstdint>

#include "las_header.hpp"
#include "records/scan_point_record.hpp"

namespace morva::common {

using records::ScanPointRecord;

// Extra bytes after the 30 bytes of format 6: 0 from binary records, 2 or 3
// from text records.
inline std::size_t extra_bytes(bool text_records, bool with_group_size) {
    return text_records ? (with_group_size ? 3 : 2) : 0;
}

// A record's values within their LAS fields: coordinates of 32 bits (text
// records may hold more), the group size of 8.
inline bool fits_las(const ScanPointRecord& p) {
    constexpr std::int64_t limit = INT32_MAX;
    return p.lat_e7 >= -limit && p.lat_e7 <= limit && p.lon_e7 >= -limit && p.lon_e7 <= limit && p.group_size <= 255;
}

// One point that fits_las as format 6 and its extra bytes: return 1 of 1,
// classification 0 (never classified), scan angle 0 (not carried by the scan
// points), user data the low 8 bits of the measurement index, intensity the
// amplitude times 256 (0 for an amplitude that was not written).
inline void encode_point(const ScanPointRecord& p, double gps_time, std::uint16_t source_id, std::size_t extra,
                         unsigned char* b) {
    put_i32(b, static_cast<std::int32_t>(p.lon_e7));
    put_i32(b + 4, static_cast<std::int32_t>(p.lat_e7));
    put_i32(b + 8, p.h_mm);
    put_u16(b + 12, p.ampl_known ? static_cast<std::uint16_t>(p.ampl << 8) : 0);
    b[14] = 0x11;  // return number 1, number of returns 1
    b[15] = 0;     // classification flags, channel, scan direction, edge
    b[16] = 0;
    b[17] = static_cast<unsigned char>(p.index & 0xFF);
    b[18] = 0;
    b[19] = 0;
    put_u16(b + 20, source_id);
    put_f64(b + 22, gps_time);
    if (extra >= 2) put_u16(b + 30, p.index);
    if (extra == 3) b[32] = static_cast<unsigned char>(p.group_size);
}

}  // namespace morva::common
