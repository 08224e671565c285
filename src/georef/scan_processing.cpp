#include "georef/scan_processing.hpp"

#include "text/layout.hpp"

namespace morva::georef {
namespace {

constexpr double kRadToDeg = 57.29577951289617;

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

namespace detail {

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

void note_outside_span(OutsideSpan& o, double thr, double first) {
    if (thr < first) {
        if (o.before++ == 0) o.before_min = o.before_max = thr;
        track(thr, o.before_min, o.before_max);
    } else {
        if (o.after++ == 0) o.after_min = o.after_max = thr;
        track(thr, o.after_min, o.after_max);
    }
}

}  // namespace detail
}  // namespace morva::georef
