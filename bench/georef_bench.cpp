// The per-measurement hot path of the scan loop: one georeferenced
// measurement in each mode (full, full with calibration, simplified; all with
// a geoid grid; the full ones on a flat earth and on the ellipsoid), alone and
// inside the scan loop, the scanner calibration
// alone, and one scan-point record in each form, written and read back.
// Streams write to /dev/null.

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "georef/georeference.hpp"
#include "georef/output_point.hpp"
#include "georef/scan_processing.hpp"
#include "inputs/geoid.hpp"
#include "inputs/run_control.hpp"
#include "inputs/trajectory.hpp"
#include "records/record_file.hpp"
#include "run/scan_record.hpp"
#include "scanner/calibration.hpp"
#include "scanner/scan_stream.hpp"
#include "scanner/scanner_header.hpp"
#include "survey.hpp"
#include "text/out_stream.hpp"

#include <unistd.h>

namespace {

using namespace morva;

constexpr std::int32_t kNmeas = 1000;

enum class Mode { Full, Calibrated, Simplified };

// The survey of the throughput benchmark, 30 s of it, as the simulator
// builds it: 1000 measurements per scan over 60 degrees, 100 scans per
// second, a flight pitching, rolling and yawing, a lever arm, calibration
// values in the header and a geoid grid. The ranges are those to a level
// ground 335 m below, waved a little.
struct Survey {
    sim::Survey s;
    std::unique_ptr<scanner::ScanTables> tables = std::make_unique<scanner::ScanTables>();
    scanner::ScanStream stream;

    Survey() {
        sim::SimOptions o;
        o.nmeas = kNmeas;
        o.scan_rate = 100;
        o.duration = 30;
        o.pitch = {1, 2, 11};
        o.roll = {0.5, 3, 7};
        o.yaw = {0, 2, 13};
        o.lever[0] = 0.5, o.lever[1] = 0.2, o.lever[2] = 1;
        o.calibration = true;
        std::string error;
        if (!sim::build_survey(o, s, error)) std::abort();
        s.rc.scanpt_wanted = true;
        for (std::int32_t i = 0; i < kNmeas; ++i) {
            tables->scan_angle[i] = s.scan_angle[static_cast<std::size_t>(i)];
            tables->scan_timer[i] = s.timer_seconds[static_cast<std::size_t>(i)];
            const double alpha = s.alpha[static_cast<std::size_t>(i)];
            tables->scan_range[i] = std::round((335.0 / std::cos(alpha) + 0.3 * std::sin(i * 0.1)) / 0.002) * 0.002;
            tables->scan_ampl[i] = (i * 37) & 0xFF;
        }
        stream.epoch = s.epoch;
        stream.nscan = 2;
        stream.scanno = 2;
        stream.tsec = std::floor(s.table.slot[1].thr * 3600.0 - s.epoch * 3600.0) + 1.0;
        stream.tfrac = 0.25;
    }

    void set_mode(Mode mode) {
        s.rc.full_georef = mode != Mode::Simplified;
        s.rc.use_cal = mode == Mode::Calibrated;
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
    Survey& b = survey();
    b.set_mode(static_cast<Mode>(state.range(0)));
    sim::Survey& s = b.s;
    const georef::Geodesy geodesy = state.range(1) ? georef::Geodesy::Ellipsoid : georef::Geodesy::Flat;
    const georef::Model model{&s.rc, &s.geoid, &s.hdr, geodesy};
    std::int32_t jtraj = 1;
    const double thr0 = georef::measurement_time(b.stream.epoch, b.stream.tsec, 0, b.stream.tfrac, 0);
    const georef::Interval at = georef::advance(s.table, jtraj, thr0);
    georef::Pose pose;
    georef::interpolate_position(s.table, at, pose);
    georef::interpolate_attitude(s.table, at, s.rc, pose);
    std::int32_t i = 0;
    for (auto _ : state) {
        georef::GroundPoint p;
        // The attitude moves a little with every measurement, as it does in flight.
        pose.roll += 1e-9;
        georef::locate(model, pose, thr0, b.tables->scan_range[i], b.tables->scan_angle[i], b.stream.scanno, p);
        benchmark::DoNotOptimize(p.h);
        i = i + 1 == kNmeas ? 0 : i + 1;
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_LocateMeasurement)
    ->ArgNames({"mode", "ellipsoid"})
    ->Args({0, 0})->Args({0, 1})->Args({1, 0})->Args({1, 1})->Args({2, 0});

// One measurement as the scan loop handles it, without a scan-point file:
// time, trajectory interpolation, area test, ground point, geoid, correction,
// statistics, centre-point test. The scan's time moves on with every pass.
void BM_GeoreferenceInScan(benchmark::State& state) {
    Survey& b = survey();
    b.set_mode(static_cast<Mode>(state.range(0)));
    sim::Survey& s = b.s;
    s.rc.scanpt_wanted = false;
    const georef::Geodesy geodesy = state.range(1) ? georef::Geodesy::Ellipsoid : georef::Geodesy::Flat;
    const georef::SurveyInputs in{&s.rc, &s.table, &s.geoid, &s.hdr, geodesy};
    auto results = std::make_unique<run::ScanResults>();
    std::int32_t jtraj = 1;
    std::int64_t npts = 0;
    scanner::ScanStream scan = b.stream;
    for (auto _ : state) {
        run::ScanMarks marks;
        {
            run::ScanRecorder recorder(*results, marks);
            jtraj = georef::georeference_tables(in, scan, *b.tables, jtraj, recorder);
        }
        npts += results->tally.npts;
        run::clear_results(*results);
        scan.nscan += 1;
        scan.scanno += 1;
        scan.tfrac += 0.01;
        if (scan.tfrac > 28) {  // back to the start of the trajectory
            scan.tfrac = 0.25;
            jtraj = 1;
        }
    }
    s.rc.scanpt_wanted = true;
    state.SetItemsProcessed(state.iterations() * kNmeas);
    // Every measurement becomes a point: none is rejected on the way.
    state.counters["points_per_measurement"] =
        static_cast<double>(npts) / static_cast<double>(state.iterations() * kNmeas);
}
BENCHMARK(BM_GeoreferenceInScan)
    ->ArgNames({"mode", "ellipsoid"})
    ->Args({0, 0})->Args({0, 1})->Args({1, 0})->Args({1, 1})->Args({2, 0});

// The calibrated point of one measurement, along the scans with the facets in
// turn: riegl_cal for each (arg 0), and through the cache the georeferencing
// uses, which finds the mirror position of every scan angle again (arg 1).
void BM_ScannerCalibration(benchmark::State& state) {
    Survey& b = survey();
    const scanner::scanner_header& h = b.s.hdr;
    const bool cached = state.range(0) != 0;
    scanner::CalibrationCache cache;
    double theta[kNmeas];
    for (std::int32_t i = 0; i < kNmeas; ++i) theta[i] = b.tables->scan_angle[i] * georef::kGonToRad;
    std::int32_t i = 0;
    std::int32_t scanno = 1;
    for (auto _ : state) {
        double x, y, z;
        const double r = b.tables->scan_range[i];
        if (cached) scanner::calibrated_point(cache, h, r, theta[i], scanno, x, y, z);
        else scanner::riegl_cal(r, theta[i], scanno, x, y, z, h.a, h.b, h.c, h.d, h.e, h.eps);
        benchmark::DoNotOptimize(x);
        benchmark::DoNotOptimize(y);
        benchmark::DoNotOptimize(z);
        if (++i == kNmeas) i = 0, ++scanno;
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ScannerCalibration)->ArgName("cached")->Arg(0)->Arg(1);

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
    const auto form = averaged ? records::ScanPointForm::TextWithGroupSize : records::ScanPointForm::Text;
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(records::record_bytes(form)));
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

// Reading scan-point records back through the block reader, from a file in
// the page cache (text, text with the group size, binary): what morva-las and
// the other companions spend their time in.
constexpr std::int64_t kRecords = 1 << 20;

// A file of kRecords records of the form, written once per process.
const std::string& records_file(records::ScanPointForm form) {
    static std::string names[3];
    std::string& name = names[static_cast<int>(form)];
    if (!name.empty()) return name;
    name = (std::filesystem::temp_directory_path() /
            ("morva_records_bench_" + std::to_string(::getpid()) + "_" + std::to_string(static_cast<int>(form))))
               .string();
    text::OutStream out;
    if (!text::open_out(out, name)) std::abort();
    for (std::int64_t k = 0; k < kRecords; ++k) {
        if (form == records::ScanPointForm::Binary)
            records::write_binary_record(out, point_at(k));
        else
            records::write_text_record(out, point_at(k), form == records::ScanPointForm::TextWithGroupSize);
    }
    text::close_out(out);
    std::atexit([] {
        for (const std::string& n : names)
            if (!n.empty()) std::filesystem::remove(n);
    });
    return name;
}

void BM_ReadScanPoints(benchmark::State& state) {
    const auto form = static_cast<records::ScanPointForm>(state.range(0));
    const std::string& name = records_file(form);
    std::int64_t sum = 0;
    for (auto _ : state) {
        records::ScanPointFile f;
        if (!records::open_scan_points(f, name, form)) std::abort();
        records::ScanPointRecord block[1024];
        while (const std::size_t n = records::read_scan_points(f, block, 1024)) {
            for (std::size_t k = 0; k < n; ++k) sum += block[k].h_mm;
        }
        records::close_records(f.blocks);
    }
    benchmark::DoNotOptimize(sum);
    state.SetItemsProcessed(state.iterations() * kRecords);
    state.SetBytesProcessed(state.iterations() * kRecords * static_cast<std::int64_t>(records::record_bytes(form)));
}
BENCHMARK(BM_ReadScanPoints)->ArgName("form")->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

}  // namespace
