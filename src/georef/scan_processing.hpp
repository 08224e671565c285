#pragma once
// The georeferencing of one scan: for each of its measurements the road from
// its ten bytes to an output point, its records and diagnostics, handed in
// order to a sink. What depends on the scans before (centre points and their
// console lines, the time-gap test of a scan's first point) is handed on as
// a point event for whoever puts the scans in order.

#include <cmath>
#include <concepts>
#include <cstddef>
#include <cstdint>

#include "georef/georeference.hpp"
#include "georef/output_point.hpp"
#include "georef/run_stats.hpp"
#include "inputs/geoid.hpp"
#include "inputs/run_control.hpp"
#include "inputs/trajectory.hpp"
#include "scanner/calibration.hpp"
#include "scanner/scan_stream.hpp"
#include "scanner/scanner_header.hpp"
#include "text/out_stream.hpp"

namespace morva::georef {

// Read-only inputs of the scan loop.
struct SurveyInputs {
    const inputs::RunControl* rc;
    const inputs::TrajectoryTable* trajectory;
    const inputs::GeoidGrid* geoid;             // null when no grid is loaded
    const scanner::scanner_header* header;
    Geodesy geodesy = Geodesy::Flat;  // from metres to degrees in the full mode
};

// Measurements whose time lies before the trajectory's first record or after
// its last: their positions hold that end record.
struct OutsideSpan {
    std::int64_t before = 0, after = 0;
    double before_min = 0, before_max = 0;  // their times, decimal hours
    double after_min = 0, after_max = 0;
};

enum class ScanDecision { End, Skip, Process };

// For a scan not before the window: end of the loop after tend, thinning.
ScanDecision scan_test(const scanner::ScanStream& scan, const inputs::RunControl& rc);

// The forward-only trajectory cursor after the measurements of one processed
// scan, from where it stood before it (what georeference_scan does to it,
// without the rest): the reader carries it so that any scan can start from
// the position the sequential loop would have.
std::int32_t advance_over_scan(const SurveyInputs& in, const scanner::ScanStream& scan, const std::uint8_t* raw,
                               std::int32_t jtraj);

// The outputs a scan writes bytes to.
enum ScanOutput : std::uint8_t { kScanpt, kPcorr, kTest, kConsole, kScanOutputs };

// An output point the ordered stage must look at: the first of its scan
// (centre test against the previous scan's last point, time-gap test), or a
// later one where the beam passed the nadir.
struct PointEvent {
    scanpt p;
    double gap_t;         // time and index of its measurement, for the gap test
    std::int32_t gap_i;
    std::int32_t nscan, scanno;
    std::uint8_t gpsflags;
    bool first;
};

// Statistics over the scans a sink has received.
struct ScanTally {
    RunStats stats;       // from the sentinels
    OutsideSpan outside;
    std::int32_t npts = 0;
};

// What a scan's georeferencing hands on, in the order it makes it. The loop
// is a template on its sink, so that no call per measurement is virtual.
template <class S>
concept ScanSink = requires(S& s, ScanOutput o, const PointEvent& e, double a, double b) {
    { s.bytes(o) } -> std::same_as<text::OutStream&>;  // bytes for output o, after everything before
    s.point(e);               // an output point the ordered stage must look at
    s.arcsine_warning();      // the calibration's warning, before the first calibrated measurement
    s.regression_pair(a, b);  // (h, xscan) of an output point
    s.last_point(a, b);       // (alpha, thr) of the scan's latest output point
    { s.tally() } -> std::same_as<ScanTally&>;
};

// Georeferences one processed scan from its raw measurement bytes, the
// cursor where the scan starts, into `sink`; `tables` is working memory.
template <ScanSink S>
std::int32_t georeference_scan(const SurveyInputs& in, const scanner::ScanStream& scan, const std::uint8_t* raw,
                               std::int32_t jtraj, scanner::ScanTables& tables, S& sink);
// The same from its decoded measurements. Both return the cursor after the scan.
template <ScanSink S>
std::int32_t georeference_tables(const SurveyInputs& in, const scanner::ScanStream& scan,
                                 const scanner::ScanTables& tables, std::int32_t jtraj, S& sink);

namespace detail {

void write_calibration_record(text::OutStream& out, const scanner::ScanStream& scan, std::int32_t i,
                              const GroundPoint& p);
void write_correction_record(text::OutStream& out, double xscan, double h, double pcorr);
// Off the hot path: taken only for measurements outside the trajectory.
[[gnu::noinline, gnu::cold]] void note_outside_span(OutsideSpan& o, double thr, double first);

// What the loop carries through one scan.
struct ScanCursor {
    OutputGroup group;
    bool first = true;       // no output point yet in this scan
    double alpha_prev = 0;   // of the previous output point in this scan
    double tprev = 0;        // measurement time of that point
};

// The output stage for one accepted measurement.
template <ScanSink S>
void emit(const inputs::RunControl& rc, const scanner::ScanStream& scan, const Accepted& m, ScanCursor& c, S& sink) {
    scanpt p;
    if (!form_point(c.group, rc.navg, m, p)) return;

    ScanTally& tally = sink.tally();
    if (rc.scanpt_wanted) {
        track(p.lat, tally.stats.lat_min, tally.stats.lat_max);
        track(p.lon, tally.stats.lon_min, tally.stats.lon_max);
        track(p.h, tally.stats.height_min, tally.stats.height_max);
        text::OutStream& out = sink.bytes(kScanpt);
        if (rc.binary_output) write_binary_record(out, p);
        else write_text_record(out, p, rc.navg > 1);
    }

    // The first point of a scan is decided in scan order, against the last
    // point of the scans before; a later one when the beam has just passed
    // the nadir.
    if (c.first || (c.alpha_prev < 0 && p.alpha >= 0)) {
        sink.point(PointEvent{p, m.thr, m.i, scan.nscan, scan.scanno, scan.gpsflags, c.first});
    }
    c.alpha_prev = p.alpha;

    tally.npts += 1;
    if (rc.regression_on) sink.regression_pair(p.h, p.xscan);
    if (!c.first) {
        const double delta = std::fabs(m.thr - c.tprev);
        if (is_time_gap(delta, m.i, scan.nscan)) report_time_gap(sink.bytes(kConsole), m.thr, delta, m.i, scan.nscan);
    }
    c.first = false;
    c.tprev = m.thr;
    sink.last_point(p.alpha, m.thr);
}

// The measurements of one processed scan, in the mode G chosen for the run.
template <Geodesy G, ScanSink S>
std::int32_t georeference_measurements(const SurveyInputs& in, const scanner::ScanStream& scan,
                                       const scanner::ScanTables& tables, std::int32_t jtraj, S& sink) {
    const inputs::RunControl& rc = *in.rc;
    const inputs::TrajectoryTable& traj = *in.trajectory;
    const std::int32_t nmeas = in.header->nmeas;
    const Model model{in.rc, in.geoid, in.header, G};
    ScanTally& tally = sink.tally();

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

        if (thr < span_first || thr > span_last) [[unlikely]] note_outside_span(tally.outside, thr, span_first);
        const Interval at = advance(traj, jtraj, thr);
        Pose pose;
        interpolate_position(traj, at, pose);
        if (!inside_area(rc, pose.lat, pose.lon)) continue;
        track(range, tally.stats.range_min, tally.stats.range_max);
        track(pose.airh, tally.stats.elevation_min, tally.stats.elevation_max);
        interpolate_attitude(traj, at, rc, pose);

        if (arcsine_mark) {
            arcsine_mark = false;
            sink.arcsine_warning();
        }
        GroundPoint p;
        locate_in<G>(model, pose, thr, range, tables.scan_angle[i - 1], scan.scanno, p);
        if (calibration_records && i % 10 == 1) write_calibration_record(sink.bytes(kTest), scan, i, p);

        const double xscan = across_scan_position(i, nmeas);
        const double pcorr = height_correction(rc.pcoef, xscan);
        if (correction_records && std::fabs(p.h) < 3.0) write_correction_record(sink.bytes(kPcorr), xscan, p.h, pcorr);
        track(pcorr, tally.stats.correction_min, tally.stats.correction_max);

        const Accepted m{thr, p.lat, p.lon, p.h - pcorr, pose.airh, p.alpha, xscan, range, tables.scan_ampl[i - 1], i};
        emit(rc, scan, m, c, sink);
    }
    return jtraj;
}

}  // namespace detail

template <ScanSink S>
std::int32_t georeference_scan(const SurveyInputs& in, const scanner::ScanStream& scan, const std::uint8_t* raw,
                               std::int32_t jtraj, scanner::ScanTables& tables, S& sink) {
    scanner::decode_measurements(raw, *in.header, scan.nsector, tables);
    return georeference_tables(in, scan, tables, jtraj, sink);
}

template <ScanSink S>
std::int32_t georeference_tables(const SurveyInputs& in, const scanner::ScanStream& scan,
                                 const scanner::ScanTables& tables, std::int32_t jtraj, S& sink) {
    // Without two trajectory records there is no interval to interpolate in.
    if (in.trajectory->ntraj < 2) return jtraj;
    if (in.geodesy == Geodesy::Ellipsoid) {
        return detail::georeference_measurements<Geodesy::Ellipsoid>(in, scan, tables, jtraj, sink);
    }
    return detail::georeference_measurements<Geodesy::Flat>(in, scan, tables, jtraj, sink);
}

}  // namespace morva::georef
