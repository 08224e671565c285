#include "scan_point_export.hpp"

#include "unreadable.hpp"

#include <algorithm>
#include <chrono>
#include <optional>
#include <vector>

#include "records/record_file.hpp"
#include "las_writer.hpp"
#include "staged_files.hpp"
#include "text/out_stream.hpp"
#include "text/stop.hpp"

namespace morva::common {
namespace {

constexpr std::int32_t kPoleE7 = 900000000;  // 90 degrees in 10^-7 degree

// The coordinate system record: the WKT with its terminating NUL.
LasRecord wkt_record(std::string_view wkt, std::string_view description) {
    LasRecord r{"LASF_Projection", 2112, std::string(description), {wkt.begin(), wkt.end()}, false};
    r.payload.push_back(0);
    return r;
}

// Extra Bytes declaration: measurement_index (uint16) and, with averaging,
// group_size (uint8); no scale, offset, no-data, minimum or maximum.
LasRecord extra_bytes_record(bool with_group_size) {
    struct Dimension {
        unsigned char data_type;  // 1 unsigned char, 3 unsigned short
        const char* name;
        const char* description;
    };
    const Dimension dims[2] = {{3, "measurement_index", "index of the measurement in scan"},
                               {1, "group_size", "measurements averaged"}};
    const int count = with_group_size ? 2 : 1;
    std::vector<std::uint8_t> payload(192 * count, 0);
    for (int k = 0; k < count; ++k) {
        auto* d = payload.data() + 192 * k;
        d[2] = dims[k].data_type;
        d[3] = 0;  // options: no no-data value, minimum, maximum, scale or offset
        put_chars(d + 4, 32, dims[k].name);
        put_chars(d + 160, 32, dims[k].description);
    }
    return {"LASF_Spec", 4, "extra bytes", std::move(payload), false};
}

// A stop, named as the calling program's.
[[noreturn]] void fail(const ExportPlan& plan, const std::string& message) {
    text::stop_run(plan.program + ": " + message);
}

// The stops of what the records go to (the writer), named as the program's.
template <typename Call>
void named(const ExportPlan& plan, Call call) {
    try {
        call();
    } catch (const text::RunStopped& stop) {
        fail(plan, stop.line);
    }
}

struct Converter {
    const ExportPlan& plan;
    text::OutStream* out;  // memory until the coordinate system is known, then a block for the sink
    std::size_t extra;
    std::size_t record;
    const LasRecordSink* sink;  // once the coordinate system is known
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
        auto* b = reinterpret_cast<unsigned char*>(text::reserve(*out, record));
        encode_point(p, gps_time(plan.time, p.thr_e7), plan.point_source_id, extra, b);
        put_i32(b, x);
        put_i32(b + 4, y);
        text::commit(*out, record);
        ++counts.points;
        counts.unknown_amplitude += !p.ampl_known;
        if (sink != nullptr && out->used >= kBlockBytes) hand_over();
    }

    static constexpr std::size_t kBlockBytes = std::size_t{1} << 20;

    // The records of the block to the sink.
    void hand_over() {
        if (out->used > 0) {
            named(plan, [&] { sink->records(reinterpret_cast<const std::uint8_t*>(out->buffer.get()), out->used / record); });
        }
        out->used = 0;
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
            if (!project_xy(p, n, xs.data(), ys.data(), why)) fail(plan, why);
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
    fail(plan, message + ": " + text::quote_excerpt(text.substr(0, 60)));
}

// Reads every record into the converter; between blocks of records, between().
template <typename Between>
void convert(Converter& c, Between between) {
    const records::ScanPointForm form = c.plan.binary            ? records::ScanPointForm::Binary
                                        : c.plan.with_group_size ? records::ScanPointForm::TextWithGroupSize
                                                                 : records::ScanPointForm::Text;
    records::ScanPointFile file;
    if (!records::open_scan_points(file, c.plan.scan_points, form)) {
        fail(c.plan, "cannot read the scan-point file " + c.plan.scan_points + ": " + common::unreadable(c.plan.scan_points));
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
 fail(c.plan, c.plan.scan_points + ": size is not a multiple of " + std::to_string(b.bytes) +
             " bytes: a partial record of " + std::to_string(b.problem_bytes) + " bytes at offset " +
             std::to_string(b.problem_offset));
    }
    if (b.problem == records::ReadProblem::Malformed) bad_line(c.plan, b.problem_record, b.problem_text, false);
    records::close_records(file.blocks);
}

}  // namespace

ExportCounts scan_points_to_las(const ExportPlan& plan, std::future<CoordinateSystem> crs, const LasRecordSink& sink) {
    const std::size_t extra = extra_bytes(!plan.binary, plan.with_group_size);
    const std::size_t record = kFormat6Size + extra;

    text::OutStream early;  // points converted before the coordinate system is known
    text::OutStream block;  // points on their way to the sink
    Converter c{plan, &early, extra, record, nullptr, {}, !plan.geographic, SIZE_MAX, {}, {}, {}, {}};
    // Room for all of them at once: memory is only taken as it is written.
    if (plan.geographic) text::make_room(early, kEarlyBytes + (std::size_t{4} << 20));
    else c.held.reserve(kEarlyBytes / sizeof(ScanPointRecord) + (1 << 16));

    // Once the coordinate system is known: the sink begins with the header
    // and records, then takes what was converted meanwhile.
    bool known = false;
    auto begin = [&] {
        CoordinateSystem cs = crs.get();
        known = true;
        if (!cs.error.empty()) fail(plan, cs.error);
        common::LasWriterSetup setup;
        common::LasHeader& h = setup.header;
        h.version_minor = 4;
        h.point_format = 6;
        h.record_length = static_cast<std::uint16_t>(record);
        h.extra_bytes = static_cast<std::uint16_t>(extra);
        h.file_source_id = plan.header.file_source_id;
        h.global_encoding = plan.header.global_encoding;
        h.creation_day = plan.header.creation_day;
        h.creation_year = plan.header.creation_year;
        h.scale[0] = h.scale[1] = cs.scale_xy;
        h.scale[2] = kScaleZ;
        h.offset[0] = cs.offset_x;
        h.offset[1] = cs.offset_y;
        h.records.push_back(wkt_record(cs.wkt, plan.wkt_description));
        if (!plan.binary) h.records.push_back(extra_bytes_record(plan.with_group_size));
        setup.generating_software = plan.header.generating_software;
        named(plan, [&] { sink.begin(setup); });
        c.sink = &sink;
        c.hand_over();
        early.buffer.reset();
        early.capacity = 0;
        text::make_room(block, Converter::kBlockBytes + record);
        c.out = &block;
        c.project_xy = std::move(cs.project_xy);
        c.hold = static_cast<bool>(c.project_xy);
        c.hold_limit = Converter::kProjectBatch;
        c.flush_held();
        c.held.shrink_to_fit();
    };
    auto crs_ready = [&] { return crs.wait_for(std::chrono::seconds(0)) == std::future_status::ready; };

    try {
        convert(c, [&] {
            if (!known && (c.early_bytes() >= kEarlyBytes || crs_ready())) begin();
        });
        if (!known) begin();
    } catch (const text::RunStopped&) {
        // PROJ's failure is told first, as when it was made before reading the points.
        if (!known) {
            known = true;
            const CoordinateSystem cs = crs.get();
            if (!cs.error.empty()) fail(plan, cs.error);
        }
        throw;
    }
    c.flush_held();
    c.hand_over();
    return c.counts;
}

ExportCounts export_las(const ExportPlan& plan, std::future<CoordinateSystem> crs) {
    // The file under a fresh temporary name beside the output (beside the file
    // it names, for a link), renamed into place only when complete.
    common::StagedFiles staged;
    std::optional<common::LasWriter> writer;
    LasRecordSink sink;
    sink.begin = [&](common::LasWriterSetup& setup) {
        setup.compress = plan.compress;
        setup.threads = plan.threads;
        writer.emplace(staged, plan.output, setup);
    };
    sink.records = [&](const std::uint8_t* records, std::size_t count) { writer->write(records, count); };
    const ExportCounts counts = scan_points_to_las(plan, std::move(crs), sink);
    named(plan, [&] {
        writer->finish();
        staged.commit();
    });
    return counts;
}

}  // namespace morva::common
