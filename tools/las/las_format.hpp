#pragma once
// The parts of a LAS 1.4 file this program writes: the 375-byte header,
// variable-length records (the coordinate system's WKT and the Extra Bytes
// declaration) and point data records of format 6 (30 bytes), all
// little-endian.

#include <bit>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "records/scan_point_record.hpp"

namespace morva::las {

using records::ScanPointRecord;

inline constexpr std::size_t kHeaderSize = 375;
inline constexpr std::size_t kVlrHeaderSize = 54;
inline constexpr std::size_t kFormat6Size = 30;
inline constexpr std::uint16_t kGlobalAdjustedGpsTime = 1u << 0;
inline constexpr std::uint16_t kGlobalWkt = 1u << 4;

// Stored coordinates: X = longitude and Y = latitude in 10^-7 degree, Z = height in mm.
inline constexpr double kScaleXY = 1e-7;
inline constexpr double kScaleZ = 1e-3;

struct Bounds {
    std::int32_t min[3] = {INT32_MAX, INT32_MAX, INT32_MAX};
    std::int32_t max[3] = {INT32_MIN, INT32_MIN, INT32_MIN};
};

inline void extend(Bounds& b, std::int32_t x, std::int32_t y, std::int32_t z) {
    b.min[0] = x < b.min[0] ? x : b.min[0];
    b.max[0] = x > b.max[0] ? x : b.max[0];
    b.min[1] = y < b.min[1] ? y : b.min[1];
    b.max[1] = y > b.max[1] ? y : b.max[1];
    b.min[2] = z < b.min[2] ? z : b.min[2];
    b.max[2] = z > b.max[2] ? z : b.max[2];
}

struct Header {
    std::uint16_t file_source_id = 0;
    std::uint16_t global_encoding = kGlobalWkt;
    std::string generating_software;  // at most 32 characters
    std::uint16_t creation_day = 0;   // 0: unknown
    std::uint16_t creation_year = 0;
    std::uint32_t offset_to_points = kHeaderSize;
    std::uint32_t vlr_count = 0;
    std::uint16_t record_length = kFormat6Size;
    std::uint64_t point_count = 0;
    Bounds bounds;  // of the stored integers; all zero in a file without points
};

void encode_header(const Header& h, unsigned char (&out)[kHeaderSize]);

// A variable-length record, header and payload (at most 65535 bytes).
std::string encode_vlr(std::string_view user_id, std::uint16_t record_id, std::string_view description,
                       std::string_view payload);

// The coordinate system record: the WKT with its terminating NUL.
std::string wkt_vlr(std::string_view wkt, std::string_view description);

// Extra Bytes declaration: measurement_index (uint16) and, with averaging,
// group_size (uint8); no scale, offset, no-data, minimum or maximum.
std::string extra_bytes_vlr(bool with_group_size);

// Extra bytes after the 30 bytes of format 6: 0 from binary records, 2 or 3
// from text records.
inline std::size_t extra_bytes(bool text_records, bool with_group_size) {
    return text_records ? (with_group_size ? 3 : 2) : 0;
}

// Little-endian fields: a plain copy on a little-endian host, bytes in order elsewhere.
template <typename T>
inline void put_le(unsigned char* b, T v) {
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(b, &v, sizeof v);
    } else {
        unsigned char bytes[sizeof v];
        std::memcpy(bytes, &v, sizeof v);
        for (std::size_t k = 0; k < sizeof v; ++k) b[k] = bytes[sizeof v - 1 - k];
    }
}

inline void put_u16(unsigned char* b, std::uint16_t v) { put_le(b, v); }
inline void put_i32(unsigned char* b, std::int32_t v) { put_le(b, v); }
inline void put_f64(unsigned char* b, double v) { put_le(b, v); }

// One point of format 6 and its extra bytes: return 1 of 1, classification 0
// (never classified), scan angle 0 (not carried by the scan points), user
// data the low 8 bits of the measurement index, intensity the amplitude
// times 256 (0 for an amplitude that was not written).
// A record's values within their LAS fields: coordinates of 32 bits (text
// records may hold more), the group size of 8.
inline bool fits_las(const ScanPointRecord& p) {
    constexpr std::int64_t limit = INT32_MAX;
    return p.lat_e7 >= -limit && p.lat_e7 <= limit && p.lon_e7 >= -limit && p.lon_e7 <= limit && p.group_size <= 255;
}

// A point that fits_las.
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

}  // namespace morva::las
