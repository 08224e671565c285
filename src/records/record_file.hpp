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

#include <cstddef>
#include <cstdint>
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

// Record k of the last block as it lies in the file (text: without its line end).
inline std::string_view record_text(const RecordBlocks& b, std::size_t k) {
    return {b.block + k * b.bytes, b.lines ? b.bytes - 1 : b.bytes};
}

// Passes over a malformed line, so that reading goes on after it; false when
// there is none or it cannot be passed (a long run without a line end).
bool skip_malformed(RecordBlocks& b);

void close_records(RecordBlocks& b);

}  // namespace morva::records
