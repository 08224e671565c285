#pragma once
// Points of any LAS file, uncompressed or LAZ: versions 1.0 to 1.4, point
// formats 0 to 10, streamed in blocks with bounded memory. The header and
// its records are read and checked when the file is opened; a fault stops
// with one line "FILE: what is wrong" (text::stop_run).

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace morva::common {

struct LasRecord {         // a variable-length record (VLR or extended VLR)
    std::string user_id;
    std::uint16_t record_id = 0;
    std::string description;
    std::vector<std::uint8_t> payload;
    bool extended = false;  // an extended record (after the points, LAS 1.4)
};

struct LasHeader {
    std::string path;
    int version_minor = 0;            // LAS 1.<minor>
    std::uint16_t file_source_id = 0;
    std::uint16_t global_encoding = 0;
    std::uint16_t creation_day = 0, creation_year = 0;
    int point_format = 0;             // 0 to 10
    bool compressed = false;          // LAZ
    std::uint16_t record_length = 0;  // bytes per point record (uncompressed)
    std::uint16_t extra_bytes = 0;    // bytes after the format's standard fields
    std::uint64_t point_count = 0;
    std::uint64_t offset_to_points = 0;
    std::uint64_t points_end = 0;     // where the point data end (0: the end of the file)
    double scale[3] = {1, 1, 1}, offset[3] = {0, 0, 0};
    double min[3] = {0, 0, 0}, max[3] = {0, 0, 0};  // as the header states them
    std::vector<LasRecord> records;   // VLRs, then extended VLRs
};

// The standard fields of one point; `raw` is the record as stored.
struct LasPoint {
    double x = 0, y = 0, z = 0;  // scale and offset applied
    std::uint16_t intensity = 0;
    std::uint8_t return_number = 0, number_of_returns = 0, classification = 0;
    bool withheld = false;
    double scan_angle = 0;       // degrees
    std::uint16_t source_id = 0;
    double gps_time = 0;         // 0 where the format has none
    std::uint16_t red = 0, green = 0, blue = 0, nir = 0;
    const std::uint8_t* raw = nullptr;
};

// The record of the header with this user id and record id, or null.
const LasRecord* find_record(const LasHeader& header, const std::string& user_id, std::uint16_t record_id);

// Reads exactly n bytes of a file at offset; false at its end or on an error.
bool read_at(int fd, void* data, std::size_t n, std::uint64_t offset);

// Bytes of the standard fields of a point format (0 for none of 0 to 10).
std::uint16_t las_format_size(int point_format);

struct LasReaderState;  // the open file or LAZ decoder

enum class LasFields { All, Geometry };

class LasReader {
public:
    // Opens and checks the file: header, records, point count against the size.
    // With LasFields::Geometry only X, Y, Z, the returns, the flags, the
    // class and the point source ID (what a point filter and a grid need)
    // are read where the data allow it (LAZ of point formats 6 to 10
    // then skip the other fields' layers, much of their decompression), and
    // the other fields hold no meaningful value.
    explicit LasReader(const std::string& path, LasFields fields = LasFields::All);
    ~LasReader();
    LasReader(const LasReader&) = delete;
    LasReader& operator=(const LasReader&) = delete;

    const LasHeader& header() const { return header_; }

    // The next points, at most `most`, into `points` (reused; each point's
    // raw record stays valid until the next call); false at the end.
    bool read(std::vector<LasPoint>& points, std::size_t most = kBlockPoints);

    static constexpr std::size_t kBlockPoints = 1 << 16;

private:
    LasHeader header_;
    std::unique_ptr<LasReaderState> state_;
    std::vector<std::uint8_t> block_;
    std::uint64_t done_ = 0;
};

// Decodes one record of the header's format (scale and offset applied).
void decode_point(const LasHeader& header, const std::uint8_t* record, LasPoint& point);

}  // namespace morva::common
