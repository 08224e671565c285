#include "georef/scan_processing.hpp"

#include <cmath>

#include "georef/georeference.hpp"
#include "numeric/numeric.hpp"
#include "scanner/calibration.hpp"
#include "text/layout.hpp"

namespace morva::georef {
namespace {

constexpr double kCentreConsoleHours = 0.0083333f;  // single precision, 30 s less 0.12 ms
constexpr double kRadToDeg = 57.29577951289617;

// Ends the run of bytes of the current sink with its log entry.
void close_run(ScanResults& r) {
    if (r.current == kSinks) return;
    const std::size_t n = r.bytes[r.current].used - r.mark;
    if (n > 0) r.log.push_back({LogEntry::Bytes, r.current, static_cast<std::uint32_t>(n)});
    r.current = kSinks;
}

// The memory stream of `sink`, its bytes logged after everything before.
text::OutStream& sink(ScanResults& r, Sink s) {
    if (r.current != s) {
        close_run(r);
        r.current = s;
        r.mark = r.bytes[s].used;
    }
    // A run stays below 4 GiB for the log's count: a batch never holds that much.
    return r.bytes[s];
}

void write_calibration_record(text::OutStream& out, const scanner::ScanStream& scan, std::int32_t i,
                              const GroundPoint& p) {
    static const text::Layout record = text::layout(R"("test " 2I6 I4 2F7.1 " r" 3F8.2 " u" 3F8.2)");
    text::write_fixed(out, record,
                      {scan.nscan, scan.scanno, i, p.alpha * kRadToDeg, p.theta * kRadToDeg, p.body[0], p.body[1],
                       p.body[2], p.body_uncal[0], p.body_uncal[1], p.body_uncal[2]});
}

void write_correction_record(text::OutStream& out, double xscan, double h, double pcorr) {
    static const text::Layout record = text::layout("3F9.3");
    text::write_fixed(out, record, {xscan, h, pcorr});
}

void print_centre_line(const PointEvent& e) {
    static const text::Layout line = text::layout(R"(" " 2I6 F11.7 F10.6 F11.6 F8.2 1X I3 1X B7.7)");
    const scanpt& p = e.p;
    text::write_fixed(text::console(), line,
                      {e.nscan, e.scanno, p.thr, p.lat, p.lon, p.h, static_cast<std::int8_t>(p.ampl), e.gpsflags});
}

// What the worker carries through one scan.
struct ScanCursor {
    OutputGroup group;
    bool first = true;       // no output point yet in this scan
    double alpha_prev = 0;   // of the previous output point in this scan
    double tprev = 0;        // measurement time of that point
};

// The output stage for one accepted measurement.
void emit(const inputs::RunControl& rc, const scanner::ScanStream& scan, const Accepted& m, ScanCursor& c,
          ScanResults& r, ScanMarks& marks) {
    scanpt p;
    if (!form_point(c.group, rc.navg, m, p)) return;

    if (rc.scanpt_wanted) {
        track(p.lat, r.stats.lat_min, r.stats.lat_max);
        track(p.lon, r.stats.lon_min, r.stats.lon_max);
        track(p.h, r.stats.height_min, r.stats.height_max);
        text::OutStream& out = sink(r, kScanpt);
        if (rc.binary_output) write_binary_record(out, p);
        else write_text_record(out, p, rc.navg > 1);
    }

    // The first point of a scan is decided in scan order, against the last
    // point of the scans before; a later one when the beam has just passed
    // the nadir.
    if (c.first || (c.alpha_prev < 0 && p.alpha >= 0)) {
        close_run(r);
        r.log.push_back({LogEntry::Point, kScanpt, static_cast<std::uint32_t>(r.points.size())});
        r.points.push_back({p, m.thr, m.i, scan.nscan, scan.scanno, scan.gpsflags, c.first});
    }
    c.alpha_prev = p.alpha;

    r.npts += 1;
    if (rc.regression_on) {
        r.regression.push_back(p.h);
        r.regression.push_back(p.xscan);
    }
    if (!c.first) {
        const double delta = std::fabs(m.thr - c.tprev);
        if (is_time_gap(delta, m.i, scan.nscan)) {
            report_time_gap(sink(r, kConsole), m.thr, delta, m.i, scan.nscan);
        }
    }
    c.first = false;
    c.tprev = m.thr;
    marks.has_points = true;
    marks.last_alpha = p.alpha;
    marks.last_thr = m.thr;
}

// Off the hot path: taken only for measurements outside the trajectory.
[[gnu::noinline, gnu::cold]] void note_outside_span(OutsideSpan& o, double thr, double first) {
    if (thr < first) {
        if (o.before++ == 0) o.before_min = o.before_max = thr;
        track(thr, o.before_min, o.before_max);
    } else {
        if (o.after++ == 0) o.after_min = o.after_max = thr;
        track(thr, o.after_min, o.after_max);
    }
}

// The measurements of one processed scan, in the mode G chosen for the run.
template <Geodesy G>
std::int32_t georeference_measurements(const SurveyInputs& in, const scanner::ScanStream& scan,
                                       const scanner::ScanTables& tables, std::int32_t jtraj, ScanResults& r,
                                       ScanMarks& marks) {
    const inputs::RunControl& rc = *in.rc;
    const inputs::TrajectoryTable& traj = *in.trajectory;
    const std::int32_t nmeas = in.header->nmeas;
    const Model model{in.rc, in.geoid, in.header, G};

    const double span_first = traj.slot[1].thr;
    const double span_last = traj.slot[traj.ntraj].thr;

    ScanCursor c;
    // The calibration's arcsine warning belongs before the first calibrated
    // measurement of the run; each scan marks its first, the ordered stage
    // prints the first mark.
    bool arcsine_mark = rc.full_georef && rc.use_cal && scanner::beam_outside_arcsine(*in.header);
    const bool calibration_records = rc.full_georef && rc.use_cal && scan.nscan % 10 == 1;
    const bool correction_records = scan.nscan % 500 == 1;
    for (std::int32_t i = 1; i <= nmeas; ++i) {
        const double thr = measurement_time(scan.epoch, scan.tsec, tables.scan_timer[i - 1], scan.tfrac, scan.dtsec);
        const double range = tables.scan_range[i - 1];
        if (range < kMinRange) continue;

        if (thr < span_first || thr > span_last) [[unlikely]] note_outside_span(r.outside, thr, span_first);
        const Interval at = advance(traj, jtraj, thr);
        Pose pose;
        interpolate_position(traj, at, pose);
        if (!inside_area(rc, pose.lat, pose.lon)) continue;
        track(range, r.stats.range_min, r.stats.range_max);
        track(pose.airh, r.stats.elevation_min, r.stats.elevation_max);
        interpolate_attitude(traj, at, rc, pose);

        if (arcsine_mark) {
            arcsine_mark = false;
            close_run(r);
            r.log.push_back({LogEntry::ArcsineWarning, kConsole, 0});
        }
        GroundPoint p;
        locate_in<G>(model, pose, thr, range, tables.scan_angle[i - 1], scan.scanno, p);
        if (calibration_records && i % 10 == 1) write_calibration_record(sink(r, kTest), scan, i, p);

        const double xscan = across_scan_position(i, nmeas);
        const double pcorr = height_correction(rc.pcoef, xscan);
        if (correction_records && std::fabs(p.h) < 3.0) write_correction_record(sink(r, kPcorr), xscan, p.h, pcorr);
        track(pcorr, r.stats.correction_min, r.stats.correction_max);

        const Accepted m{thr, p.lat, p.lon, p.h - pcorr, pose.airh, p.alpha, xscan, range, tables.scan_ampl[i - 1], i};
        emit(rc, scan, m, c, r, marks);
    }
    return jtraj;
}

}  // namespace

ScanDecision scan_test(const scanner::ScanStream& scan, const inputs::RunControl& rc) {
    if (scan.tscan > rc.tend) return ScanDecision::End;
    if (rc.nthin > 1 && scan.nscan % rc.nthin != 1) return ScanDecision::Skip;
    return ScanDecision::Process;
}

std::int32_t advance_over_scan(const SurveyInputs& in, const scanner::ScanStream& scan, const std::uint8_t* raw,
                               std::int32_t jtraj) {
    const inputs::TrajectoryTable& traj = *in.trajectory;
    if (traj.ntraj < 2) return jtraj;
    const scanner::scanner_header& hdr = *in.header;
    const std::int32_t nmeas = hdr.nmeas > 0 ? hdr.nmeas : 0;
    const double range_unit = hdr.range_unit;
    const double timer_unit = hdr.timer_unit;
    for (std::int32_t i = 0; i < nmeas; ++i, raw += scanner::kMeasurementBytes) {
        const double r = range_unit * scanner::measurement_range(raw);
        if (r < kMinRange) continue;
        const double timer = timer_unit * scanner::measurement_timer(raw);
        const double thr = measurement_time(scan.epoch, scan.tsec, timer, scan.tfrac, scan.dtsec);
        advance(traj, jtraj, thr);
    }
    return jtraj;
}

void clear_results(ScanResults& r) {
    for (text::OutStream& s : r.bytes) text::clear(s);
    r.log.clear();
    r.points.clear();
    r.regression.clear();
    r.stats = RunStats{};
    r.outside = OutsideSpan{};
    r.npts = 0;
    r.current = kSinks;
    r.mark = 0;
}

std::int32_t georeference_scan(const SurveyInputs& in, const scanner::ScanStream& scan, const std::uint8_t* raw,
                       std::int32_t jtraj, scanner::ScanTables& tables, ScanResults& r, ScanMarks& marks) {
    scanner::decode_measurements(raw, *in.header, scan.nsector, tables);
    return georeference_tables(in, scan, tables, jtraj, r, marks);
}

std::int32_t georeference_tables(const SurveyInputs& in, const scanner::ScanStream& scan, const scanner::ScanTables& tables,
                         std::int32_t jtraj, ScanResults& r, ScanMarks& marks) {
    struct CloseAtEnd {  // also when a stop leaves the scan part way
        ScanResults& r;
        ScanMarks& marks;
        ~CloseAtEnd() {
            close_run(r);
            marks.log_end = r.log.size();
        }
    } close_at_end{r, marks};

    // Without two trajectory records there is no interval to interpolate in.
    if (in.trajectory->ntraj < 2) return jtraj;
    if (in.geodesy == Geodesy::Ellipsoid) {
        return georeference_measurements<Geodesy::Ellipsoid>(in, scan, tables, jtraj, r, marks);
    }
    return georeference_measurements<Geodesy::Flat>(in, scan, tables, jtraj, r, marks);
}

void replay_scan(const SurveyOutputs& out, RunState& state, const ScanResults& r, std::size_t from,
                 const ScanMarks& marks, std::size_t offsets[kSinks]) {
    text::OutStream* const targets[kSinks] = {out.scanpt, out.pcorr, out.test, &text::console()};
    for (std::size_t k = from; k < marks.log_end; ++k) {
        const LogEntry& e = r.log[k];
        if (e.kind == LogEntry::Bytes) {
            text::put_bytes(*targets[e.sink], r.bytes[e.sink].buffer.get() + offsets[e.sink], e.n);
            offsets[e.sink] += e.n;
            continue;
        }
        if (e.kind == LogEntry::ArcsineWarning) {
            if (!state.arcsine_warned) numeric::warn_arcsine_domain();
            state.arcsine_warned = true;
            continue;
        }
        const PointEvent& ev = r.points[e.n];
        const scanpt& p = ev.p;
        if (!ev.first || (state.alpha_prev < 0 && p.alpha >= 0)) {
            if (ev.nscan == 1 || p.thr - state.tlast_centre > kCentreConsoleHours) {
                print_centre_line(ev);
                state.tlast_centre = p.thr;
            }
            write_centre_record(*out.cent, p);
        }
        if (ev.first) {
            state.alpha_prev = p.alpha;
            time_gap_test(state.stats, ev.gap_t, ev.gap_i, ev.nscan);
        }
    }
    if (marks.has_points) {
        state.alpha_prev = marks.last_alpha;
        state.stats.tprev = marks.last_thr;
    }
}

void merge_results(RunState& state, const ScanResults& r) {
    RunStats& s = state.stats;
    const RunStats& b = r.stats;
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
    s.npts += r.npts;

    // Counts add; the first batch with any sets the range, as the first
    // measurement does.
    const auto merge_span = [&](std::int64_t part_n, double part_min, double part_max, std::int64_t& n, double& min,
                                double& max) {
        if (part_n == 0) return;
        if (n == 0) min = part_min, max = part_max;
        merge(part_min, part_max, min, max);
        n += part_n;
    };
    OutsideSpan& o = state.outside;
    const OutsideSpan& p = r.outside;
    merge_span(p.before, p.before_min, p.before_max, o.before, o.before_min, o.before_max);
    merge_span(p.after, p.after_min, p.after_max, o.after, o.after_min, o.after_max);
}

}  // namespace morva::georef
