// The per-measurement hot path of the scan loop: one georeferenced
// measurement in each mode (full, full with calibration, simplified; all with
// a geoid grid), alone and inside the scan loop, and one scan-point record in
// each form. Streams write to /dev/null.

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <memory>

#include "georef/georeference.hpp"
#include "georef/output_point.hpp"
#include "georef/scan_processing.hpp"
#include "run/geoid.hpp"
#include "run/run_control.hpp"
#include "run/trajectory.hpp"
#include "scanner/scan_stream.hpp"
#include "scanner/scanner_header.hpp"
#include "text/out_stream.hpp"

namespace {

using namespace morva;

constexpr std::int32_t kNmeas = 1000;
constexpr double kEpoch = 10.5;  // hours

enum class Mode { Full, Calibrated, Simplified };

// A flight at 60 m/s towards 30 degrees from 52 N 5 E, 300 m up, pitching,
// rolling and yawing, sampled at 10 Hz; a geoid grid of 0.01 degrees around
// it; a scanner with plausible calibration values and 1000 measurements per
// scan over 60 degrees.
struct Survey {
    run::RunControl rc;
    run::TrajectoryTable traj;
    run::GeoidGrid geoid;
    scanner::scanner_header header;
    std::unique_ptr<scanner::ScanTables> tables = std::make_unique<scanner::ScanTables>();
    scanner::ScanStream stream;

    Survey() {
        rc.tstart = kEpoch;
        rc.tend = kEpoch + 1;
        rc.latmin = -90, rc.latmax = 90, rc.lonmin = -180, rc.lonmax = 180;
        rc.navg = 1, rc.nthin = 1, rc.iout_type = 1;
        rc.attitude = true;
        rc.offx = 0.5, rc.offy = 0.2, rc.offz = 1.0;
        rc.scanpt_wanted = true;
        rc.geoid_wanted = true;

        traj.slot = run::allocate_trajectory_slots();
        traj.ntraj = 3000;
        for (std::int32_t k = 1; k <= traj.ntraj + 1; ++k) {
            const double t = (k - 1) * 0.1;  // seconds
            const double north = 60.0 * t * std::cos(30.0 * georef::kDegToRad);
            const double east = 60.0 * t * std::sin(30.0 * georef::kDegToRad);
            traj.slot[k] = {kEpoch + t / 3600.0,
                            52.0 + north * georef::kDegreesPerMetre,
                            5.0 + east * georef::kDegreesPerMetre / std::cos(52.0 * georef::kDegToRad),
                            345.0 + 0.5 * std::sin(t / 5.0),
                            1.0 + 2.0 * std::sin(t / 11.0 * 6.283),
                            0.5 + 3.0 * std::sin(t / 7.0 * 6.283),
                            30.0 + 2.0 * std::sin(t / 13.0 * 6.283),
                            216.0f};
        }

        geoid.glat1 = 51.5, geoid.glat2 = 52.99, geoid.glon1 = 4.5, geoid.glon2 = 5.99;
        geoid.dlat = 0.01, geoid.dlon = 0.01;
        geoid.nlat = 150, geoid.nlon = 150;
        geoid.node.reset(new float[geoid.nlat * geoid.nlon + 1]);
        for (std::int32_t k = 1; k <= geoid.nlat * geoid.nlon; ++k) {
            geoid.node[k] = 45.0f + static_cast<float>(k % 97) * 0.003f;
        }

        header.nmeas = kNmeas;
        header.range_unit = 0.002;
        header.angle_unit = static_cast<double>(0.01f);
        header.timer_unit = 1e-6;
        header.polar_id = 4;
        header.epoch = kEpoch;
        const float a[3] = {0.0125f, -0.0042f, 0.0031f}, b[3] = {0.00042f, -0.00027f, 0.0f};
        const float c[3] = {0.0011f, 0.9999992f, -0.0007f}, d[3] = {0.051f, 0.022f, -0.013f};
        const float e[4][3] = {{0.9999995f, 0.0009f, 0.0004f},
                               {-0.0006f, 0.0008f, 0.9999996f},
                               {-0.9999995f, -0.0007f, 0.0005f},
                               {0.0005f, -0.0009f, -0.9999995f}};
        const float eps[4] = {0.0512f, 0.0508f, 0.0511f, 0.0509f};
        for (int k = 0; k < 3; ++k) {
            header.a[k] = a[k], header.b[k] = b[k], header.c[k] = c[k], header.d[k] = d[k];
            for (int f = 0; f < 4; ++f) header.e[f][k] = e[f][k];
        }
        for (int f = 0; f < 4; ++f) header.eps[f] = eps[f];

        // 1000 beams over 60 degrees (66.7 to 133.3 gon), ranges of a
        // gently undulating ground, 10 microseconds apart.
        for (std::int32_t i = 0; i < kNmeas; ++i) {
            const std::uint32_t count = 6667 + static_cast<std::uint32_t>(i) * 6667 / kNmeas * 2;
            tables->scan_angle[i] = header.angle_unit * 2.0 * (count / 2);
            const double alpha = (tables->scan_angle[i] - 100.0) * georef::kGonToRad;
            tables->scan_range[i] = std::round((335.0 / std::cos(alpha) + 0.3 * std::sin(i * 0.1)) / 0.002) * 0.002;
            tables->scan_timer[i] = i * 1e-5;
            tables->scan_ampl[i] = (i * 37) & 0xFF;
        }
        stream.epoch = kEpoch;
        stream.nscan = 2;
        stream.scanno = 2;
        stream.tsec = 60;
        stream.tfrac = 0.25;
    }

    void set_mode(Mode mode) {
        rc.full_georef = mode != Mode::Simplified;
        rc.use_cal = mode == Mode::Calibrated;
    }
};

Survey& survey() {
    static Survey s;
    return s;
}

text::OutStream& null_stream(int k) {
    static text::OutStream out[4];
    if (out[k].fd < 0 && !text::open_out(out[k], "/dev/null")) std::abort();
    return out[k];
}

// georef::locate alone: pose given, measurement by measurement along a scan.
void BM_LocateMeasurement(benchmark::State& state) {
    Survey& s = survey();
    s.set_mode(static_cast<Mode>(state.range(0)));
    const georef::Model model{&s.rc, &s.geoid, &s.header};
    std::int32_t jtraj = 1;
    const double thr0 = georef::measurement_time(s.stream.epoch, s.stream.tsec, 0, s.stream.tfrac, 0);
    const georef::Interval at = georef::advance(s.traj, jtraj, thr0);
    georef::Pose pose;
    georef::interpolate_position(s.traj, at, pose);
    georef::interpolate_attitude(s.traj, at, s.rc, pose);
    std::int32_t i = 0;
    for (auto _ : state) {
        georef::GroundPoint p;
        // The attitude moves a little with every measurement, as it does in flight.
        pose.roll += 1e-9;
        georef::locate(model, pose, thr0, s.tables->scan_range[i], s.tables->scan_angle[i], s.stream.scanno, p);
        benchmark::DoNotOptimize(p.h);
        i = i + 1 == kNmeas ? 0 : i + 1;
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_LocateMeasurement)->ArgName("mode")->Arg(0)->Arg(1)->Arg(2);

// One measurement as the scan loop handles it, without a scan-point file:
// time, trajectory interpolation, area test, ground point, geoid, correction,
// statistics, centre-point test. The scan's time moves on with every pass.
void BM_GeoreferenceInScan(benchmark::State& state) {
    Survey& s = survey();
    s.set_mode(static_cast<Mode>(state.range(0)));
    s.rc.scanpt_wanted = false;
    const georef::SurveyInputs in{&s.rc, &s.traj, &s.geoid, &s.header};
    const georef::SurveyOutputs out{nullptr, &null_stream(0), &null_stream(1), &null_stream(2)};
    auto run_state = std::make_unique<georef::RunState>();
    scanner::ScanStream scan = s.stream;
    for (auto _ : state) {
        georef::process_scan(in, out, *run_state, scan, *s.tables, kNmeas);
        scan.nscan += 1;
        scan.scanno += 1;
        scan.tfrac += 0.01;
        if (scan.tfrac > 250) {  // back to the start of the trajectory
            scan.tfrac = 0.25;
            run_state->jtraj = 1;
        }
    }
    s.rc.scanpt_wanted = true;
    state.SetItemsProcessed(state.iterations() * kNmeas);
}
BENCHMARK(BM_GeoreferenceInScan)->ArgName("mode")->Arg(0)->Arg(1)->Arg(2);

georef::scanpt point_at(std::int64_t k) {
    georef::scanpt p{};
    p.thr = 10.5 + static_cast<double>(k) * 1.2345678901e-7;
    p.lat = 52.1234567 + static_cast<double>(k % 1009) * 1.0987654321e-7;
    p.lon = 4.6543210 + static_cast<double>(k % 777) * 1.7654321e-7;
    p.h = -3.0 + static_cast<double>(k % 5003) * 0.00213579;
    p.ampl = static_cast<std::uint8_t>(k * 37);
    p.i = static_cast<std::int32_t>(k % 999 + 1);
    p.n = 3;
    return p;
}

// The scan-point record as the output stage writes it: text (arg 0), text
// with the group size (arg 1), binary.
void BM_TextRecord(benchmark::State& state) {
    text::OutStream& out = null_stream(3);
    const bool averaged = state.range(0) != 0;
    std::int64_t k = 0;
    for (auto _ : state) georef::write_text_record(out, point_at(k++), averaged);
    state.SetItemsProcessed(state.iterations());
    state.SetBytesProcessed(state.iterations() * (averaged ? 52 : 49));
}
BENCHMARK(BM_TextRecord)->ArgName("averaged")->Arg(0)->Arg(1);

void BM_BinaryRecord(benchmark::State& state) {
    text::OutStream& out = null_stream(3);
    std::int64_t k = 0;
    for (auto _ : state) georef::write_binary_record(out, point_at(k++));
    state.SetItemsProcessed(state.iterations());
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(georef::kBinaryRecordSize));
}
BENCHMARK(BM_BinaryRecord);

}  // namespace
