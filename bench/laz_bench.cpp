// LAZ compression and decompression speed (tools/common/laz) on the
// 697,721 points of a real LAS 1.4 file (point format 8, layered chunks of
// 50,000), on one thread and on every core:
//   build/bench/morva_bench --benchmark_filter=Laz
// Skipped where ../shared/data (or MORVA_SHARED_DATA) is absent.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>
#include <unistd.h>

#include "morva_laz.h"

namespace {

namespace fs = std::filesystem;

struct Points {
    std::vector<std::uint8_t> records;
    std::uint8_t format = 0;
    std::uint16_t length = 0;
    std::uint64_t count = 0;
    std::string problem;
};

template <typename T>
T at(const std::vector<std::uint8_t>& b, std::size_t offset) {
    T v;
    std::memcpy(&v, b.data() + offset, sizeof v);
    return v;
}

// The file's records, decompressed once.
const Points& real_points() {
    static const Points points = [] {
        Points p;
        const char* set = std::getenv("MORVA_SHARED_DATA");
        const fs::path path = fs::path(set ? set : MORVA_SHARED_DATA) / "real/las_with_several_extra_byte_bloc.laz";
        std::ifstream in(path, std::ios::binary);
        const std::vector<std::uint8_t> file(std::istreambuf_iterator<char>(in), {});
        if (file.size() < 400) {
            p.problem = "no " + path.string();
            return p;
        }
        p.format = file[104] & 0x3f;
        p.length = at<std::uint16_t>(file, 105);
        p.count = at<std::uint64_t>(file, 247);
        std::size_t vlr = at<std::uint16_t>(file, 94);
        while (at<std::uint16_t>(file, vlr + 18) != 22204) vlr += 54 + at<std::uint16_t>(file, vlr + 20);
        p.records.resize(p.count * p.length);
        morva_laz_error error{};
        morva_laz_reader* reader = nullptr;
        if (morva_laz_reader_open(path.c_str(), at<std::uint32_t>(file, 96), 0, &file[vlr + 54], at<std::uint16_t>(file, vlr + 20),
                                  p.count, p.length, MORVA_LAZ_ALL_FIELDS, &reader, &error) != MORVA_LAZ_OK ||
            morva_laz_reader_read(reader, p.records.data(), p.count, &error) != MORVA_LAZ_OK) {
            p.problem = error.message;
        }
        morva_laz_reader_close(reader);
        return p;
    }();
    return points;
}

fs::path scratch() { return fs::temp_directory_path() / ("morva-laz-bench-" + std::to_string(::getpid()) + ".laz"); }

std::vector<std::uint8_t> laszip_record(const Points& p) {
    std::vector<std::uint8_t> record(100);
    std::size_t size = 0;
    morva_laz_record_for(p.format, static_cast<std::uint16_t>(p.length - 38), 50'000, record.data(), record.size(), &size, nullptr);
    record.resize(size);
    return record;
}

void compress_to(const fs::path& path, const Points& p, const std::vector<std::uint8_t>& record, unsigned threads) {
    std::ofstream(path, std::ios::trunc).close();
    morva_laz_writer* writer = nullptr;
    morva_laz_writer_open(path.c_str(), 0, record.data(), record.size(), threads, &writer, nullptr);
    for (std::uint64_t done = 0; done < p.count; done += 100'000) {
        morva_laz_writer_write(writer, p.records.data() + done * p.length, std::min<std::uint64_t>(100'000, p.count - done), nullptr);
    }
    morva_laz_writer_finish(writer, nullptr, nullptr);
    morva_laz_writer_close(writer);
}

// The points, or null when they cannot be had (the benchmark is then skipped).
const Points* points_for(benchmark::State& state) {
    const Points& p = real_points();
    if (!p.problem.empty()) {
        state.SkipWithError(p.problem.c_str());
        return nullptr;
    }
    return &p;
}

void count_points(benchmark::State& state, const Points& p) {
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * p.count));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * p.records.size()));
}

// Argument: threads (0: every core).
void BM_LazCompress(benchmark::State& state) {
    const Points* p = points_for(state);
    if (p == nullptr) return;
    const auto record = laszip_record(*p);
    const fs::path path = scratch();
    for (auto _ : state) compress_to(path, *p, record, static_cast<unsigned>(state.range(0)));
    state.counters["ratio"] = static_cast<double>(p->records.size()) / static_cast<double>(fs::file_size(path));
    fs::remove(path);
    count_points(state, *p);
}
BENCHMARK(BM_LazCompress)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_LazDecompress(benchmark::State& state) {
    const Points* found = points_for(state);
    if (found == nullptr) return;
    const Points& p = *found;
    const auto record = laszip_record(p);
    const fs::path path = scratch();
    compress_to(path, p, record, 0);
    std::vector<std::uint8_t> out(10'000 * std::size_t{p.length});
    for (auto _ : state) {
        morva_laz_reader* reader = nullptr;
        morva_laz_reader_open(path.c_str(), 0, 0, record.data(), record.size(), p.count, p.length, MORVA_LAZ_ALL_FIELDS, &reader, nullptr);
        for (std::uint64_t done = 0; done < p.count; done += 10'000) {
            morva_laz_reader_read(reader, out.data(), std::min<std::uint64_t>(10'000, p.count - done), nullptr);
        }
        morva_laz_reader_close(reader);
    }
    fs::remove(path);
    count_points(state, p);
}
BENCHMARK(BM_LazDecompress)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
