// LAZ through the laz crate (tools/common/laz): real files from other
// writers decompress to the points an independent implementation reads,
// files written here read back byte for byte (fixed and variable chunks, one
// thread and several), and truncated or damaged files are named as such and
// never end the program. The real files are read from ../shared/data/real
// (or MORVA_SHARED_DATA); where they are absent those tests are skipped.

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>
#include <unistd.h>

#include "morva_laz.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

Bytes slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

void spill(const fs::path& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

template <typename T>
T get(const Bytes& b, std::size_t at) {
    T value;
    std::memcpy(&value, b.data() + at, sizeof value);
    return value;
}

template <typename T>
void put(Bytes& b, std::size_t at, T value) {
    std::memcpy(b.data() + at, &value, sizeof value);
}

// What the tests need of a LAS header, read here without the project's own reader.
struct Las {
    Bytes bytes;
    std::uint32_t point_data_start = 0;
    std::uint8_t point_format = 0;
    bool compressed = false;
    std::uint16_t record_length = 0;
    std::uint64_t point_count = 0;
    std::uint64_t point_data_end = 0;  // 0: the end of the file
    std::size_t laszip_at = 0;         // the laszip record's payload, when compressed
    std::size_t laszip_size = 0;
};

Las parse(const fs::path& path) {
    Las las;
    las.bytes = slurp(path);
    const Bytes& b = las.bytes;
    las.point_data_start = get<std::uint32_t>(b, 96);
    const auto records = get<std::uint32_t>(b, 100);
    las.point_format = b[104] & 0x3f;
    las.compressed = (b[104] & 0x80) != 0;
    las.record_length = get<std::uint16_t>(b, 105);
    las.point_count = get<std::uint32_t>(b, 107);
    const bool v14 = b[25] >= 4;
    if (v14) {
        las.point_count = get<std::uint64_t>(b, 247);
        if (get<std::uint32_t>(b, 243) > 0) las.point_data_end = get<std::uint64_t>(b, 235);
    }
    std::size_t at = get<std::uint16_t>(b, 94);
    for (std::uint32_t i = 0; i < records; ++i) {
        const std::string user(reinterpret_cast<const char*>(&b[at + 2]), strnlen(reinterpret_cast<const char*>(&b[at + 2]), 16));
        const auto id = get<std::uint16_t>(b, at + 18);
        const auto size = get<std::uint16_t>(b, at + 20);
        if (user == "laszip encoded" && id == 22204) {
            las.laszip_at = at + 54;
            las.laszip_size = size;
        }
        at += 54 + size;
    }
    return las;
}

struct Closer {
    void operator()(morva_laz_reader* r) const { morva_laz_reader_close(r); }
    void operator()(morva_laz_writer* w) const { morva_laz_writer_close(w); }
};
using Reader = std::unique_ptr<morva_laz_reader, Closer>;
using Writer = std::unique_ptr<morva_laz_writer, Closer>;

// The outcome of reading a whole file: its records, or the fault that stopped it.
struct Read {
    int code = MORVA_LAZ_OK;
    std::string message;
    Bytes records;
};

Read decompress(const fs::path& path, const Las& las, const Bytes& laszip_record, std::uint64_t batch = 10'000,
               std::uint32_t fields = MORVA_LAZ_ALL_FIELDS) {
    Read result;
    morva_laz_error error{};
    morva_laz_reader* raw = nullptr;
    result.code = morva_laz_reader_open(path.c_str(), las.point_data_start, las.point_data_end, laszip_record.data(),
                                        laszip_record.size(), las.point_count, las.record_length, fields, &raw, &error);
    Reader reader(raw);
    if (result.code != MORVA_LAZ_OK) {
        result.message = error.message;
        EXPECT_EQ(error.code, result.code);
        EXPECT_EQ(raw, nullptr);
        return result;
    }
    result.records.resize(las.point_count * las.record_length);
    for (std::uint64_t done = 0; done < las.point_count;) {
        const std::uint64_t n = std::min(batch, las.point_count - done);
        result.code = morva_laz_reader_read(reader.get(), result.records.data() + done * las.record_length, n, &error);
        if (result.code != MORVA_LAZ_OK) {
            result.message = error.message;
            return result;
        }
        done += n;
    }
    EXPECT_EQ(morva_laz_reader_points_left(reader.get()), 0u);
    return result;
}

Bytes laszip_record_of(const Las& las) {
    return Bytes(las.bytes.begin() + static_cast<std::ptrdiff_t>(las.laszip_at),
                 las.bytes.begin() + static_cast<std::ptrdiff_t>(las.laszip_at + las.laszip_size));
}

// Writes `records` compressed after a header-and-records prefix of `prefix_size`
// bytes (any bytes: the library writes only the point data), in batches of
// `batch` points, closing a chunk after each batch when the chunks vary.
fs::path compress(const fs::path& path, std::size_t prefix_size, const Bytes& laszip_record, const Bytes& records,
                  std::uint16_t record_length, unsigned threads, std::uint64_t batch, bool close_chunks = false) {
    spill(path, Bytes(prefix_size, 0xAB));
    morva_laz_error error{};
    morva_laz_writer* raw = nullptr;
    EXPECT_EQ(morva_laz_writer_open(path.c_str(), prefix_size, laszip_record.data(), laszip_record.size(), threads, &raw,
                                    &error),
              MORVA_LAZ_OK)
        << error.message;
    Writer writer(raw);
    const std::uint64_t points = records.size() / record_length;
    for (std::uint64_t done = 0; done < points;) {
        const std::uint64_t n = std::min(batch, points - done);
        EXPECT_EQ(morva_laz_writer_write(writer.get(), records.data() + done * record_length, n, &error), MORVA_LAZ_OK)
            << error.message;
        if (close_chunks) {
            EXPECT_EQ(morva_laz_writer_end_chunk(writer.get(), &error), MORVA_LAZ_OK) << error.message;
        }
        done += n;
    }
    std::uint64_t end = 0;
    EXPECT_EQ(morva_laz_writer_finish(writer.get(), &end, &error), MORVA_LAZ_OK) << error.message;
    EXPECT_EQ(end, fs::file_size(path));
    EXPECT_EQ(morva_laz_writer_write(writer.get(), records.data(), 1, &error), MORVA_LAZ_USAGE);
    return path;
}

// The header of a file written here: the points start at `start` and run to the end.
Las compressed_las(std::uint64_t point_count, std::uint16_t record_length, std::uint32_t start) {
    Las las;
    las.point_data_start = start;
    las.point_count = point_count;
    las.record_length = record_length;
    return las;
}

Bytes record_for(std::uint8_t format, std::uint16_t extra, std::uint32_t chunk_size) {
    Bytes record(100);
    std::size_t size = 0;
    morva_laz_error error{};
    EXPECT_EQ(morva_laz_record_for(format, extra, chunk_size, record.data(), record.size(), &size, &error), MORVA_LAZ_OK)
        << error.message;
    record.resize(size);
    return record;
}

constexpr std::array<std::uint16_t, 11> standard_length{20, 28, 26, 34, 57, 63, 30, 36, 38, 59, 67};

std::uint64_t fnv1a(const Bytes& bytes) {
    std::uint64_t h = 1469598103934665603ull;
    for (auto byte : bytes) h = (h ^ byte) * 1099511628211ull;
    return h;
}

fs::path shared_data() {
    if (const char* set = std::getenv("MORVA_SHARED_DATA")) return set;
    return MORVA_SHARED_DATA;
}

class LazTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("morva-laz-test-" + std::to_string(::getpid()) + "-" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    fs::path real(const std::string& name) {
        const fs::path path = shared_data() / "real" / name;
        if (!fs::exists(path)) {
            skipped_ = true;
            return {};
        }
        return path;
    }

    fs::path dir_;
    bool skipped_ = false;
};

// Points of format `format` with `extra` extra bytes whose fields change the
// way a survey's do (slowly moving coordinates, noisy intensity, rising time),
// so that every layer of the compression has work to do.
Bytes synthetic(std::uint8_t format, std::uint16_t extra, std::uint64_t count) {
    const std::uint16_t length = standard_length[format] + extra;
    Bytes records(count * length);
    std::uint64_t state = 88172645463325252ull;
    auto next = [&] {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        return state;
    };
    for (std::uint64_t i = 0; i < count; ++i) {
        std::uint8_t* p = &records[i * length];
        put<std::int32_t>(records, i * length + 0, static_cast<std::int32_t>(i * 37 + next() % 50));
        put<std::int32_t>(records, i * length + 4, static_cast<std::int32_t>(100000 + (next() % 2000)));
        put<std::int32_t>(records, i * length + 8, static_cast<std::int32_t>(5000 + (next() % 300)));
        for (std::size_t k = 12; k < length; ++k) p[k] = static_cast<std::uint8_t>(next() % (k < 20 ? 256 : 4));
        const std::size_t time_at = format >= 6 ? 22 : (format == 1 || format >= 3 ? 20 : 0);
        if (time_at != 0) put<double>(records, i * length + time_at, 1000.0 + 1e-5 * static_cast<double>(i));
    }
    return records;
}

}  // namespace

// Every LAZ file of other writers: the header's number of points, and the
// same X, Y, Z and records as laspy 2.7.0 reads through LASzip 3.4's own
// library (laszip 0.3.0 from PyPI), an implementation independent of the laz crate.
struct RealFile {
    const char* name;
    std::uint64_t points;
    std::int64_t sum_x, sum_y, sum_z;
    std::uint64_t records_fnv1a;
};
constexpr RealFile real_files[] = {
#include "real_files.inc"
};

TEST_F(LazTest, RealFilesDecompressAsAnIndependentReaderDoes) {
    int seen = 0;
    for (const RealFile& file : real_files) {
        const fs::path path = real(file.name);
        if (path.empty()) continue;
        SCOPED_TRACE(file.name);
        const Las las = parse(path);
        ASSERT_TRUE(las.compressed);
        ASSERT_EQ(las.point_count, file.points);
        const Read read = decompress(path, las, laszip_record_of(las), 7'777);
        ASSERT_EQ(read.code, MORVA_LAZ_OK) << read.message;
        std::int64_t sx = 0, sy = 0, sz = 0;
        for (std::uint64_t i = 0; i < las.point_count; ++i) {
            sx += get<std::int32_t>(read.records, i * las.record_length + 0);
            sy += get<std::int32_t>(read.records, i * las.record_length + 4);
            sz += get<std::int32_t>(read.records, i * las.record_length + 8);
        }
        EXPECT_EQ(sx, file.sum_x);
        EXPECT_EQ(sy, file.sum_y);
        EXPECT_EQ(sz, file.sum_z);
        EXPECT_EQ(fnv1a(read.records), file.records_fnv1a);

        // Compressed again with the file's own laszip record, one thread and two: the same records.
        for (unsigned threads : {1u, 2u}) {
            SCOPED_TRACE(threads);
            const fs::path again = compress(dir_ / ("again-" + std::to_string(threads) + ".laz"), las.point_data_start,
                                            laszip_record_of(las), read.records, las.record_length, threads, 30'000);
            Las copy = las;
            copy.point_data_end = 0;
            const Read reread = decompress(again, copy, laszip_record_of(las));
            ASSERT_EQ(reread.code, MORVA_LAZ_OK) << reread.message;
            EXPECT_TRUE(reread.records == read.records);
        }
        ++seen;
    }
    if (seen == 0) GTEST_SKIP() << "no LAZ files in " << shared_data() / "real";
}

// Uncompressed files of other writers (point formats 3, 6, 7), compressed
// here in fixed and variable chunks, on one thread and two: read back the same.
TEST_F(LazTest, UncompressedFilesCompressAndReadBackIdentical) {
    int seen = 0;
    for (const char* name : {"autzen_trim.las", "test1_4.las", "autzen_trim_7.las"}) {
        const fs::path path = real(name);
        if (path.empty()) continue;
        SCOPED_TRACE(name);
        const Las las = parse(path);
        ASSERT_FALSE(las.compressed);
        const auto begin = las.bytes.begin() + las.point_data_start;
        const Bytes records(begin, begin + static_cast<std::ptrdiff_t>(las.point_count * las.record_length));
        const std::uint16_t extra = las.record_length - standard_length[las.point_format];
        struct Way {
            std::uint32_t chunk_size;
            unsigned threads;
            std::uint64_t batch;
        };
        for (const Way way : {Way{50'000, 1, 100'000}, Way{5'000, 2, 1'234}, Way{0, 1, 999}, Way{0, 2, 4'321}}) {
            SCOPED_TRACE(std::to_string(way.chunk_size) + " per chunk, threads " + std::to_string(way.threads));
            const Bytes record = record_for(las.point_format, extra, way.chunk_size);
            const fs::path out = compress(dir_ / "out.laz", 1000, record, records, las.record_length, way.threads,
                                          way.batch, way.chunk_size == 0);
            const Read read = decompress(out, compressed_las(las.point_count, las.record_length, 1000), record, 3'000);
            ASSERT_EQ(read.code, MORVA_LAZ_OK) << read.message;
            EXPECT_TRUE(read.records == records);
            EXPECT_LT(fs::file_size(out) - 1000, records.size() / 2);
        }
        ++seen;
    }
    if (seen == 0) GTEST_SKIP() << "no LAS files in " << shared_data() / "real";
}

// Every point format, compressed and read back, with extra bytes, on one
// thread and two; the empty file too.
TEST_F(LazTest, EveryPointFormatReadsBackIdentical) {
    for (std::uint8_t format = 0; format <= 10; ++format) {
        // # guards: an empty file refused (its writer closes one empty chunk, on one thread)
        for (std::uint64_t count : {0ull, 1ull, 12'345ull}) {
          for (unsigned threads : {1u, 2u}) {
            SCOPED_TRACE("format " + std::to_string(format) + ", " + std::to_string(count) + " points, threads " +
                         std::to_string(threads));
            const std::uint16_t extra = format % 3 == 0 ? 3 : 0;
            const Bytes records = synthetic(format, extra, count);
            const std::uint16_t length = standard_length[format] + extra;
            const Bytes record = record_for(format, extra, 1'000);
            const fs::path out = compress(dir_ / "f.laz", 375, record, records, length, threads, 777);
            const Read read = decompress(out, compressed_las(count, length, 375), record, 500);
            ASSERT_EQ(read.code, MORVA_LAZ_OK) << read.message;
            EXPECT_TRUE(read.records == records);

            // Only the fields a grid needs: the same coordinates, returns,
            // flags and class (formats 0 to 5 decompress every field anyway).
            const Read some = decompress(out, compressed_las(count, length, 375), record, 500,
                                         MORVA_LAZ_FIELD_Z | MORVA_LAZ_FIELD_CLASSIFICATION | MORVA_LAZ_FIELD_FLAGS);
            ASSERT_EQ(some.code, MORVA_LAZ_OK) << some.message;
            const std::size_t kept = format >= 6 ? 17 : length;  // X, Y, Z, intensity, returns, flags, class
            for (std::uint64_t i = 0; i < count; ++i) {
                for (std::size_t k = 0; k < kept; ++k) {
                    if (format >= 6 && (k == 12 || k == 13)) continue;  // intensity: not asked for
                    ASSERT_EQ(some.records[i * length + k], records[i * length + k]) << "point " << i << " byte " << k;
                }
            }
          }
        }
    }
}

// The faults, each on a file written here: point-wise chunks (format 3) and
// layered chunks (format 6), fixed and variable in size.
struct Fault {
    const char* name;
    std::uint8_t format;
    std::uint32_t chunk_size;  // 0: variable
    // Damages the file; `table` is where the chunk table is, `start` where the points are.
    void (*damage)(Bytes& file, std::size_t start, std::size_t table);
    int code;             // MORVA_LAZ_OK: the damage leaves every point readable
    const char* message;  // a part of the message
};

const Fault faults[] = {
    {"cut_in_chunk_table", 3, 1'000, [](Bytes& f, std::size_t, std::size_t table) { f.resize(table + 5); },
     MORVA_LAZ_TRUNCATED, "truncated"},
    {"cut_in_chunk_entries", 6, 0, [](Bytes& f, std::size_t, std::size_t table) { f.resize(table + 10); },
     MORVA_LAZ_CHUNK_TABLE, "cut short"},
    {"cut_before_chunk_table", 6, 1'000, [](Bytes& f, std::size_t, std::size_t table) { f.resize(table - 100); },
     MORVA_LAZ_TRUNCATED, "the chunk table should lie at byte"},
    {"cut_in_half", 3, 0, [](Bytes& f, std::size_t start, std::size_t table) { f.resize(start + (table - start) / 2); },
     MORVA_LAZ_TRUNCATED, "truncated"},
    {"cut_after_offset", 6, 0, [](Bytes& f, std::size_t start, std::size_t) { f.resize(start + 8); },
     MORVA_LAZ_TRUNCATED, "truncated"},
    // # guards: a damaged chunk count sizing memory (4 billion entries) before anything is checked
    {"chunk_count_huge", 6, 0, [](Bytes& f, std::size_t, std::size_t table) { put<std::uint32_t>(f, table + 4, 0xFFFFFFFFu); },
     MORVA_LAZ_CHUNK_TABLE, "lists 4294967295 chunks"},
    // # guards: a damaged chunk table read as it comes (the points then decode from wrong places)
    {"chunk_count_wrong", 3, 1'000, [](Bytes& f, std::size_t, std::size_t table) { put<std::uint32_t>(f, table + 4, 3u); },
     MORVA_LAZ_CHUNK_TABLE, "the chunk table is damaged"},
    {"chunk_entries_scrambled", 3, 0,
     [](Bytes& f, std::size_t, std::size_t table) {
         for (std::size_t i = table + 8; i < f.size(); ++i) f[i] ^= 0x5A;
     },
     MORVA_LAZ_CHUNK_TABLE, "the chunk table is damaged"},
    {"chunk_table_offset_beyond_end", 6, 1'000,
     [](Bytes& f, std::size_t start, std::size_t) { put<std::int64_t>(f, start, static_cast<std::int64_t>(f.size() + 10)); },
     MORVA_LAZ_TRUNCATED, "truncated"},
    // # guards: a missing chunk table (the crate then skips 8 bytes of points or stops at the end)
    {"chunk_table_missing_variable", 6, 0,
     [](Bytes& f, std::size_t start, std::size_t table) {
         put<std::int64_t>(f, start, -1);
         f.resize(table);
     },
     MORVA_LAZ_CHUNK_TABLE, "chunk table"},
    {"chunk_table_missing_fixed", 3, 1'000,
     [](Bytes& f, std::size_t start, std::size_t table) {
         put<std::int64_t>(f, start, -1);
         f.resize(table);
     },
     MORVA_LAZ_CHUNK_TABLE, "chunk table"},
    // A writer that could not go back puts the table's offset in the last 8 bytes: read as usual.
    {"chunk_table_offset_at_end", 6, 0,
     [](Bytes& f, std::size_t start, std::size_t table) {
         put<std::int64_t>(f, start, -1);
         f.resize(f.size() + 8);
         put<std::int64_t>(f, f.size() - 8, static_cast<std::int64_t>(table));
     },
     MORVA_LAZ_OK, ""},
    {"points_damaged", 3, 1'000,
     [](Bytes& f, std::size_t start, std::size_t table) {
         for (std::size_t i = start + 200; i < table; i += 97) f[i] = static_cast<std::uint8_t>(f[i] * 31 + 7);
     },
     -1, ""},
};

TEST_F(LazTest, TruncatedOrDamagedFilesAreNamedNeverACrash) {
    for (const Fault& fault : faults) {
        SCOPED_TRACE(fault.name);
        const std::uint64_t count = 10'500;
        const Bytes records = synthetic(fault.format, 0, count);
        const std::uint16_t length = standard_length[fault.format];
        const Bytes record = record_for(fault.format, 0, fault.chunk_size);
        const std::size_t start = 400;
        const fs::path path = compress(dir_ / "d.laz", start, record, records, length, 1, 2'000, fault.chunk_size == 0);
        Bytes file = slurp(path);
        const auto table = static_cast<std::size_t>(get<std::int64_t>(file, start));
        ASSERT_GT(table, start);
        fault.damage(file, start, table);
        spill(path, file);
        const Read read = decompress(path, compressed_las(count, length, start), record);
        if (fault.code == -1) continue;  // anything but a crash
        EXPECT_EQ(read.code, fault.code) << read.message;
        EXPECT_NE(read.message.find(fault.message), std::string::npos) << read.message;
        if (fault.code == MORVA_LAZ_OK) {
            EXPECT_TRUE(read.records == records);
        }
    }
}

TEST_F(LazTest, MisuseIsRefused) {
    const Bytes records = synthetic(1, 0, 100);
    const Bytes record = record_for(1, 0, 50);
    const fs::path path = compress(dir_ / "m.laz", 300, record, records, 28, 1, 100);
    morva_laz_error error{};
    morva_laz_reader* raw = nullptr;
    // The header's record length disagrees with the laszip record.
    EXPECT_EQ(morva_laz_reader_open(path.c_str(), 300, 0, record.data(), record.size(), 100, 30, MORVA_LAZ_ALL_FIELDS, &raw, &error),
              MORVA_LAZ_MISMATCH);
    EXPECT_NE(std::string(error.message).find("points of 28 bytes but the header says 30"), std::string::npos) << error.message;
    EXPECT_EQ(morva_laz_reader_open((dir_ / "absent.laz").c_str(), 300, 0, record.data(), record.size(), 100, 28, MORVA_LAZ_ALL_FIELDS, &raw,
                                    &error),
              MORVA_LAZ_IO);
    Bytes bad = record;
    put<std::uint16_t>(bad, 0, 9);  // no such compressor
    EXPECT_NE(morva_laz_reader_open(path.c_str(), 300, 0, bad.data(), bad.size(), 100, 28, MORVA_LAZ_ALL_FIELDS, &raw, &error), MORVA_LAZ_OK);
    ASSERT_EQ(morva_laz_reader_open(path.c_str(), 300, 0, record.data(), record.size(), 100, 28, MORVA_LAZ_ALL_FIELDS, &raw, &error), MORVA_LAZ_OK);
    Reader reader(raw);
    Bytes out(101 * 28);
    EXPECT_EQ(morva_laz_reader_read(reader.get(), out.data(), 101, &error), MORVA_LAZ_USAGE);
    EXPECT_NE(std::string(error.message).find("101 points asked for, but only 100 of 100 remain"), std::string::npos);
    EXPECT_EQ(morva_laz_reader_read(reader.get(), out.data(), 100, &error), MORVA_LAZ_OK) << error.message;
    EXPECT_EQ(morva_laz_reader_read(nullptr, out.data(), 1, &error), MORVA_LAZ_USAGE);
    std::size_t size = 0;
    Bytes small(10);
    EXPECT_EQ(morva_laz_record_for(3, 0, 100, small.data(), small.size(), &size, &error), MORVA_LAZ_USAGE);
    EXPECT_EQ(size, 34u + 6u * 3u);  // point, GPS time, RGB
    EXPECT_EQ(morva_laz_record_for(11, 0, 100, small.data(), 0, &size, nullptr), MORVA_LAZ_UNSUPPORTED);
}
