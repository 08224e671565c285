// Reading scan-point records back: the block reader over a file in the page
// cache (text, text with the group size, binary), which is what morva-las
// and the other companions spend their time in.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>

#include <unistd.h>

#include "records/record_file.hpp"
#include "records/scan_point_record.hpp"
#include "text/out_stream.hpp"

namespace {

using namespace morva;

constexpr std::int64_t kRecords = 1 << 20;

records::scanpt point_at(std::int64_t k) {
    records::scanpt p{};
    p.thr = 10.5 + static_cast<double>(k) * 1.2345678901e-7;
    p.lat = 52.1234567 + static_cast<double>(k % 1009) * 1.0987654321e-7;
    p.lon = 4.6543210 + static_cast<double>(k % 777) * 1.7654321e-7;
    p.h = -3.0 + static_cast<double>(k % 5003) * 0.00213579;
    p.ampl = static_cast<std::uint8_t>(k * 37);
    p.i = static_cast<std::int32_t>(k % 999 + 1);
    p.n = 3;
    return p;
}

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
