#pragma once
// The parts of a LAS 1.4 file this program writes besides its header
// (common/las_header.hpp): variable-length records (the coordinate system's WKT and the Extra Bytes
// declaration) and point data records of format 6 (30 bytes), all
// little-endian.

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "las_header.hpp"
#include "las_reader.hpp"
#include "records/scan_point_record.hpp"

namespace morva::common {

using records::ScanPointRecord;

// The coordinate system record: the WKT with its terminating NUL.
common::LasRecord wkt_record(std::string_view wkt, std::string_view description);

// Extra Bytes declaration: measurement_index (uint16) and, with averaging,
// group_size (uint8); no scale, offset, no-data, minimum or maximum.
common::LasRecord extra_bytes_record(bool with_group_size);

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
