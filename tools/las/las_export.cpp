#include "las_export.hpp"

#include "unreadable.hpp"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "records/record_file.hpp"
#include "staged_files.hpp"
#include "text/out_stream.hpp"
#include "text/stop.hpp"

namespace morva::las {
namespace {

constexpr std::int32_t kPoleE7 = 900000000;  // 90 degrees in 10^-7 degree

[[noreturn]] void fail(const std::string& message) { text::stop_run("morva-las: " + message); }

struct Converter {
    const ExportPlan& plan;
    text::OutStream* out;  // memory until the coordinate system is known, then the file
    std::size_t extra;
    std::size_t record;
    Bounds bounds;
    ExportCounts counts;

    // Records held rather than written: until the coordinate system is
    // known (unless plan.geographic), then while a batch for projection fills.
    bool hold;
    std::size_t hold_limit;
    ProjectXY project_xy;
    std::vector<ScanPointRecord> held;
    std::vector<std::int32_t> xs, ys;

    static constexpr std::size_t kProjectBatch = 1 << 16;

    [[gnu::always_inline]] void point(const ScanPointRecord& p) {
        // A latitude beyond a pole is no position (a field that overflowed,
        // a record not of this run): skipped and counted as a record without one.
        if (p.lat_e7 < -kPoleE7 || p.lat_e7 > kPoleE7) {
            ++counts.not_points;
            return;
        }
        if (hold) {
            held.push_back(p);
            if (held.size() >= hold_limit) flush_held();
            return;
        }
        write(p, static_cast<std::int32_t>(p.lon_e7), static_cast<std::int32_t>(p.lat_e7));
    }

    [[gnu::always_inline]] void write(const ScanPointRecord& p, std::int32_t x, std::int32_t y) {
        extend(bounds, x, y, p.h_mm);
        auto* b = reinterpret_cast<unsigned char*>(text::reserve(*out, record));
        encode_point(p, gps_time(plan.time, p.thr_e7), plan.point_source_id, extra, b);
        put_i32(b, x);
        put_i32(b + 4, y);
        text::commit(*out, record);
        ++counts.points;
        counts.unknown_amplitude += !p.ampl_known;
    }

    // The held records, projected in batches when X and Y are projected.
    void flush_held() {
        for (std::size_t from = 0; from < held.size(); from += kProjectBatch) {
            const std::size_t n = std::min(kProjectBatch, held.size() - from);
            const ScanPointRecord* p = held.data() + from;
            if (!project_xy) {
                for (std::size_t k = 0; k < n; ++k) {
                    write(p[k], static_cast<std::int32_t>(p[k].lon_e7), static_cast<std::int32_t>(p[k].lat_e7));
                }
                continue;
            }
            xs.resize(n);
            ys.resize(n);
            std::string why;
            if (!project_xy(p, n, xs.data(), ys.data(), why)) fail(why);
            for (std::size_t k = 0; k < n; ++k) write(p[k], xs[k], ys[k]);
        }
        held.clear();
    }

    std::size_t early_bytes() const { return out->used + held.size() * sizeof(ScanPointRecord); }
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

// Reads every record into the converter; between blocks of records, between().
template <typename Between>
void convert(Converter& c, Between between) {
    const records::ScanPointForm form = c.plan.binary            ? records::ScanPointForm::Binary
                                        : c.plan.with_group_size ? records::ScanPointForm::TextWithGroupSize
                                                                 : records::ScanPointForm::Text;
    records::ScanPointFile file;
    if (!records::open_scan_points(file, c.plan.scan_points, form)) {
        fail("cannot read the scan-point file " + c.plan.scan_points + ": " + common::unreadable(c.plan.scan_points));
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
    while (records::visit_scan_points(file, 1 << 16, take) > 0) between();
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

ExportCounts export_las(const ExportPlan& plan, std::future<CoordinateSystem> crs) {
    Header header = plan.header;
    const std::size_t extra = extra_bytes(!plan.binary, plan.with_group_size);
    header.record_length = static_cast<std::uint16_t>(kFormat6Size + extra);

    text::OutStream early;  // points converted before the coordinate system is known
    text::OutStream file;
    Converter c{plan, &early, extra, header.record_length, {}, {}, !plan.geographic, SIZE_MAX, {}, {}, {}, {}};
    // Room for all of them at once: memory is only taken as it is written.
    if (plan.geographic) text::make_room(early, kEarlyBytes + (std::size_t{4} << 20));
    else c.held.reserve(kEarlyBytes / sizeof(ScanPointRecord) + (1 << 16));

    // Once the coordinate system is known: the header (written again,
    // complete, at the end) and the records, then what was converted meanwhile.
    bool known = false;
    auto begin_file = [&] {
        CoordinateSystem cs = crs.get();
        known = true;
        if (!cs.error.empty()) fail(cs.error);
        header.scale[0] = header.scale[1] = cs.scale_xy;
        header.offset[0] = cs.offset_x;
        header.offset[1] = cs.offset_y;
        const std::string wkt = wkt_vlr(cs.wkt, plan.wkt_description);
        const std::string eb = plan.binary ? std::string() : extra_bytes_vlr(plan.with_group_size);
        header.vlr_count = plan.binary ? 1 : 2;
        header.offset_to_points = static_cast<std::uint32_t>(kHeaderSize + wkt.size() + eb.size());
        unsigned char head[kHeaderSize];
        encode_header(header, head);
        text::put(file, {reinterpret_cast<const char*>(head), kHeaderSize});
        text::put(file, wkt);
        text::put(file, eb);
        text::put_bytes(file, early.buffer.get(), early.used);
        early.buffer.reset();
        early.used = early.capacity = 0;
        c.out = &file;
        c.project_xy = std::move(cs.project_xy);
        c.hold = static_cast<bool>(c.project_xy);
        c.hold_limit = Converter::kProjectBatch;
        c.flush_held();
        c.held.shrink_to_fit();
    };
    auto crs_ready = [&] { return crs.wait_for(std::chrono::seconds(0)) == std::future_status::ready; };

    // The file under a fresh temporary name beside the output (beside the file
    // it names, for a link), renamed into place only when complete.
    common::StagedFiles staged;
    try {
        std::string temp;
        try {
            temp = staged.add(plan.output);
        } catch (const text::RunStopped& stop) {
            fail(stop.line);
        }
        const int fd = ::open(temp.c_str(), O_WRONLY | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0) fail("cannot write " + plan.output + ": " + std::strerror(errno));
        text::attach_out(file, fd, plan.output);
        convert(c, [&] {
            if (!known && (c.early_bytes() >= kEarlyBytes || crs_ready())) begin_file();
        });
        if (!known) begin_file();
    } catch (const text::RunStopped&) {
        // PROJ's failure is told first, as when it was made before reading the points.
        if (!known) {
            known = true;
            const CoordinateSystem cs = crs.get();
            if (!cs.error.empty()) fail(cs.error);
        }
        throw;
    }
    c.flush_held();
    text::flush(file);

    header.point_count = c.counts.points;
    header.bounds = c.bounds;
    unsigned char head[kHeaderSize];
    encode_header(header, head);
    write_at(file.fd, head, kHeaderSize, 0, plan.output);
    text::close_out(file);
    try {
        staged.commit();
    } catch (const text::RunStopped& stop) {
        fail(stop.line);
    }
    return c.counts;
}

}  // namespace morva::las
