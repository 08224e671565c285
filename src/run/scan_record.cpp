#include "run/scan_record.hpp"

#include <utility>

#include "georef/output_point.hpp"
#include "numeric/numeric.hpp"
#include "text/layout.hpp"

namespace morva::run {
namespace {

constexpr double kCentreConsoleHours = 0.0083333f;  // single precision, 30 s less 0.12 ms

void print_centre_line(const georef::PointEvent& e) {
    static const text::Layout line = text::layout(R"(" " 2I6 F11.7 F10.6 F11.6 F8.2 1X I3 1X B7.7)");
    const georef::scanpt& p = e.p;
    text::write_fixed(text::console(), line,
                      {e.nscan, e.scanno, p.thr, p.lat, p.lon, p.h, static_cast<std::int8_t>(p.ampl), e.gpsflags});
}

}  // namespace

std::int32_t record_scan(const georef::SurveyInputs& in, const scanner::ScanStream& scan, const std::uint8_t* raw,
                         std::int32_t jtraj, scanner::ScanTables& tables, ScanResults& r, ScanMarks& marks) {
    ScanRecorder recorder(r, marks);
    return georef::georeference_scan(in, scan, raw, jtraj, tables, recorder);
}

void clear_results(ScanResults& r) {
    for (text::OutStream& s : r.bytes) text::clear(s);
    r.log.clear();
    r.points.clear();
    r.regression.clear();
    r.tally = georef::ScanTally{};
    r.current = georef::kScanOutputs;
    r.mark = 0;
}

void replay_scan(const SurveyOutputs& out, RunState& state, const ScanResults& r, std::size_t from,
                 const ScanMarks& marks, std::size_t offsets[georef::kScanOutputs]) {
    text::OutStream* const targets[georef::kScanOutputs] = {out.scanpt, out.pcorr, out.test, &text::console()};
    for (std::size_t k = from; k < marks.log_end; ++k) {
        const LogEntry& e = r.log[k];
        if (e.kind == LogEntry::Bytes) {
            text::put_bytes(*targets[e.sink], r.bytes[e.sink].buffer.get() + offsets[e.sink], e.n);
            offsets[e.sink] += e.n;
            continue;
        }
        if (e.kind == LogEntry::ArcsineWarning) {
            if (!std::exchange(state.arcsine_warned, true)) numeric::warn_arcsine_domain();
            continue;
        }
        const georef::PointEvent& ev = r.points[e.n];
        const georef::scanpt& p = ev.p;
        if (!ev.first || (state.alpha_prev < 0 && p.alpha >= 0)) {
            if (ev.nscan == 1 || p.thr - state.tlast_centre > kCentreConsoleHours) {
                print_centre_line(ev);
                state.tlast_centre = p.thr;
            }
            georef::write_centre_record(*out.cent, p);
        }
        if (ev.first) {
            state.alpha_prev = p.alpha;
            georef::time_gap_test(state.stats, ev.gap_t, ev.gap_i, ev.nscan);
        }
    }
    if (marks.has_points) {
        state.alpha_prev = marks.last_alpha;
        state.stats.tprev = marks.last_thr;
    }
}

void merge_results(RunState& state, const ScanResults& r) {
    georef::RunStats& s = state.stats;
    const georef::RunStats& b = r.tally.stats;
    // The minimum of the minima in order keeps the first of equal values, as
    // one minimum over everything in order does; likewise the maximum.
    const auto merge = [](double part_min, double part_max, double& min, double& max) {
        min = part_min < min ? part_min : min;
        max = part_max > max ? part_max : max;
    };
    merge(b.range_min, b.range_max, s.range_min, s.range_max);
    merge(b.elevation_min, b.elevation_max, s.elevation_min, s.elevation_max);
    merge(b.correction_min, b.correction_max, s.correction_min, s.correction_max);
    merge(b.height_min, b.height_max, s.height_min, s.height_max);
    merge(b.lat_min, b.lat_max, s.lat_min, s.lat_max);
    merge(b.lon_min, b.lon_max, s.lon_min, s.lon_max);
    s.npts += r.tally.npts;

    // Counts add; the first batch with any sets the range, as the first
    // measurement does.
    const auto merge_span = [&](std::int64_t part_n, double part_min, double part_max, std::int64_t& n, double& min,
                                double& max) {
        if (part_n == 0) return;
        if (n == 0) min = part_min, max = part_max;
        merge(part_min, part_max, min, max);
        n += part_n;
    };
    georef::OutsideSpan& o = state.outside;
    const georef::OutsideSpan& p = r.tally.outside;
    merge_span(p.before, p.before_min, p.before_max, o.before, o.before_min, o.before_max);
    merge_span(p.after, p.after_min, p.after_max, o.after, o.after_min, o.after_max);
}

}  // namespace morva::run
