#include "georef/scan_processing.hpp"

#include <cmath>

#include "georef/georeference.hpp"
#include "text/layout.hpp"

namespace morva::georef {
namespace {

constexpr double kCentreConsoleHours = 0.0083333f;  // single precision, 30 s less 0.12 ms
constexpr double kRadToDeg = 57.29577951289617;

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

void print_centre_line(const scanner::ScanStream& scan, const scanpt& p) {
    static const text::Layout line = text::layout(R"(" " 2I6 F11.7 F10.6 F11.6 F8.2 1X I3 1X B7.7)");
    text::write_fixed(text::console(), line,
                      {scan.nscan, scan.scanno, p.thr, p.lat, p.lon, p.h, static_cast<std::int8_t>(p.ampl),
                       scan.gpsflags});
}

// The output stage for one accepted measurement.
void emit(const SurveyInputs& in, const SurveyOutputs& out, RunState& state, const scanner::ScanStream& scan,
          const Accepted& m) {
    const inputs::RunControl& rc = *in.rc;
    scanpt p;
    if (!form_point(state.group, rc.navg, m, p)) return;

    if (out.scanpt != nullptr) {
        track(p.lat, state.stats.lat_min, state.stats.lat_max);
        track(p.lon, state.stats.lon_min, state.stats.lon_max);
        track(p.h, state.stats.height_min, state.stats.height_max);
        if (rc.binary_output) write_binary_record(*out.scanpt, p);
        else write_text_record(*out.scanpt, p, rc.navg > 1);
    }

    // The beam has just passed the nadir; the previous point may lie in the
    // previous scan.
    if (state.alpha_prev < 0 && p.alpha >= 0) {
        if (scan.nscan == 1 || p.thr - state.tlast_centre > kCentreConsoleHours) {
            print_centre_line(scan, p);
            state.tlast_centre = p.thr;
        }
        write_centre_record(*out.cent, p);
    }
    state.alpha_prev = p.alpha;

    state.stats.npts += 1;
    if (rc.regression_on) regression::accumulate(state.sums, p.h, p.xscan, rc.nparams);
    time_gap_test(state.stats, m.thr, m.i, scan.nscan);
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
void process_measurements(const SurveyInputs& in, const SurveyOutputs& out, RunState& state,
                          const scanner::ScanStream& scan, const scanner::ScanTables& tables, std::int32_t nmeas) {
    const inputs::RunControl& rc = *in.rc;
    const inputs::TrajectoryTable& traj = *in.trajectory;
    const Model model{in.rc, in.geoid, in.header, G};
    const double span_first = traj.slot[1].thr;
    const double span_last = traj.slot[traj.ntraj].thr;

    const bool calibration_records = rc.full_georef && rc.use_cal && scan.nscan % 10 == 1;
    const bool correction_records = scan.nscan % 500 == 1;
    for (std::int32_t i = 1; i <= nmeas; ++i) {
        const double thr = measurement_time(scan.epoch, scan.tsec, tables.scan_timer[i - 1], scan.tfrac, scan.dtsec);
        const double r = tables.scan_range[i - 1];
        if (r < kMinRange) continue;

        if (thr < span_first || thr > span_last) [[unlikely]] note_outside_span(state.outside, thr, span_first);
        const Interval at = advance(traj, state.jtraj, thr);
        Pose pose;
        interpolate_position(traj, at, pose);
        if (!inside_area(rc, pose.lat, pose.lon)) continue;
        track(r, state.stats.range_min, state.stats.range_max);
        track(pose.airh, state.stats.elevation_min, state.stats.elevation_max);
        interpolate_attitude(traj, at, rc, pose);

        GroundPoint p;
        locate_in<G>(model, pose, thr, r, tables.scan_angle[i - 1], scan.scanno, p);
        if (calibration_records && i % 10 == 1) write_calibration_record(*out.test, scan, i, p);

        const double xscan = across_scan_position(i, nmeas);
        const double pcorr = height_correction(rc.pcoef, xscan);
        if (correction_records && std::fabs(p.h) < 3.0) write_correction_record(*out.pcorr, xscan, p.h, pcorr);
        track(pcorr, state.stats.correction_min, state.stats.correction_max);

        const Accepted m{thr, p.lat, p.lon, p.h - pcorr, pose.airh, p.alpha, xscan, r, tables.scan_ampl[i - 1], i};
        emit(in, out, state, scan, m);
    }
}

}  // namespace

ScanDecision scan_test(const scanner::ScanStream& scan, const inputs::RunControl& rc) {
    if (scan.tscan > rc.tend) return ScanDecision::End;
    if (rc.nthin > 1 && scan.nscan % rc.nthin != 1) return ScanDecision::Skip;
    return ScanDecision::Process;
}

void process_scan(const SurveyInputs& in, const SurveyOutputs& out, RunState& state,
                  const scanner::ScanStream& scan, const scanner::ScanTables& tables, std::int32_t nmeas) {
    state.group = OutputGroup{};
    // Without two trajectory records there is no interval to interpolate in.
    if (in.trajectory->ntraj < 2) return;
    if (in.geodesy == Geodesy::Ellipsoid) {
        process_measurements<Geodesy::Ellipsoid>(in, out, state, scan, tables, nmeas);
    } else {
        process_measurements<Geodesy::Flat>(in, out, state, scan, tables, nmeas);
    }
}

}  // namespace morva::georef
