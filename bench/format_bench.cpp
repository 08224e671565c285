// The text scan-point record written once per output point (time, latitude,
// longitude, height, amplitude, measurement index), through write_fixed with
// the record's own layout into a buffered stream whose flushes go to
// /dev/null, and the bare field formatters for comparison.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdlib>

#include "records/scan_point_record.hpp"
#include "text/fixed_line.hpp"
#include "text/layout.hpp"
#include "text/number_format.hpp"
#include "text/out_stream.hpp"

namespace {

using namespace morva::text;

// Plausible points along a flight line: times around 10.5 h, positions around
// 52 N 4.6 E, heights of a few metres, amplitudes 0..255, indices 1..999.
struct Point {
    double thr, lat, lon, h;
    std::uint8_t ampl;
    std::int32_t i;
};

Point point_at(std::int64_t k) {
    return {10.5 + static_cast<double>(k) * 1.2345678901e-7, 52.1234567 + static_cast<double>(k % 1009) * 1.0987654321e-7,
            4.6543210 + static_cast<double>(k % 777) * 1.7654321e-7, -3.0 + static_cast<double>(k % 5003) * 0.00213579,
            static_cast<std::uint8_t>(k * 37), static_cast<std::int32_t>(k % 999 + 1)};
}

OutStream& null_stream() {
    static OutStream out;
    static const bool opened = open_out(out, "/dev/null");
    if (!opened) std::abort();
    return out;
}

void BM_ScanPointTextRecord(benchmark::State& state) {
    static const Layout scan_point = layout(morva::records::kScanPointText.view());
    OutStream& out = null_stream();
    std::int64_t k = 0;
    for (auto _ : state) {
        const Point p = point_at(k++);
        write_fixed(out, scan_point, {p.thr, p.lat, p.lon, p.h, p.ampl, p.i});
    }
    benchmark::DoNotOptimize(out.used);
    state.SetItemsProcessed(state.iterations());
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(morva::records::record_bytes(morva::records::ScanPointForm::Text)));
}
BENCHMARK(BM_ScanPointTextRecord);

// The same record from the field formatters alone, written straight into a
// buffer: what the layout machinery adds on top of them.
void BM_ScanPointFieldsOnly(benchmark::State& state) {
    static constexpr auto f = line::fields<morva::records::kScanPointText>();
    char line[64];
    std::int64_t k = 0;
    for (auto _ : state) {
        const Point p = point_at(k++);
        format_fixed(line + f.items[0].at, f.items[0].w, f.items[0].d, p.thr);
        format_fixed(line + f.items[1].at, f.items[1].w, f.items[1].d, p.lat);
        format_fixed(line + f.items[2].at, f.items[2].w, f.items[2].d, p.lon);
        format_fixed(line + f.items[3].at, f.items[3].w, f.items[3].d, p.h);
        line[f.items[4].at] = ' ';
        format_int(line + f.items[5].at, f.items[5].w, static_cast<std::int8_t>(p.ampl));
        format_int(line + f.items[6].at, f.items[6].w, p.i);
        line[f.length - 1] = '\n';
        benchmark::DoNotOptimize(line);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ScanPointFieldsOnly);

// One F9.6 field, on values that take the fast path and on exact halves,
// which take the exact decimal expansion.
void BM_FixedField(benchmark::State& state) {
    char field[16];
    std::int64_t k = 0;
    const bool halves = state.range(0) != 0;
    for (auto _ : state) {
        // (2m+1)/128 lies exactly half way between two sixth decimals.
        double v = halves ? 10.0 + static_cast<double>(2 * (k++ % 64) + 1) / 128.0 : point_at(k++).thr;
        format_fixed(field, 9, 6, v);
        benchmark::DoNotOptimize(field);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_FixedField)->Arg(0)->Arg(1);

}  // namespace
