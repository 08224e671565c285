#include "las_format.hpp"

#include <stdexcept>

namespace morva::las {
namespace {

void put_u32(unsigned char* b, std::uint32_t v) { put_le(b, v); }
void put_u64(unsigned char* b, std::uint64_t v) { put_le(b, v); }

// A character field, NUL-padded; longer text is cut.
void put_chars(unsigned char* b, std::size_t width, std::string_view s) {
    std::memset(b, 0, width);
    std::memcpy(b, s.data(), s.size() < width ? s.size() : width);
}

}  // namespace

void encode_header(const Header& h, unsigned char (&out)[kHeaderSize]) {
    std::memset(out, 0, kHeaderSize);
    std::memcpy(out, "LASF", 4);
    put_u16(out + 4, h.file_source_id);
    put_u16(out + 6, h.global_encoding);
    // 8-23: project GUID, left zero.
    out[24] = 1;
    out[25] = 4;
    put_chars(out + 26, 32, "OTHER");
    put_chars(out + 58, 32, h.generating_software);
    put_u16(out + 90, h.creation_day);
    put_u16(out + 92, h.creation_year);
    put_u16(out + 94, kHeaderSize);
    put_u32(out + 96, h.offset_to_points);
    put_u32(out + 100, h.vlr_count);
    out[104] = 6;
    put_u16(out + 105, h.record_length);
    // 107-130: legacy point counts, 0 for point formats 6 to 10.
    const double scale[3] = {h.scale_xy, h.scale_xy, kScaleZ};
    const double offset[3] = {h.offset_x, h.offset_y, 0.0};
    for (int k = 0; k < 3; ++k) {
        put_f64(out + 131 + 8 * k, scale[k]);
        put_f64(out + 155 + 8 * k, offset[k]);
    }
    for (int k = 0; k < 3; ++k) {
        const bool any = h.point_count > 0;
        put_f64(out + 179 + 16 * k, any ? h.bounds.max[k] * scale[k] + offset[k] : 0.0);
        put_f64(out + 187 + 16 * k, any ? h.bounds.min[k] * scale[k] + offset[k] : 0.0);
    }
    // 227-246: no waveform data, no extended VLRs.
    put_u64(out + 247, h.point_count);
    put_u64(out + 255, h.point_count);  // every point is return 1
}

std::string encode_vlr(std::string_view user_id, std::uint16_t record_id, std::string_view description,
                       std::string_view payload) {
    if (payload.size() > 65535) throw std::length_error("variable-length record over 65535 bytes");
    std::string r(kVlrHeaderSize + payload.size(), '\0');
    auto* b = reinterpret_cast<unsigned char*>(r.data());
    put_chars(b + 2, 16, user_id);
    put_u16(b + 18, record_id);
    put_u16(b + 20, static_cast<std::uint16_t>(payload.size()));
    put_chars(b + 22, 32, description);
    std::memcpy(b + kVlrHeaderSize, payload.data(), payload.size());
    return r;
}

std::string wkt_vlr(std::string_view wkt, std::string_view description) {
    std::string payload(wkt);
    payload += '\0';
    return encode_vlr("LASF_Projection", 2112, description, payload);
}

std::string extra_bytes_vlr(bool with_group_size) {
    struct Dimension {
        unsigned char data_type;  // 1 unsigned char, 3 unsigned short
        const char* name;
        const char* description;
    };
    const Dimension dims[2] = {{3, "measurement_index", "index of the measurement in scan"},
                               {1, "group_size", "measurements averaged"}};
    const int count = with_group_size ? 2 : 1;
    std::string payload(192 * count, '\0');
    for (int k = 0; k < count; ++k) {
        auto* d = reinterpret_cast<unsigned char*>(payload.data()) + 192 * k;
        d[2] = dims[k].data_type;
        d[3] = 0;  // options: no no-data value, minimum, maximum, scale or offset
        put_chars(d + 4, 32, dims[k].name);
        put_chars(d + 160, 32, dims[k].description);
    }
    return encode_vlr("LASF_Spec", 4, "extra bytes", payload);
}

}  // namespace morva::las
