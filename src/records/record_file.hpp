#pragma once
// The records of a scan-point or centre-point file, handed out block by
// block: each call decodes up to `max` records straight from one large read
// buffer into the caller's array, without an allocation per record.
//
//   records::ScanPointFile file;
//   if (!records::open_scan_points(file, path, form)) ...
//   records::ScanPointRecord block[1024];
//   while (std::size_t n = records::read_scan_points(file, block, 1024)) { ... }
//   if (file.blocks.problem != records::ReadProblem::None) ...

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "records/centre_record.hpp"
#include "records/scan_point_record.hpp"
#include "text/text_reader.hpp"

namespace morva::records {

enum class ReadProblem {
    None,
    PartialRecord,  // binary: the file ends inside a record
    Malformed,      // text: a line that is not a record of the file's form
};

struct RecordBlocks {
    text::TextReader in;
    std::size_t bytes = 0;     // of one record, its line end included
    bool lines = false;        // text: records end with a line end
    std::int64_t first = 0;    // 0-based number of the first record of the last block
    std::size_t count = 0;     // records in the last block
    const char* block = nullptr;  // where they lie in the buffer (until the next call)
    ReadProblem problem = ReadProblem::None;
    std::int64_t problem_record = 0;  // 1-based: the line, or the record
    std::uint64_t problem_offset = 0; // byte offset of that record
    std::string problem_text;         // text: the line (up to 64 characters); binary: empty
    std::size_t problem_bytes = 0;    // binary: the bytes of the partial record
    std::size_t skip = 0;             // bytes of the malformed line with its line end (0: cannot be passed)
};

struct ScanPointFile {
    ScanPointForm form = ScanPointForm::Binary;
    RecordBlocks blocks;
};

struct CentreFile {
    RecordBlocks blocks;
};

// False when the file cannot be opened (see text::open_input_file).
bool open_scan_points(ScanPointFile& f, const std::string& path, ScanPointForm form);
bool open_centres(CentreFile& f, const std::string& path);

// The next records, up to max; 0 at the end of the file or at a problem (a
// block ends before a malformed line, which the next call reports).
// A text line without its line end at the end of the file is a record.
std::size_t read_scan_points(ScanPointFile& f, ScanPointRecord* out, std::size_t max);
std::size_t read_centres(CentreFile& f, CentreRecord* out, std::size_t max);

namespace detail {

[[gnu::cold]] void malformed(RecordBlocks& b, std::int64_t record, std::string_view line, std::size_t skip);
[[gnu::cold]] void partial(RecordBlocks& b, std::size_t held);

// Starts a call: the last block is handed out.
inline void next_block(RecordBlocks& b) {
    b.first += static_cast<std::int64_t>(b.count);
    b.count = 0;
}

inline std::size_t end_block(RecordBlocks& b, const char* start, std::size_t n) {
    b.block = start;
    b.count = n;
    b.in.begin += n * b.bytes;
    return n;
}

// Fixed-length records of b.bytes each; Decode(record, length, k) decodes
// record k of the block, hands it on and tells whether it is well formed.
template <typename Decode>
std::size_t read_blocks(RecordBlocks& b, std::size_t max, Decode decode) {
    next_block(b);
    if (b.problem != ReadProblem::None || max == 0) return 0;
    text::TextReader& in = b.in;
    const std::size_t size = b.bytes;
    for (;;) {
        const char* const start = in.buffer.get() + in.begin;
        std::size_t held = in.end - in.begin;
        if (!b.lines) {
            if (held >= size) {
                const std::size_t n = std::min(max, held / size);
                for (std::size_t k = 0; k < n; ++k) decode(start + k * size, size, k);
                return end_block(b, start, n);
            }
        } else {
            // Every record of a file has one length: look there for its line end.
            std::size_t n = 0;
            const char* r = start;
            for (; n < max && held >= size && r[size - 1] == '\n'; ++n, r += size, held -= size) {
                if (!decode(r, size - 1, n)) {
                    malformed(b, b.first + static_cast<std::int64_t>(n), {r, size - 1}, size);
                    break;
                }
            }
            if (n > 0 || b.problem != ReadProblem::None) return end_block(b, start, n);
            const auto* nl = held > 0 ? static_cast<const char*>(std::memchr(start, '\n', held)) : nullptr;
            if (nl != nullptr) {  // a line of another length
                malformed(b, b.first, {start, static_cast<std::size_t>(nl - start)}, static_cast<std::size_t>(nl - start) + 1);
                return 0;
            }
            if (held > 2 * size) {  // a long run without a line end is no record
                malformed(b, b.first, {start, held}, 0);
                return 0;
            }
        }
        if (!in.drained) {
            text::fill_more(in);
            continue;
        }
        if (held == 0) return 0;
        if (!b.lines) {
            partial(b, held);
            return 0;
        }
        // A last line without its line end.
        if (!decode(start, held, 0)) {
            malformed(b, b.first, {start, held}, held);
            return 0;
        }
        b.block = start;
        b.count = 1;
        in.begin = in.end;
        return 1;
    }
}

}  // namespace detail

// As read_scan_points, handing each record to visit(record, k, bytes) in turn
// instead of an array: k its place in the block, bytes the record as it lies
// in the file (text: without its line end). For the hottest loops, where the
// record stays in registers.
template <typename Visit>
std::size_t visit_scan_points(ScanPointFile& f, std::size_t max, Visit&& visit) {
    if (f.form == ScanPointForm::Binary) {
        return detail::read_blocks(f.blocks, max, [&](const char* p, std::size_t length, std::size_t k) {
            ScanPointRecord r;
            decode_binary(reinterpret_cast<const unsigned char*>(p), r);
            visit(r, k, std::string_view(p, length));
            return true;
        });
    }
    const bool with_group_size = f.form == ScanPointForm::TextWithGroupSize;
    return detail::read_blocks(f.blocks, max, [&](const char* p, std::size_t length, std::size_t k) {
        ScanPointRecord r;
        if (decode_text(p, length, with_group_size, r) == Decoded::Malformed) return false;
        visit(r, k, std::string_view(p, length));
        return true;
    });
}

// Record k of the last block as it lies in the file (text: without its line end).
inline std::string_view record_text(const RecordBlocks& b, std::size_t k) {
    return {b.block + k * b.bytes, b.lines ? b.bytes - 1 : b.bytes};
}

// Passes over a malformed line, so that reading goes on after it; false when
// there is none or it cannot be passed (a long run without a line end).
bool skip_malformed(RecordBlocks& b);

void close_records(RecordBlocks& b);

}  // namespace morva::records
