#include "point_source.hpp"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "inputs/run_control.hpp"
#include "records/record_file.hpp"
#include "scanner/byte_reader.hpp"
#include "text/stop.hpp"
#include "text/text_reader.hpp"

namespace morva::grid {
namespace {

[[noreturn]] void fail(const std::string& name, const std::string& problem) { text::stop_run(name + ": " + problem); }

std::string why_unreadable(const std::string& path) {
    struct stat st{};
    if (::stat(path.c_str(), &st) != 0) return "does not exist or cannot be reached";
    if (S_ISDIR(st.st_mode)) return "is a folder";
    return "cannot be read";
}

// A file descriptor closed on every path.
struct File {
    int fd = -1;
    explicit File(const std::string& path) : fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC)) {}
    File(const File&) = delete;
    File& operator=(const File&) = delete;
    ~File() {
        if (fd >= 0) ::close(fd);
    }
};

// Reads exactly n bytes at offset; false at the end of the file.
bool read_at(int fd, void* data, std::size_t n, off_t offset) {
    auto* p = static_cast<char*>(data);
    while (n > 0) {
        const ssize_t got = ::pread(fd, p, n, offset);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return false;
        p += got;
        n -= static_cast<std::size_t>(got);
        offset += got;
    }
    return true;
}

std::string folder_of(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return "";
    return path.substr(0, slash + 1);
}

// A name inside a run control, taken relative to the run control's folder.
std::string beside(const std::string& run_control, const std::string& name) {
    if (name.empty() || name[0] == '/') return name;
    return folder_of(run_control) + name;
}

void extend(GeoBounds& b, double lon, double lat) {
    if (b.empty) {
        b = {lon, lon, lat, lat, false};
        return;
    }
    b.lon_min = std::min(b.lon_min, lon);
    b.lon_max = std::max(b.lon_max, lon);
    b.lat_min = std::min(b.lat_min, lat);
    b.lat_max = std::max(b.lat_max, lat);
}

// A latitude beyond a pole is no position (a field that overflowed, a record
// not of this run): skipped and counted, as morva-las does.
inline bool within_poles(const records::ScanPointRecord& p) { return p.lat_e7 >= -900000000 && p.lat_e7 <= 900000000; }

inline GeoPoint geo_of(const records::ScanPointRecord& p) {
    return {static_cast<double>(p.lon_e7) * 1e-7, static_cast<double>(p.lat_e7) * 1e-7, p.h_mm * 1e-3};
}

records::ScanPointForm form_of(const PointSource& s) {
    return s.binary            ? records::ScanPointForm::Binary
           : s.with_group_size ? records::ScanPointForm::TextWithGroupSize
                               : records::ScanPointForm::Text;
}

}  // namespace

GeoBounds sample_bounds(const PointSource& s) {
    GeoBounds b;
    File f(s.points_file);
    struct stat st{};
    if (f.fd < 0 || ::fstat(f.fd, &st) != 0) return b;
    const std::size_t record = records::record_bytes(form_of(s));
    const auto records = static_cast<std::uint64_t>(st.st_size) / record;
    if (records == 0) return b;
    constexpr std::uint64_t kSamples = 513;
    char buffer[64];
    records::ScanPointRecord p;
    for (std::uint64_t k = 0; k < kSamples; ++k) {
        const std::uint64_t index = records == 1 ? 0 : k * (records - 1) / (kSamples - 1);
        if (!read_at(f.fd, buffer, record, static_cast<off_t>(index * record))) continue;
        const records::Decoded d = s.binary ? records::decode_binary(reinterpret_cast<unsigned char*>(buffer), p)
                                            : records::decode_text(buffer, record - 1, s.with_group_size, p);
        if (d == records::Decoded::Point && within_poles(p)) extend(b, geo_of(p).lon, geo_of(p).lat);
    }
    return b;
}

namespace {

PointSource open_run_control(const std::string& name) {
    inputs::RunControl rc;
    {
        text::TextReader in;
        if (!text::open_in(in, name)) fail(name, "the run control " + why_unreadable(name));
        try {
            inputs::read_run_control(in, rc);
            inputs::derive(rc);
        } catch (const text::RunStopped& stop) {
            // The core reader's own line, said of this file.
            std::string line = stop.line;
            if (line.rfind("*** ", 0) == 0) line.erase(0, 4);
            fail(name, "the run control: " + line);
        }
    }
    if (!rc.scanpt_wanted) fail(name, "the run control names no scan-point file (0): there are no points to grid");
    if (rc.iout_type > 3) fail(name, "the run control's iout_type " + std::to_string(rc.iout_type) + " is not a form morva writes");
    if (!rc.full_georef) {
        fail(name, "the run control's full_georef is F (the simplified vertical computation): its scan points hold "
                   "along-track time and across-track offset in place of latitude and longitude, not positions");
    }
    PointSource s;
    s.name = name;
    s.kind = SourceKind::ScanPoints;
    s.points_file = beside(name, inputs::trimmed(rc.scanptfile));
    s.named_points_file = inputs::trimmed(rc.scanptfile);
    s.named_geoid = rc.geoid_wanted ? inputs::trimmed(rc.geoidfile) : std::string();
    s.geoid_file = rc.geoid_wanted ? beside(name, s.named_geoid) : std::string();
    s.binary = rc.binary_output;
    s.with_group_size = !rc.binary_output && rc.navg > 1;
    s.vertical = rc.geoid_wanted ? "height above geoid grid " + inputs::trimmed(rc.geoidfile) : "ellipsoidal height";
    s.roles = inputs::run_control_roles(rc, name, folder_of(name));
    for (const inputs::RunFile& f : s.roles) s.files.push_back(f.name);
    {
        File f(s.points_file);
        if (f.fd < 0) fail(name, "its scan-point file " + s.points_file + " " + why_unreadable(s.points_file));
    }
    s.bounds = sample_bounds(s);
    struct stat st{};
    if (::stat(s.points_file.c_str(), &st) == 0) s.records = static_cast<std::uint64_t>(st.st_size) / records::record_bytes(form_of(s));
    return s;
}

std::string number_text(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%.6g", v);
    return text;
}

double le_f64(const unsigned char* p) {
    std::uint64_t bits = 0;
    for (int k = 7; k >= 0; --k) bits = (bits << 8) | p[k];
    double v;
    std::memcpy(&v, &bits, sizeof v);
    return v;
}

std::uint64_t le_u64(const unsigned char* p) {
    std::uint64_t v = 0;
    for (int k = 7; k >= 0; --k) v = (v << 8) | p[k];
    return v;
}

// The coordinate system record (LASF_Projection 2112), when the file has one,
// and its description (morva-las says there how the run georeferenced).
std::string read_wkt(int fd, const PointSource& s, std::uint32_t header_size, std::uint32_t vlr_count,
                     std::string& description) {
    off_t at = header_size;
    for (std::uint32_t k = 0; k < vlr_count && at + 54 <= static_cast<off_t>(s.offset_to_points); ++k) {
        unsigned char vh[54];
        if (!read_at(fd, vh, sizeof vh, at)) break;
        const std::string user(reinterpret_cast<char*>(vh + 2), strnlen(reinterpret_cast<char*>(vh + 2), 16));
        const std::uint32_t id = scanner::le_u16(vh + 18), length = scanner::le_u16(vh + 20);
        if (user == "LASF_Projection" && id == 2112) {
            std::string wkt(length, '\0');
            if (!read_at(fd, wkt.data(), length, at + 54)) break;
            wkt.resize(strnlen(wkt.c_str(), wkt.size()));
            description.assign(reinterpret_cast<char*>(vh + 22), strnlen(reinterpret_cast<char*>(vh + 22), 32));
            return wkt;
        }
        at += 54 + length;
    }
    return {};
}

PointSource open_las(const std::string& name, int fd) {
    unsigned char h[375];
    if (!read_at(fd, h, sizeof h, 0)) fail(name, "a LAS file shorter than its 375-byte header");
    if (h[24] != 1 || h[25] != 4) {
        fail(name, "LAS " + std::to_string(h[24]) + "." + std::to_string(h[25]) + ": only LAS 1.4 (point format 6) is read");
    }
    const unsigned format_byte = h[104];
    if ((format_byte & 0xC0) != 0) fail(name, "a compressed LAS file (LAZ): decompress it first");
    if ((format_byte & 0x3F) != 6) {
        fail(name, "point format " + std::to_string(format_byte & 0x3F) + ": only point format 6 is read");
    }
    PointSource s;
    s.name = name;
    s.kind = SourceKind::Las;
    s.points_file = name;
    s.files = {name};
    s.roles = {{name, "the LAS input"}};
    const std::uint32_t header_size = scanner::le_u16(h + 94);
    s.offset_to_points = scanner::le_u32(h + 96);
    const std::uint32_t vlr_count = scanner::le_u32(h + 100);
    s.record_length = static_cast<std::uint16_t>(scanner::le_u16(h + 105));
    if (s.record_length < 30) fail(name, "point records of " + std::to_string(s.record_length) + " bytes: format 6 needs 30");
    for (int k = 0; k < 3; ++k) {
        s.scale[k] = le_f64(h + 131 + 8 * k);
        s.offset[k] = le_f64(h + 155 + 8 * k);
        const std::string field = std::string(1, "XYZ"[k]);
        // Every value the field can hold, 2^31 times the scale plus the
        // offset, must be a finite double: an infinite or absurd scale (1e300)
        // makes infinite coordinates out of ordinary records.
        if (!(s.scale[k] > 0) || !std::isfinite(s.scale[k]) || !std::isfinite(s.offset[k]) ||
            !std::isfinite(las_field_limit(s, k))) {
            fail(name, "the LAS header's " + field + " scale " + number_text(s.scale[k]) + " and offset " +
                           number_text(s.offset[k]) + " are no valid scale and offset (a positive finite scale, a finite "
                           "offset, values within a double's range)");
        }
    }
    s.point_count = le_u64(h + 247);
    s.records = s.point_count;
    struct stat st{};
    ::fstat(fd, &st);
    if (s.offset_to_points + s.point_count * s.record_length > static_cast<std::uint64_t>(st.st_size)) {
        fail(name, "the LAS header counts " + std::to_string(s.point_count) + " points; the file is shorter");
    }
    std::string description;
    s.wkt = read_wkt(fd, s, header_size, vlr_count, description);
    if (description == "exact ellipsoidal georeferencing") s.geodesy = "ellipsoid";
    if (description == "flat-earth georeferencing") s.geodesy = "flat";
    if (s.wkt.find("PROJCS[") != std::string::npos) {
        fail(name, "a LAS file in projected coordinates: morva-grid reads longitude and latitude (morva-las without --crs)");
    }
    if (s.wkt.find("GEOIDMODEL") != std::string::npos || s.wkt.find("height above geoid grid") != std::string::npos) {
        const std::size_t at = s.wkt.find("height above geoid grid");
        s.vertical = at == std::string::npos ? "height above the geoid" : s.wkt.substr(at, s.wkt.find('"', at) - at);
    } else {
        s.vertical = "ellipsoidal height";
    }
    if (s.point_count > 0) {
        const double max_x = le_f64(h + 179), min_x = le_f64(h + 187), max_y = le_f64(h + 195), min_y = le_f64(h + 203);
        if (!(std::fabs(min_x) <= 360 && std::fabs(max_x) <= 360 && std::fabs(min_y) <= 90 && std::fabs(max_y) <= 90)) {
            fail(name, "X and Y are not longitude and latitude in degrees (bounds beyond 360 and 90)");
        }
        s.bounds = {min_x, max_x, min_y, max_y, false};
    }
    return s;
}

// The scan-point records through the records module's reader, in blocks.
StreamCounts read_scan_points(const PointSource& s, PointBlock& block,
                              const std::function<void(PointBlock&)>& sink) {
    records::ScanPointFile file;
    if (!records::open_scan_points(file, s.points_file, form_of(s))) {
        fail(s.name, "its scan-point file " + s.points_file + " " + why_unreadable(s.points_file));
    }
    StreamCounts counts;
    auto take = [&](const records::ScanPointRecord& p, std::size_t, std::string_view) {
        if (p.is_point && within_poles(p))
            block.points.push_back(geo_of(p));
        else
            ++counts.not_points;
    };
    // Blocks never overrun kBlockPoints: each read asks for at most the room left.
    while (records::visit_scan_points(file, kBlockPoints - block.points.size(), take) > 0) {
        if (block.points.size() == kBlockPoints) {
            counts.points += block.points.size();
            sink(block);
            block.points.clear();
        }
    }
    const records::RecordBlocks& b = file.blocks;
    if (b.problem == records::ReadProblem::PartialRecord) {
        fail(s.name, s.points_file + ": size is not a multiple of " + std::to_string(b.bytes) +
                         " bytes: a partial record of " + std::to_string(b.problem_bytes) + " bytes at offset " +
                         std::to_string(b.problem_offset));
    }
    if (b.problem == records::ReadProblem::Malformed) {
        fail(s.name, s.points_file + ", line " + std::to_string(b.problem_record) + ": not a text scan-point record " +
                         (s.with_group_size ? "with a group size (the run averages)"
                                            : "without a group size (the run does not average)"));
    }
    records::close_records(file.blocks);
    counts.points += block.points.size();
    if (!block.points.empty()) sink(block);
    block.points.clear();
    return counts;
}

StreamCounts read_las_points(const PointSource& s, PointBlock& block, const std::function<void(PointBlock&)>& sink) {
    File f(s.points_file);
    if (f.fd < 0) fail(s.name, "the LAS file " + why_unreadable(s.points_file));
    StreamCounts counts;
    const std::size_t per_read = kBlockPoints;
    std::vector<unsigned char> buffer(per_read * s.record_length);
    std::uint64_t done = 0;
    while (done < s.point_count) {
        const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(per_read, s.point_count - done));
        if (!read_at(f.fd, buffer.data(), n * s.record_length,
                     static_cast<off_t>(s.offset_to_points + done * s.record_length))) {
            fail(s.name, "cannot read point " + std::to_string(done) + " of the LAS file");
        }
        block.points.resize(n);
        const unsigned char* r = buffer.data();
        for (std::size_t k = 0; k < n; ++k, r += s.record_length) {
            block.points[k] = {scanner::le_i32(r) * s.scale[0] + s.offset[0], scanner::le_i32(r + 4) * s.scale[1] + s.offset[1],
                               scanner::le_i32(r + 8) * s.scale[2] + s.offset[2]};
        }
        done += n;
        counts.points += n;
        sink(block);
    }
    block.points.clear();
    return counts;
}

}  // namespace

bool same_content(const std::string& a, const std::string& b) {
    File fa(a), fb(b);
    struct stat sa{}, sb{};
    if (fa.fd < 0 || fb.fd < 0 || ::fstat(fa.fd, &sa) != 0 || ::fstat(fb.fd, &sb) != 0) return false;
    if (sa.st_size != sb.st_size) return false;
    std::vector<char> ba(1 << 16), bb(1 << 16);
    for (off_t at = 0; at < sa.st_size;) {
        const auto n = static_cast<std::size_t>(std::min<off_t>(static_cast<off_t>(ba.size()), sa.st_size - at));
        if (!read_at(fa.fd, ba.data(), n, at) || !read_at(fb.fd, bb.data(), n, at)) return false;
        if (std::memcmp(ba.data(), bb.data(), n) != 0) return false;
        at += static_cast<off_t>(n);
    }
    return true;
}

double las_field_limit(const PointSource& s, int field) {
    return 2147483648.0 * s.scale[field] + std::fabs(s.offset[field]);
}

PointSource open_source(const std::string& name) {
    File f(name);
    if (f.fd < 0) fail(name, "the input " + why_unreadable(name));
    char signature[4] = {};
    if (read_at(f.fd, signature, 4, 0) && std::memcmp(signature, "LASF", 4) == 0) return open_las(name, f.fd);
    struct stat st{};
    if (::fstat(f.fd, &st) == 0 && S_ISDIR(st.st_mode)) fail(name, "the input is a folder");
    return open_run_control(name);
}

StreamCounts stream_points(const PointSource& source, std::uint32_t source_index,
                           const std::function<void(PointBlock&)>& sink) {
    PointBlock block;
    block.source = source_index;
    block.points.reserve(kBlockPoints);
    return source.kind == SourceKind::Las ? read_las_points(source, block, sink) : read_scan_points(source, block, sink);
}

}  // namespace morva::grid
