#include "las_reader.hpp"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "las_header.hpp"
#include "morva_laz.h"
#include "scanner/byte_reader.hpp"
#include "text/stop.hpp"

namespace morva::common {

using scanner::le_i16;
using scanner::le_i32;
using scanner::le_u16;
using scanner::le_u32;

namespace {

[[noreturn]] void fail(const std::string& path, const std::string& problem) { text::stop_run(path + ": " + problem); }

std::string number_text(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%.6g", v);
    return text;
}

// Reads `count` records from `at` on (extended ones have 8-byte lengths);
// a record running past `end` is a fault.
void read_records(int fd, const std::string& path, std::uint64_t at, std::uint32_t count, std::uint64_t end,
                  bool extended, std::vector<LasRecord>& out) {
    const std::size_t head = extended ? 60 : 54;
    const std::string past = extended ? " runs past the end of the file" : " runs past the start of the points";
    for (std::uint32_t k = 0; k < count; ++k) {
        std::uint8_t h[60];
        if (at + head > end || !read_at(fd, h, head, at)) {
            fail(path, std::string(extended ? "extended " : "") + "variable-length record " + std::to_string(k + 1) +
                           " of " + std::to_string(count) + past);
        }
        LasRecord r;
        r.user_id = get_chars(h + 2, 16);
        r.record_id = static_cast<std::uint16_t>(le_u16(h + 18));
        const std::uint64_t length = extended ? get_le<std::uint64_t>(h + 20) : le_u16(h + 20);
        r.description = get_chars(h + (extended ? 28 : 22), 32);
        r.extended = extended;
        if (at + head + length > end || length > (std::uint64_t{1} << 30)) {
            fail(path, "the record " + r.user_id + " " + std::to_string(r.record_id) + " of " + std::to_string(length) +
                           " bytes" + past);
        }
        r.payload.resize(length);
        if (length > 0 && !read_at(fd, r.payload.data(), length, at + head)) fail(path, "cannot read the record " + r.user_id);
        at += head + length;
        out.push_back(std::move(r));
    }
}

bool las_has_gps_time(int f) { return f == 1 || f >= 3; }
bool las_has_rgb(int f) { return f == 2 || f == 3 || f == 5 || f == 7 || f == 8 || f == 10; }
bool las_has_nir(int f) { return f == 8 || f == 10; }

}  // namespace

bool read_at(int fd, void* data, std::size_t n, std::uint64_t offset) {
    auto* p = static_cast<char*>(data);
    while (n > 0) {
        const ssize_t got = ::pread(fd, p, n, static_cast<off_t>(offset));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return false;
        p += got;
        n -= static_cast<std::size_t>(got);
        offset += static_cast<std::uint64_t>(got);
    }
    return true;
}

std::uint16_t las_format_size(int f) {
    static constexpr std::uint16_t sizes[] = {20, 28, 26, 34, 57, 63, 30, 36, 38, 59, 67};
    return f >= 0 && f <= 10 ? sizes[f] : 0;
}

const LasRecord* find_record(const LasHeader& header, const std::string& user_id, std::uint16_t record_id) {
    for (const LasRecord& r : header.records)
        if (r.user_id == user_id && r.record_id == record_id) return &r;
    return nullptr;
}

struct LasReaderState {
    int fd = -1;
    morva_laz_reader* laz = nullptr;
    ~LasReaderState() {
        morva_laz_reader_close(laz);
        if (fd >= 0) ::close(fd);
    }
};

LasReader::LasReader(const std::string& path, LasFields fields) : state_(std::make_unique<LasReaderState>()) {
    LasHeader& h = header_;
    h.path = path;
    state_->fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat st{};
    if (state_->fd < 0 || ::fstat(state_->fd, &st) != 0) fail(path, "cannot be read");
    if (S_ISDIR(st.st_mode)) fail(path, "is a folder");
    const auto file_size = static_cast<std::uint64_t>(st.st_size);
    unsigned char b[kHeaderSize] = {};
    if (!read_at(state_->fd, b, 227, 0)) fail(path, "shorter than a LAS header (227 bytes)");
    if (std::memcmp(b, "LASF", 4) != 0) fail(path, "not a LAS file (no LASF signature)");
    Header stored = decode_header(b);
    if (stored.version_major != 1 || stored.version_minor > 4) {
        fail(path, "LAS " + std::to_string(stored.version_major) + "." + std::to_string(stored.version_minor) +
                       ": versions 1.0 to 1.4 are read");
    }
    h.version_minor = stored.version_minor;
    const std::uint16_t header_size = stored.header_size;
    if (header_size < las_header_size(h.version_minor)) {
        fail(path, "a header of " + std::to_string(header_size) + " bytes: LAS 1." + std::to_string(h.version_minor) +
                       " needs " + std::to_string(las_header_size(h.version_minor)));
    }
    if (!read_at(state_->fd, b, std::min<std::size_t>(header_size, sizeof b), 0)) fail(path, "the header runs past the end of the file");
    stored = decode_header(b);
    h.file_source_id = stored.file_source_id;
    h.global_encoding = stored.global_encoding;
    h.creation_day = stored.creation_day;
    h.creation_year = stored.creation_year;
    h.offset_to_points = stored.offset_to_points;
    h.compressed = (stored.point_format & 0xC0) != 0;
    h.point_format = static_cast<int>(stored.point_format & 0x3F);
    if (las_format_size(h.point_format) == 0) fail(path, "point format " + std::to_string(h.point_format) + ": formats 0 to 10 are read");
    if (h.point_format >= 6 && h.version_minor < 4) {
        fail(path, "point format " + std::to_string(h.point_format) + " in a LAS 1." + std::to_string(h.version_minor) +
                       " file: formats 6 to 10 need LAS 1.4");
    }
    h.record_length = stored.record_length;
    if (h.record_length < las_format_size(h.point_format)) {
        fail(path, "point records of " + std::to_string(h.record_length) + " bytes: point format " +
                       std::to_string(h.point_format) + " needs at least " + std::to_string(las_format_size(h.point_format)));
    }
    h.extra_bytes = static_cast<std::uint16_t>(h.record_length - las_format_size(h.point_format));
    h.point_count = h.version_minor >= 4 ? stored.point_count : stored.legacy_point_count;
    if (h.version_minor >= 4 && h.point_count == 0) h.point_count = stored.legacy_point_count;
    for (int k = 0; k < 3; ++k) {
        h.scale[k] = stored.scale[k];
        h.offset[k] = stored.offset[k];
        h.max[k] = stored.stated_max[k];
        h.min[k] = stored.stated_min[k];
        // Every value the field can hold must be a finite double.
        if (!(h.scale[k] != 0) || !std::isfinite(h.scale[k]) || !std::isfinite(h.offset[k]) ||
            !std::isfinite(2147483648.0 * std::fabs(h.scale[k]) + std::fabs(h.offset[k]))) {
            fail(path, std::string("the LAS header's ") + "XYZ"[k] + " scale " + number_text(h.scale[k]) + " and offset " +
                           number_text(h.offset[k]) + " are no valid scale and offset (a finite non-zero scale, a "
                           "finite offset)");
        }
    }
    if (h.offset_to_points < header_size || h.offset_to_points > file_size) {
        fail(path, "the offset to the points " + std::to_string(h.offset_to_points) + " lies outside the file (" +
                       std::to_string(file_size) + " bytes) or inside its header");
    }
    read_records(state_->fd, path, header_size, stored.vlr_count, h.offset_to_points, false, h.records);
    if (h.version_minor >= 4 && stored.evlr_count > 0) {
        if (stored.evlr_start < h.offset_to_points || stored.evlr_start > file_size) {
            fail(path, "the extended records' start " + std::to_string(stored.evlr_start) + " lies outside the file");
        }
        read_records(state_->fd, path, stored.evlr_start, stored.evlr_count, file_size, true, h.records);
        h.points_end = stored.evlr_start;
    }
    if (h.compressed) {
        const LasRecord* laszip = find_record(h, "laszip encoded", 22204);
        if (laszip == nullptr) fail(path, "a compressed file (LAZ) without its laszip record");
        morva_laz_error error{};
        if (morva_laz_reader_open(path.c_str(), h.offset_to_points, h.points_end, laszip->payload.data(),
                                  laszip->payload.size(), h.point_count, h.record_length,
                                  fields == LasFields::All ? MORVA_LAZ_ALL_FIELDS
                                                           : MORVA_LAZ_FIELD_Z | MORVA_LAZ_FIELD_CLASSIFICATION |
                                                                 MORVA_LAZ_FIELD_FLAGS | MORVA_LAZ_FIELD_POINT_SOURCE_ID,
                                  &state_->laz,
                                  &error) != MORVA_LAZ_OK) {
            fail(path, std::string("LAZ: ") + error.message);
        }
    } else {
        const std::uint64_t end = h.points_end > 0 ? h.points_end : file_size;
        const std::uint64_t room = (end - h.offset_to_points) / h.record_length;
        if (h.point_count > room) {
            fail(path, "the header counts " + std::to_string(h.point_count) + " points of " +
                           std::to_string(h.record_length) + " bytes; the file holds " + std::to_string(room));
        }
    }
}

LasReader::~LasReader() = default;

void decode_point(const LasHeader& h, const std::uint8_t* r, LasPoint& p) {
    p.raw = r;
    p.x = le_i32(r) * h.scale[0] + h.offset[0];
    p.y = le_i32(r + 4) * h.scale[1] + h.offset[1];
    p.z = le_i32(r + 8) * h.scale[2] + h.offset[2];
    p.intensity = static_cast<std::uint16_t>(le_u16(r + 12));
    const int f = h.point_format;
    if (f < 6) {
        p.return_number = r[14] & 7;
        p.number_of_returns = (r[14] >> 3) & 7;
        p.classification = r[15] & 31;
        p.withheld = (r[15] & 0x80) != 0;
        p.scan_angle = static_cast<std::int8_t>(r[16]);
        p.source_id = static_cast<std::uint16_t>(le_u16(r + 18));
        p.gps_time = las_has_gps_time(f) ? get_le<double>(r + 20) : 0;
        const int rgb = f == 2 ? 20 : 28;
        if (las_has_rgb(f)) {
            p.red = static_cast<std::uint16_t>(le_u16(r + rgb));
            p.green = static_cast<std::uint16_t>(le_u16(r + rgb + 2));
            p.blue = static_cast<std::uint16_t>(le_u16(r + rgb + 4));
        }
        return;
    }
    p.return_number = r[14] & 15;
    p.number_of_returns = r[14] >> 4;
    p.withheld = (r[15] & 4) != 0;
    p.classification = r[16];
    p.scan_angle = le_i16(r + 18) * 0.006;
    p.source_id = static_cast<std::uint16_t>(le_u16(r + 20));
    p.gps_time = get_le<double>(r + 22);
    if (las_has_rgb(f)) {
        p.red = static_cast<std::uint16_t>(le_u16(r + 30));
        p.green = static_cast<std::uint16_t>(le_u16(r + 32));
        p.blue = static_cast<std::uint16_t>(le_u16(r + 34));
    }
    if (las_has_nir(f)) p.nir = static_cast<std::uint16_t>(le_u16(r + 36));
}

bool LasReader::read(std::vector<LasPoint>& points, std::size_t most) {
    const LasHeader& h = header_;
    const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(most, h.point_count - done_));
    points.clear();
    if (n == 0) return false;
    block_.resize(n * h.record_length);
    if (h.compressed) {
        morva_laz_error error{};
        if (morva_laz_reader_read(state_->laz, block_.data(), n, &error) != MORVA_LAZ_OK) {
            fail(h.path, "LAZ, point " + std::to_string(done_ + 1) + " on: " + error.message);
        }
    } else if (!read_at(state_->fd, block_.data(), block_.size(), h.offset_to_points + done_ * h.record_length)) {
        fail(h.path, "cannot read point " + std::to_string(done_ + 1) + " (the file was cut short)");
    }
    points.resize(n);
    for (std::size_t k = 0; k < n; ++k) decode_point(h, block_.data() + k * h.record_length, points[k]);
    done_ += n;
    return true;
}

}  // namespace morva::common
