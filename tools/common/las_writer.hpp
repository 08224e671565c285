#pragma once
// The one LAS/LAZ writer of the companions: records of any point format
// (0 to 10, LAS 1.0 to 1.4) in, a LAS or LAZ file out, staged so that nothing
// is at the output's name until its group of files commits. The header's
// point counts, counts by return and bounds come from the records written.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "las_header.hpp"
#include "las_reader.hpp"
#include "staged_files.hpp"

struct morva_laz_writer;

namespace morva::common {

struct LasWriterSetup {
    // version_minor, point_format, record_length, extra_bytes, scale, offset,
    // file_source_id, global_encoding, creation day and year, and the records
    // to carry (extended ones after the points, in LAS 1.4); a laszip record
    // among them is dropped and made anew. Counts and bounds are not read.
    LasHeader header;
    bool compress = false;  // LAZ (the caller chooses it, e.g. from a ".laz" name)
    unsigned threads = 0;   // LAZ compression threads (0: every core)
    std::string system_identifier = "OTHER", generating_software;  // header text fields (at most 32 characters)
};

// Whether an output name asks for LAZ: it ends in ".laz" (any case).
bool is_laz_name(const std::string& path);

class LasWriter {
public:
    // Reserves the output in `files` and writes the header's place and the
    // records; a stop names `path` and the system's reason.
    LasWriter(StagedFiles& files, const std::string& path, const LasWriterSetup& setup);
    ~LasWriter();
    LasWriter(const LasWriter&) = delete;
    LasWriter& operator=(const LasWriter&) = delete;

    // `count` records of the setup's record length, as stored.
    void write(const std::uint8_t* records, std::size_t count);
    // The rest of the points, the extended records and the header with its
    // counts and bounds; the file then waits for the group's commit.
    void finish();

private:
    void flush();
    void put(const void* data, std::size_t size, std::uint64_t at);
    [[noreturn]] void fail(const std::string& why) const;

    std::string path_, temp_;
    LasWriterSetup setup_;
    int fd_ = -1;
    morva_laz_writer* laz_ = nullptr;
    std::uint64_t offset_to_points_ = 0, end_ = 0;  // end_: point bytes written (uncompressed files)
    std::uint32_t vlr_count_ = 0;
    std::vector<std::uint8_t> buffer_;  // uncompressed records gathered for one write
    std::uint64_t points_ = 0;
    std::uint64_t by_return_[15] = {};
    Bounds bounds_;  // of the stored integers
    bool finished_ = false;
};

}  // namespace morva::common
