#include "las_writer.hpp"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

#include "morva_laz.h"
#include "text/stop.hpp"

namespace morva::common {
namespace {

constexpr std::uint32_t kChunkPoints = 50000;       // points per LAZ chunk, as laszip writes them
constexpr std::size_t kBufferBytes = std::size_t{1} << 22;  // uncompressed records gathered per write

bool is_laszip(const LasRecord& r) { return r.user_id == "laszip encoded" && r.record_id == 22204; }

// A record, header and payload: before the points (a length of 16 bits) or
// extended, after them (a length of 64 bits).
std::string encode_record(const LasRecord& r, bool extended) {
    const std::size_t head = extended ? 60 : 54;
    std::string out(head + r.payload.size(), '\0');
    auto* b = reinterpret_cast<unsigned char*>(out.data());
    put_chars(b + 2, 16, r.user_id);
    put_le(b + 18, r.record_id);
    if (extended) {
        put_le(b + 20, static_cast<std::uint64_t>(r.payload.size()));
    } else {
        put_le(b + 20, static_cast<std::uint16_t>(r.payload.size()));
    }
    put_chars(b + (extended ? 28 : 22), 32, r.description);
    if (!r.payload.empty()) std::memcpy(b + head, r.payload.data(), r.payload.size());
    return out;
}

}  // namespace

bool is_laz_name(const std::string& path) {
    if (path.size() < 4) return false;
    std::string end = path.substr(path.size() - 4);
    std::transform(end.begin(), end.end(), end.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return end == ".laz";
}

LasWriter::LasWriter(StagedFiles& files, const std::string& path, const LasWriterSetup& setup)
    : path_(path), setup_(setup) {
    LasHeader& h = setup_.header;
    const std::uint16_t standard = las_format_size(h.point_format);
    if (standard == 0 || h.version_minor < 0 || h.version_minor > 4 || (h.point_format >= 6 && h.version_minor < 4)) {
        fail("point format " + std::to_string(h.point_format) + " in LAS 1." + std::to_string(h.version_minor) +
             " cannot be written (formats 0 to 10, 6 to 10 in LAS 1.4 only)");
    }
    if (h.record_length == 0) h.record_length = static_cast<std::uint16_t>(standard + h.extra_bytes);
    if (h.record_length < standard) fail("point records shorter than point format " + std::to_string(h.point_format) + "'s");
    h.extra_bytes = static_cast<std::uint16_t>(h.record_length - standard);

    // The records before the points; extended ones (and, in LAS 1.4, any too
    // long for a plain record) after them.
    std::string vlrs;
    std::vector<LasRecord> before;
    for (const LasRecord& r : h.records) {
        if (is_laszip(r)) continue;
        const bool after = r.extended || r.payload.size() > 65535;
        if (after && h.version_minor < 4) fail("the record " + r.user_id + " " + std::to_string(r.record_id) + " needs LAS 1.4");
        if (!after) before.push_back(r);
    }
    if (setup_.compress) {
        std::uint8_t record[100];
        std::size_t size = 0;
        morva_laz_error error{};
        if (morva_laz_record_for(static_cast<std::uint8_t>(h.point_format), h.extra_bytes, kChunkPoints, record,
                                 sizeof record, &size, &error) != MORVA_LAZ_OK) {
            fail(std::string("LAZ: ") + error.message);
        }
        before.push_back({"laszip encoded", 22204, "laszip compression", {record, record + size}, false});
    }
    for (const LasRecord& r : before) vlrs += encode_record(r, false);
    vlr_count_ = static_cast<std::uint32_t>(before.size());
    offset_to_points_ = las_header_size(h.version_minor) + vlrs.size();
    if (offset_to_points_ > UINT32_MAX) fail("its records before the points exceed 4 GiB");

    temp_ = files.add(path);
    fd_ = ::open(temp_.c_str(), O_WRONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd_ < 0) fail(std::strerror(errno));
    // The header's place now (written complete by finish), then the records.
    const std::string head(las_header_size(h.version_minor), '\0');
    put(head.data(), head.size(), 0);
    put(vlrs.data(), vlrs.size(), head.size());

    if (setup_.compress) {
        const LasRecord& laszip = before.back();
        morva_laz_error error{};
        if (morva_laz_writer_open(temp_.c_str(), offset_to_points_, laszip.payload.data(), laszip.payload.size(),
                                  setup_.threads, &laz_, &error) != MORVA_LAZ_OK) {
            fail(error.message);
        }
    } else {
        buffer_.reserve(kBufferBytes);
    }
}

LasWriter::~LasWriter() {
    morva_laz_writer_close(laz_);
    if (fd_ >= 0) ::close(fd_);
}

void LasWriter::fail(const std::string& why) const { text::stop_run("cannot write " + path_ + ": " + why); }

void LasWriter::put(const void* data, std::size_t size, std::uint64_t at) {
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = ::pwrite(fd_, p, size, static_cast<off_t>(at));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) fail(n < 0 ? std::strerror(errno) : "nothing written");
        p += n;
        size -= static_cast<std::size_t>(n);
        at += static_cast<std::uint64_t>(n);
    }
}

void LasWriter::write(const std::uint8_t* records, std::size_t count) {
    const std::size_t length = setup_.header.record_length;
    const unsigned return_mask = setup_.header.point_format < 6 ? 7 : 15;
    for (std::size_t k = 0; k < count; ++k) {
        const std::uint8_t* r = records + k * length;
        extend(bounds_, get_le<std::int32_t>(r), get_le<std::int32_t>(r + 4), get_le<std::int32_t>(r + 8));
        const unsigned ret = r[14] & return_mask;
        if (ret >= 1) ++by_return_[ret - 1];
    }
    points_ += count;
    if (laz_ != nullptr) {
        morva_laz_error error{};
        if (morva_laz_writer_write(laz_, records, count, &error) != MORVA_LAZ_OK) fail(error.message);
        return;
    }
    const std::size_t bytes = count * length;
    if (buffer_.size() + bytes > kBufferBytes) flush();
    if (bytes >= kBufferBytes) {
        put(records, bytes, end_ + offset_to_points_);
        end_ += bytes;
    } else {
        buffer_.insert(buffer_.end(), records, records + bytes);
    }
}

void LasWriter::flush() {
    if (buffer_.empty()) return;
    put(buffer_.data(), buffer_.size(), end_ + offset_to_points_);
    end_ += buffer_.size();
    buffer_.clear();
}

void LasWriter::finish() {
    if (finished_) return;
    const LasHeader& s = setup_.header;
    std::uint64_t points_end = 0;
    if (laz_ != nullptr) {
        morva_laz_error error{};
        if (morva_laz_writer_finish(laz_, &points_end, &error) != MORVA_LAZ_OK) fail(error.message);
    } else {
        flush();
        points_end = offset_to_points_ + end_;
    }

    Header h;
    h.file_source_id = s.file_source_id;
    h.global_encoding = s.global_encoding;
    h.version_minor = static_cast<std::uint8_t>(s.version_minor);
    h.system_identifier = setup_.system_identifier;
    h.generating_software = setup_.generating_software;
    h.creation_day = s.creation_day;
    h.creation_year = s.creation_year;
    h.header_size = las_header_size(s.version_minor);
    h.offset_to_points = static_cast<std::uint32_t>(offset_to_points_);
    h.vlr_count = vlr_count_;
    h.point_format = static_cast<std::uint8_t>(s.point_format | (laz_ != nullptr ? 0x80 : 0));
    h.record_length = s.record_length;
    h.point_count = points_;
    std::copy(std::begin(by_return_), std::end(by_return_), h.points_by_return);
    // The legacy counts: the only ones before LAS 1.4; in 1.4 kept for point
    // formats 0 to 5 when they fit, zero otherwise.
    if (points_ > UINT32_MAX && s.version_minor < 4) {
        fail(std::to_string(points_) + " points: more than 4294967295 need LAS 1.4");
    }
    if (s.point_format < 6 && points_ <= UINT32_MAX) {
        h.legacy_point_count = static_cast<std::uint32_t>(points_);
        for (int k = 0; k < 5; ++k) h.legacy_by_return[k] = static_cast<std::uint32_t>(by_return_[k]);
    }
    std::copy_n(s.scale, 3, h.scale);
    std::copy_n(s.offset, 3, h.offset);
    h.bounds = bounds_;

    // The extended records after the points.
    std::uint64_t at = points_end;
    for (const LasRecord& r : s.records) {
        if (is_laszip(r) || !(r.extended || r.payload.size() > 65535)) continue;
        if (h.evlr_count == 0) h.evlr_start = at;
        const std::string bytes = encode_record(r, true);
        put(bytes.data(), bytes.size(), at);
        at += bytes.size();
        ++h.evlr_count;
    }
    if (::ftruncate(fd_, static_cast<off_t>(at)) != 0) fail(std::strerror(errno));

    unsigned char head[kHeaderSize];
    encode_header(h, head);
    put(head, h.header_size, 0);
    if (::close(fd_) != 0) {
        fd_ = -1;
        fail(std::strerror(errno));
    }
    fd_ = -1;
    finished_ = true;
}

}  // namespace morva::common
