#include "las_export.hpp"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "records/record_file.hpp"
#include "text/out_stream.hpp"
#include "text/stop.hpp"

namespace morva::las {
namespace {

std::string temporary;

constexpr std::int32_t kPoleE7 = 900000000;  // 90 degrees in 10^-7 degree

[[noreturn]] void fail(const std::string& message) { text::stop_run("morva-las: " + message); }

std::string folder_of(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// Created new (never over an existing file) beside the output, so that the
// final rename stays within one file system.
int create_temporary(const std::string& output) {
    const std::string folder = folder_of(output);
    const std::string base = output.substr(output.rfind('/') == std::string::npos ? 0 : output.rfind('/') + 1);
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = folder + "/." + base + ".partial-" + std::to_string(::getpid());
        if (attempt > 0) name += "-" + std::to_string(attempt);
        const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            temporary = name;
            return fd;
        }
        if (errno != EEXIST) fail("cannot create a file in " + folder + ": " + std::strerror(errno));
    }
    fail("cannot create a temporary file in " + folder);
}

struct Converter {
    const ExportPlan& plan;
    text::OutStream& out;
    std::size_t extra;
    std::size_t record;
    Bounds bounds;
    ExportCounts counts;

    [[gnu::always_inline]] void point(const ScanPointRecord& p) {
        // A latitude beyond a pole is no position (a field that overflowed,
        // a record not of this run): skipped and counted as a record without one.
        if (p.lat_e7 < -kPoleE7 || p.lat_e7 > kPoleE7) {
            ++counts.not_points;
            return;
        }
        extend(bounds, static_cast<std::int32_t>(p.lon_e7), static_cast<std::int32_t>(p.lat_e7), p.h_mm);
        encode_point(p, gps_time(plan.time, p.thr_e7), plan.point_source_id, extra,
                     reinterpret_cast<unsigned char*>(text::reserve(out, record)));
        text::commit(out, record);
        ++counts.points;
        counts.unknown_amplitude += !p.ampl_known;
    }
};

[[noreturn]] void bad_line(const ExportPlan& plan, std::int64_t line, std::string_view text, bool beyond_las) {
    std::string message = plan.scan_points + ", line " + std::to_string(line) + ": ";
    if (beyond_las) {
        message += "a value beyond its LAS field (latitude or longitude beyond +-214.7483647 degrees, "
                   "group size above 255)";
    } else {
        message += plan.with_group_size ? "not a text scan-point record with a group size (the run averages)"
                                        : "not a text scan-point record without a group size (the run does not average)";
    }
    fail(message + ": " + text::quote_excerpt(text.substr(0, 60)));
}

void convert(Converter& c) {
    const records::ScanPointForm form = c.plan.binary            ? records::ScanPointForm::Binary
                                        : c.plan.with_group_size ? records::ScanPointForm::TextWithGroupSize
                                                                 : records::ScanPointForm::Text;
    records::ScanPointFile file;
    if (!records::open_scan_points(file, c.plan.scan_points, form)) {
        fail("cannot read the scan-point file " + c.plan.scan_points + ": " + unreadable(c.plan.scan_points));
    }
    const bool binary = form == records::ScanPointForm::Binary;
    // Each record goes on as it is decoded, without a pass through memory.
    auto take = [&](const ScanPointRecord& p, std::size_t k, std::string_view bytes) {
        if (!p.is_point) {
            ++c.counts.not_points;
        } else if (binary || fits_las(p)) {  // binary coordinates are 32-bit already
            c.point(p);
        } else {
            bad_line(c.plan, file.blocks.first + static_cast<std::int64_t>(k) + 1, bytes, true);
        }
    };
    while (records::visit_scan_points(file, 1 << 16, take) > 0) {
    }
    const records::RecordBlocks& b = file.blocks;
    if (b.problem == records::ReadProblem::PartialRecord) {
        fail(c.plan.scan_points + ": size is not a multiple of " + std::to_string(b.bytes) +
             " bytes: a partial record of " + std::to_string(b.problem_bytes) + " bytes at offset " +
             std::to_string(b.problem_offset));
    }
    if (b.problem == records::ReadProblem::Malformed) bad_line(c.plan, b.problem_record, b.problem_text, false);
    records::close_records(file.blocks);
}

void write_at(int fd, const void* data, std::size_t size, off_t offset, const std::string& name) {
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = ::pwrite(fd, p, size, offset);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) fail("cannot write " + name + ": " + std::strerror(errno));
        p += n;
        size -= static_cast<std::size_t>(n);
        offset += n;
    }
}

}  // namespace

const std::string& temporary_output() { return temporary; }

std::string unreadable(const std::string& path) {
    struct stat st{};
    if (::stat(path.c_str(), &st) != 0) return path + " does not exist or cannot be reached";
    if (S_ISDIR(st.st_mode)) return path + " is a folder";
    return path + " cannot be read";
}

ExportCounts export_las(const ExportPlan& plan) {
    Header header = plan.header;
    const std::string wkt = wkt_vlr(plan.wkt, plan.wkt_description);
    const std::string eb = plan.binary ? std::string() : extra_bytes_vlr(plan.with_group_size);
    header.vlr_count = plan.binary ? 1 : 2;
    header.offset_to_points = static_cast<std::uint32_t>(kHeaderSize + wkt.size() + eb.size());
    const std::size_t extra = extra_bytes(!plan.binary, plan.with_group_size);
    header.record_length = static_cast<std::uint16_t>(kFormat6Size + extra);

    const int fd = create_temporary(plan.output);
    text::OutStream out;
    text::attach_out(out, fd, plan.output);
    // The header is written again, complete, at the end.
    unsigned char head[kHeaderSize];
    encode_header(header, head);
    text::put(out, {reinterpret_cast<const char*>(head), kHeaderSize});
    text::put(out, wkt);
    text::put(out, eb);

    Converter c{plan, out, extra, header.record_length, {}, {}};
    convert(c);
    text::flush(out);

    header.point_count = c.counts.points;
    header.bounds = c.bounds;
    encode_header(header, head);
    write_at(fd, head, kHeaderSize, 0, plan.output);
    text::close_out(out);
    if (::rename(temporary.c_str(), plan.output.c_str()) != 0) {
        fail("cannot rename " + temporary + " to " + plan.output + ": " + std::strerror(errno));
    }
    temporary.clear();
    return c.counts;
}

}  // namespace morva::las
