#include "las_header.hpp"

namespace morva::common {
namespace {

// Where each field of the header lies (bytes from the file's start).
namespace at {
constexpr std::size_t signature = 0, file_source_id = 4, global_encoding = 6, version_major = 24,
                      version_minor = 25, system_identifier = 26, generating_software = 58, creation_day = 90,
                      creation_year = 92, header_size = 94, offset_to_points = 96, vlr_count = 100,
                      point_format = 104, record_length = 105, legacy_point_count = 107, legacy_by_return = 111,
                      scale = 131, offset = 155, max_x = 179, min_x = 187, evlr_start = 235, evlr_count = 243,
                      point_count = 247, points_by_return = 255;
}  // namespace at

}  // namespace

void encode_header(const Header& h, unsigned char (&out)[kHeaderSize]) {
    std::memset(out, 0, kHeaderSize);
    std::memcpy(out + at::signature, "LASF", 4);
    put_le(out + at::file_source_id, h.file_source_id);
    put_le(out + at::global_encoding, h.global_encoding);
    // 8-23: project GUID, left zero.
    out[at::version_major] = h.version_major;
    out[at::version_minor] = h.version_minor;
    put_chars(out + at::system_identifier, 32, h.system_identifier);
    put_chars(out + at::generating_software, 32, h.generating_software);
    put_le(out + at::creation_day, h.creation_day);
    put_le(out + at::creation_year, h.creation_year);
    put_le(out + at::header_size, h.header_size);
    put_le(out + at::offset_to_points, h.offset_to_points);
    put_le(out + at::vlr_count, h.vlr_count);
    out[at::point_format] = h.point_format;
    put_le(out + at::record_length, h.record_length);
    put_le(out + at::legacy_point_count, h.legacy_point_count);
    for (int k = 0; k < 5; ++k) put_le(out + at::legacy_by_return + 4 * k, h.legacy_by_return[k]);
    for (int k = 0; k < 3; ++k) {
        put_le(out + at::scale + 8 * k, h.scale[k]);
        put_le(out + at::offset + 8 * k, h.offset[k]);
    }
    for (int k = 0; k < 3; ++k) {
        const bool any = h.point_count > 0;
        put_le(out + at::max_x + 16 * k, any ? h.bounds.max[k] * h.scale[k] + h.offset[k] : 0.0);
        put_le(out + at::min_x + 16 * k, any ? h.bounds.min[k] * h.scale[k] + h.offset[k] : 0.0);
    }
    // 227-234: no waveform data.
    put_le(out + at::evlr_start, h.evlr_start);
    put_le(out + at::evlr_count, h.evlr_count);
    put_le(out + at::point_count, h.point_count);
    for (int k = 0; k < 15; ++k) put_le(out + at::points_by_return + 8 * k, h.points_by_return[k]);
}

Header decode_header(const unsigned char (&in)[kHeaderSize]) {
    Header h;
    h.file_source_id = get_le<std::uint16_t>(in + at::file_source_id);
    h.global_encoding = get_le<std::uint16_t>(in + at::global_encoding);
    h.version_major = in[at::version_major];
    h.version_minor = in[at::version_minor];
    h.system_identifier = get_chars(in + at::system_identifier, 32);
    h.generating_software = get_chars(in + at::generating_software, 32);
    h.creation_day = get_le<std::uint16_t>(in + at::creation_day);
    h.creation_year = get_le<std::uint16_t>(in + at::creation_year);
    h.header_size = get_le<std::uint16_t>(in + at::header_size);
    h.offset_to_points = get_le<std::uint32_t>(in + at::offset_to_points);
    h.vlr_count = get_le<std::uint32_t>(in + at::vlr_count);
    h.point_format = in[at::point_format];
    h.record_length = get_le<std::uint16_t>(in + at::record_length);
    for (int k = 0; k < 3; ++k) {
        h.scale[k] = get_le<double>(in + at::scale + 8 * k);
        h.offset[k] = get_le<double>(in + at::offset + 8 * k);
    }
    for (int k = 0; k < 3; ++k) {
        h.stated_max[k] = get_le<double>(in + at::max_x + 16 * k);
        h.stated_min[k] = get_le<double>(in + at::min_x + 16 * k);
    }
    h.legacy_point_count = get_le<std::uint32_t>(in + at::legacy_point_count);
    for (int k = 0; k < 5; ++k) h.legacy_by_return[k] = get_le<std::uint32_t>(in + at::legacy_by_return + 4 * k);
    h.evlr_start = get_le<std::uint64_t>(in + at::evlr_start);
    h.evlr_count = get_le<std::uint32_t>(in + at::evlr_count);
    h.point_count = get_le<std::uint64_t>(in + at::point_count);
    for (int k = 0; k < 15; ++k) h.points_by_return[k] = get_le<std::uint64_t>(in + at::points_by_return + 8 * k);
    return h;
}

}  // namespace morva::common
