#include "records/record_file.hpp"

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

}  // namespace

namespace detail {

void malformed(RecordBlocks& b, std::int64_t record, std::string_view line, std::size_t skip) {
    b.problem = ReadProblem::Malformed;
    b.skip = skip;
    b.problem_record = record + 1;
    b.problem_offset = static_cast<std::uint64_t>(record) * b.bytes;
    b.problem_text.assign(line.substr(0, 64));
}

void partial(RecordBlocks& b, std::size_t held) {
    b.problem = ReadProblem::PartialRecord;
    b.problem_record = b.first + 1;
    b.problem_offset = static_cast<std::uint64_t>(b.first) * b.bytes;
    b.problem_bytes = held;
}

}  // namespace detail

bool open_scan_points(ScanPointFile& f, const std::string& path, ScanPointForm form) {
    f.form = form;
    return open_blocks(f.blocks, path, record_bytes(form), form != ScanPointForm::Binary);
}

bool open_centres(CentreFile& f, const std::string& path) {
    return open_blocks(f.blocks, path, centre_record_bytes(), true);
}

std::size_t read_scan_points(ScanPointFile& f, ScanPointRecord* out, std::size_t max) {
    return visit_scan_points(f, max, [out](const ScanPointRecord& r, std::size_t k, std::string_view) { out[k] = r; });
}

std::size_t read_centres(CentreFile& f, CentreRecord* out, std::size_t max) {
    return detail::read_blocks(f.blocks, max, [out](const char* r, std::size_t length, std::size_t k) {
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
