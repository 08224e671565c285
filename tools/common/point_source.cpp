#include "point_source.hpp"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "campaign_records.hpp"
#include "heights.hpp"
#include "inputs/run_control.hpp"
#include "las_crs.hpp"
#include "las_reader.hpp"
#include "records/record_file.hpp"
#include "scanner/byte_reader.hpp"
#include "text/stop.hpp"
#include "text/text_reader.hpp"
#include "unreadable.hpp"

namespace morva::common {
namespace {

[[noreturn]] void fail(const std::string& name, const std::string& problem) { text::stop_run(name + ": " + problem); }

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
        if (!read_at(f.fd, buffer, record, index * record)) continue;
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
        if (!text::open_in(in, name)) fail(name, "the run control " + common::unreadable_reason(name));
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
    if (!rc.scanpt_wanted) fail(name, "the run control names no scan-point file (0): there are no points");
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
    s.scanner_file = beside(name, inputs::trimmed(rc.scanfile));
    s.binary = rc.binary_output;
    s.with_group_size = !rc.binary_output && rc.navg > 1;
    s.vertical = common::vertical_meaning(s.named_geoid);
    s.roles = run_files(rc, name, folder_of(name));
    {
        File f(s.points_file);
        if (f.fd < 0) fail(name, "its scan-point file " + s.points_file + " " + common::unreadable_reason(s.points_file));
    }
    s.bounds = sample_bounds(s);
    struct stat st{};
    if (::stat(s.points_file.c_str(), &st) == 0) s.records = static_cast<std::uint64_t>(st.st_size) / records::record_bytes(form_of(s));
    return s;
}

// The vertical meaning of morva-las's own files, from their WKT record.
std::string morva_vertical(const std::string& wkt) {
    const std::size_t at = wkt.find(common::kAboveGeoidGrid);
    if (wkt.find("GEOIDMODEL") != std::string::npos || at != std::string::npos) {
        return at == std::string::npos ? "height above the geoid" : wkt.substr(at, wkt.find('"', at) - at);
    }
    return "ellipsoidal height";
}

PointSource open_las(const std::string& name, const std::string& input_crs) {
    const common::LasReader reader(name);  // checks the header and its records
    const common::LasHeader& h = reader.header();
    PointSource s;
    s.name = name;
    s.kind = SourceKind::Las;
    s.points_file = name;
    s.roles = {{name, "the LAS input"}};
    for (inputs::RunFile& f : campaign_records(folder_of(name))) s.roles.push_back(std::move(f));
    s.point_count = h.point_count;
    s.records = h.point_count;
    std::copy_n(h.scale, 3, s.scale);
    std::copy_n(h.offset, 3, s.offset);
    std::string wkt, description;
    if (const common::LasRecord* r = common::find_record(h, "LASF_Projection", 2112)) {
        wkt.assign(r->payload.begin(), r->payload.end());
        wkt.resize(strnlen(wkt.c_str(), wkt.size()));
        description = r->description;
    }
    const bool by_morva = description == "exact ellipsoidal georeferencing" || description == "flat-earth georeferencing";
    if (by_morva) s.geodesy = description == "flat-earth georeferencing" ? georef::Geodesy::Flat : georef::Geodesy::Ellipsoid;
    std::string from;
    std::string crs = common::las_crs_text(h, from);
    if (crs.empty()) {
        if (input_crs.empty()) fail(name, "the file states no coordinate system; give it with --input-crs CRS");
        crs = input_crs;
        from = "--input-crs";
    }
    const common::CrsFacts facts = common::crs_facts(crs);
    if (!facts.error.empty()) fail(name, "the coordinate system of " + from + " is " + facts.error);
    s.crs = facts.horizontal;
    s.crs_name = facts.name;
    s.vertical_crs = facts.vertical;
    s.projected = facts.kind == common::CrsKind::Projected;
    if (!s.projected && facts.name == "WGS 84") {
        // As the runs' own points are: no other CRS needed.
        s.crs.clear();
        s.crs_name.clear();
    }
    s.vertical = by_morva ? morva_vertical(wkt)
                          : "heights as stored (" + (facts.heights.empty() ? facts.name : facts.heights) + ")";
    if (s.point_count > 0 && !s.projected) {
        const double min_x = h.min[0], max_x = h.max[0], min_y = h.min[1], max_y = h.max[1];
        if (!(std::fabs(min_x) <= 360 && std::fabs(max_x) <= 360 && std::fabs(min_y) <= 90 && std::fabs(max_y) <= 90)) {
            fail(name, "X and Y are not longitude and latitude in degrees (bounds beyond 360 and 90), as " + from +
                           " (" + facts.name + ") says");
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
        fail(s.name, "its scan-point file " + s.points_file + " " + common::unreadable_reason(s.points_file));
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
    common::LasReader reader(s.points_file, common::LasFields::Geometry);
    StreamCounts counts;
    std::vector<common::LasPoint> points;
    while (reader.read(points, kBlockPoints)) {
        block.points.clear();
        for (const common::LasPoint& p : points) {
            if (s.filter.keeps(p)) block.points.push_back({p.x, p.y, p.z});
        }
        counts.filtered += points.size() - block.points.size();
        counts.points += block.points.size();
        if (!block.points.empty()) sink(block);
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

PointSource open_source(const std::string& name, const std::string& input_crs) {
    File f(name);
    if (f.fd < 0) fail(name, "the input " + common::unreadable_reason(name));
    char signature[4] = {};
    if (read_at(f.fd, signature, 4, 0) && std::memcmp(signature, "LASF", 4) == 0) return open_las(name, input_crs);
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

}  // namespace morva::common
