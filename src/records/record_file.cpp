#include "records/record_file.hpp"

#include <algorithm>
#include <cstring>

namespace morva::records {
namespace {

bool open_blocks(RecordBlocks& b, const std::string& path, std::size_t bytes, bool lines) {
    b.first = 0;
    b.count = 0;
    b.block = nullptr;
    b.problem = ReadProblem::None;
    b.bytes = bytes;
    b.lines = lines;
    return text::open_in(b.in, path);
}

// Starts a call: the last block is handed out.
void next_block(RecordBlocks& b) {
    b.first += static_cast<std::int64_t>(b.count);
    b.count = 0;
}

std::size_t end_block(RecordBlocks& b, const char* start, std::size_t n) {
    b.block = start;
    b.count = n;
    b.in.begin += n * b.bytes;
    return n;
}

[[gnu::cold]] void malformed(RecordBlocks& b, std::int64_t record, std::string_view line, std::size_t skip) {
    b.problem = ReadProblem::Malformed;
    b.skip = skip;
    b.problem_record = record + 1;
    b.problem_offset = static_cast<std::uint64_t>(record) * b.bytes;
    b.problem_text.assign(line.substr(0, 64));
}

// Fixed-length records of bytes each; Decode(record, length, k) decodes into
// the caller's entry k and tells whether the record is well formed.
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
            b.problem = ReadProblem::PartialRecord;
            b.problem_record = b.first + 1;
            b.problem_offset = static_cast<std::uint64_t>(b.first) * size;
            b.problem_bytes = held;
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

}  // namespace

bool open_scan_points(ScanPointFile& f, const std::string& path, ScanPointForm form) {
    f.form = form;
    return open_blocks(f.blocks, path, record_bytes(form), form != ScanPointForm::Binary);
}

bool open_centres(CentreFile& f, const std::string& path) {
    return open_blocks(f.blocks, path, centre_record_bytes(), true);
}

std::size_t read_scan_points(ScanPointFile& f, ScanPointRecord* out, std::size_t max) {
    if (f.form == ScanPointForm::Binary) {
        return read_blocks(f.blocks, max, [out](const char* r, std::size_t, std::size_t k) {
            decode_binary(reinterpret_cast<const unsigned char*>(r), out[k]);
            return true;
        });
    }
    const bool with_group_size = f.form == ScanPointForm::TextWithGroupSize;
    return read_blocks(f.blocks, max, [out, with_group_size](const char* r, std::size_t length, std::size_t k) {
        return decode_text(r, length, with_group_size, out[k]) != Decoded::Malformed;
    });
}

std::size_t read_centres(CentreFile& f, CentreRecord* out, std::size_t max) {
    return read_blocks(f.blocks, max, [out](const char* r, std::size_t length, std::size_t k) {
        return decode_centre(r, length, out[k]) != Decoded::Malformed;
    });
}

bool skip_malformed(RecordBlocks& b) {
    if (b.problem != ReadProblem::Malformed || b.skip == 0) return false;
    b.in.begin += b.skip;
    b.first = b.problem_record;
    b.count = 0;
    b.problem = ReadProblem::None;
    return true;
}

void close_records(RecordBlocks& b) { text::close_in(b.in); }

}  // namespace morva::records
