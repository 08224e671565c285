#include "las_export.hpp"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "scanner/byte_reader.hpp"
#include "text/out_stream.hpp"
#include "text/stop.hpp"
#include "text/text_reader.hpp"

namespace morva::las {
namespace {

std::string temporary;

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

    // Projected X and Y: points held until a batch is full, then projected together.
    std::vector<ScanPoint> held;
    std::vector<std::int32_t> xs, ys;

    [[gnu::always_inline]] void point(const ScanPoint& p) {
        if (plan.project_xy) {
            held.push_back(p);
            if (held.size() == kProjectBatch) flush_projected();
            return;
        }
        extend(bounds, p.lon_e7, p.lat_e7, p.h_mm);
        encode_point(p, gps_time(plan.time, p.thr_e7), plan.point_source_id, extra,
                     reinterpret_cast<unsigned char*>(text::reserve(out, record)));
        text::commit(out, record);
        ++counts.points;
        counts.unknown_amplitude += !p.ampl_known;
    }

    static constexpr std::size_t kProjectBatch = 1 << 16;

    void flush_projected() {
        xs.resize(held.size());
        ys.resize(held.size());
        std::string why;
        if (!plan.project_xy(held.data(), held.size(), xs.data(), ys.data(), why)) fail(why);
        for (std::size_t k = 0; k < held.size(); ++k) {
            const ScanPoint& p = held[k];
            extend(bounds, xs[k], ys[k], p.h_mm);
            auto* b = reinterpret_cast<unsigned char*>(text::reserve(out, record));
            encode_point(p, gps_time(plan.time, p.thr_e7), plan.point_source_id, extra, b);
            put_i32(b, xs[k]);
            put_i32(b + 4, ys[k]);
            text::commit(out, record);
            ++counts.points;
            counts.unknown_amplitude += !p.ampl_known;
        }
        held.clear();
    }
};

void convert_binary(Converter& c) {
    scanner::ByteReader in;
    if (!scanner::open_bytes(in, c.plan.scan_points)) {
        fail("cannot read the scan-point file " + c.plan.scan_points + ": " + unreadable(c.plan.scan_points));
    }
    ScanPoint p;
    for (;;) {
        const std::size_t held = scanner::ensure(in, kBinaryRecord);
        if (held < kBinaryRecord) {
            if (held > 0) {
                fail(c.plan.scan_points + ": size is not a multiple of 18 bytes: a partial record of " +
                     std::to_string(held) + " bytes at offset " + std::to_string(in.dropped + in.begin));
            }
            break;
        }
        // Every whole record held, without a call per record.
        const unsigned char* r = in.buffer.get() + in.begin;
        const std::size_t n = held / kBinaryRecord;
        for (std::size_t k = 0; k < n; ++k, r += kBinaryRecord) {
            if (decode_binary(r, p) == Decoded::Point)
                c.point(p);
            else
                ++c.counts.not_points;
        }
        in.begin += n * kBinaryRecord;
    }
    scanner::close_bytes(in);
}

[[noreturn]] void bad_line(const ExportPlan& plan, std::int64_t line, std::string_view text, Decoded why) {
    std::string message = plan.scan_points + ", line " + std::to_string(line) + ": ";
    if (why == Decoded::OutOfRange) {
        message += "a value beyond its LAS field (latitude or longitude beyond +-214.7483647 degrees, "
                   "group size above 255)";
    } else {
        message += plan.with_group_size ? "not a text scan-point record with a group size (the run averages)"
                                        : "not a text scan-point record without a group size (the run does not average)";
    }
    fail(message + ": " + text::quote_excerpt(text.substr(0, 60)));
}

void convert_text(Converter& c) {
    text::TextReader in;
    if (!text::open_in(in, c.plan.scan_points)) {
        fail("cannot read the scan-point file " + c.plan.scan_points + ": " + unreadable(c.plan.scan_points));
    }
    // Records are 48 or 51 characters: a longer run without a line end is no record.
    constexpr std::size_t kLongest = 64;
    const std::size_t record_length = text_record_length(c.plan.with_group_size);
    std::int64_t line = 0;
    ScanPoint p;
    auto take = [&](const char* s, std::size_t length) {
        ++line;
        const Decoded d = decode_text(s, length, c.plan.with_group_size, p);
        if (d == Decoded::Point)
            c.point(p);
        else if (d == Decoded::NotAPoint)
            ++c.counts.not_points;
        else
            bad_line(c.plan, line, {s, length}, d);
    };
    for (;;) {
        const char* start = in.buffer.get() + in.begin;
        const std::size_t held = in.end - in.begin;
        // Every record of a file has one length: look there for its line end first.
        const char* nl = held > record_length && start[record_length] == '\n' ? start + record_length
                         : held > 0 ? static_cast<const char*>(std::memchr(start, '\n', held))
                                    : nullptr;
        if (nl != nullptr) {
            const auto length = static_cast<std::size_t>(nl - start);
            take(start, length);
            in.begin += length + 1;
            continue;
        }
        if (held > kLongest) bad_line(c.plan, line + 1, {start, held}, Decoded::Malformed);
        if (!in.drained) {
            text::fill_more(in);
            continue;
        }
        if (held > 0) take(start, held);  // a last line without its line end
        break;
    }
    text::close_in(in);
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

    Converter c{plan, out, extra, header.record_length, {}, {}, {}, {}, {}};
    if (plan.binary)
        convert_binary(c);
    else
        convert_text(c);
    if (!c.held.empty()) c.flush_projected();
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
