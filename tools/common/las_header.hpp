#pragma once
// The LAS 1.4 public header block (375 bytes, little-endian) as one type:
// what morva-las writes and what a LAS reader takes from it, each field's
// place given once for both directions.

#include <bit>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace morva::common {

inline constexpr std::size_t kHeaderSize = 375;
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
    std::uint8_t version_major = 1, version_minor = 4;
    std::string system_identifier = "OTHER";  // at most 32 characters
    std::string generating_software;  // at most 32 characters
    std::uint16_t creation_day = 0;   // 0: unknown
    std::uint16_t creation_year = 0;
    std::uint16_t header_size = kHeaderSize;
    std::uint32_t offset_to_points = kHeaderSize;
    std::uint32_t vlr_count = 0;
    std::uint8_t point_format = 6;  // as stored: the two high bits mark a compressed file
    std::uint16_t record_length = kFormat6Size;
    std::uint64_t point_count = 0;
    std::uint64_t points_by_return[15] = {};
    // The counts of LAS 1.0 to 1.3, kept in 1.4 for point formats 0 to 5 (zero for 6 to 10).
    std::uint32_t legacy_point_count = 0;
    std::uint32_t legacy_by_return[5] = {};
    std::uint64_t evlr_start = 0;  // LAS 1.4: the first extended record, 0 for none
    std::uint32_t evlr_count = 0;
    Bounds bounds;  // of the stored integers; all zero in a file without points (written only)
    // X and Y: longitude and latitude in 1e-7 degree (offset 0), or easting
    // and northing in metres of a projected CRS (scale 0.001, an offset near the points).
    double scale[3] = {kScaleXY, kScaleXY, kScaleZ};
    double offset[3] = {0, 0, 0};
    // Read only (the writer derives them from `bounds`): the extents as stated.
    double stated_min[3] = {0, 0, 0}, stated_max[3] = {0, 0, 0};
};

// The header's size in LAS 1.<minor> (the smallest a reader takes).
inline std::uint16_t las_header_size(int minor) { return minor >= 4 ? 375 : minor == 3 ? 235 : 227; }

void encode_header(const Header& h, unsigned char (&out)[kHeaderSize]);

// The fields of a header as stored, "LASF" or not (the reader checks what it
// needs); the bytes beyond a shorter header of LAS 1.0 to 1.3 read as zero.
Header decode_header(const unsigned char (&in)[kHeaderSize]);

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

template <typename T>
inline T get_le(const unsigned char* b) {
    T v;
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(&v, b, sizeof v);
    } else {
        unsigned char bytes[sizeof v];
        for (std::size_t k = 0; k < sizeof v; ++k) bytes[k] = b[sizeof v - 1 - k];
        std::memcpy(&v, bytes, sizeof v);
    }
    return v;
}

// A character field, NUL-padded; longer text is cut.
inline void put_chars(unsigned char* b, std::size_t width, std::string_view s) {
    std::memset(b, 0, width);
    std::memcpy(b, s.data(), s.size() < width ? s.size() : width);
}

// A character field up to its first NUL.
inline std::string get_chars(const unsigned char* b, std::size_t width) {
    const auto* c = reinterpret_cast<const char*>(b);
    return std::string(c, strnlen(c, width));
}

inline void put_u16(unsigned char* b, std::uint16_t v) { put_le(b, v); }
inline void put_i32(unsigned char* b, std::int32_t v) { put_le(b, v); }
inline void put_f64(unsigned char* b, double v) { put_le(b, v); }

}  // namespace morva::common
