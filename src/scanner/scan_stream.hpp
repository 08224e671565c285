#pragma once
// The scan records that follow the header: decoding into per-scan tables in
// physical units, scan numbering across counter wraps, and the time base.

#include <cstdint>

#include "inputs/run_control.hpp"
#include "scanner/byte_reader.hpp"
#include "scanner/measurement.hpp"
#include "scanner/scanner_header.hpp"
#include "text/out_stream.hpp"

namespace morva::scanner {

inline constexpr std::int32_t kScanDim = 1000;  // iscandim

// Entry i-1 holds measurement i of the current scan.
struct ScanTables {
    double scan_range[kScanDim];  // metres
    double scan_angle[kScanDim];  // gon
    double scan_timer[kScanDim];  // seconds
    std::int32_t scan_ampl[kScanDim];
};

struct ScanStream {
    // Fixed before the first scan.
    double epoch = 0;        // hours
    double dtsec = 0;        // seconds
    bool sync_used = false;
    std::int32_t nsector = 1;

    // The current scan.
    std::int32_t nscan = 0;
    std::int32_t scanno = 0;
    std::uint8_t gpsflags = 0;
    double tsec = 0, tfrac = 0, tscan = 0;

    // Carried from scan to scan.
    std::int32_t scan_counter = 0;   // low 16 bits replaced by each trailer
    std::int32_t timer_counter = 0;  // low 24 bits replaced by each trailer
    std::int32_t first_timer = 0;
    std::int32_t first_scan_number = 0;
    std::int32_t prev_scanno = 0;
    std::uint32_t prev_seconds = 0;

    // Scan records read in whole or in part.
    std::int64_t records_read = 0;
};

// Checks the header values, fixes the time base and prints its lines.
void begin_scans(const scanner_header& hdr, const inputs::RunControl& rc, ScanStream& stream);

// Reads the next scan record and applies its trailer, printing the lines of
// the first five scans and the syncseq warning on `report`; returns where its
// measurement bytes start (valid until the next read), or null at the end of
// the file (at a record boundary, inside the syncseq or inside the
// measurements). A file that ends inside a trailer stops the run with a read
// error naming the file.
const std::uint8_t* read_scan_record(ByteReader& in, const scanner_header& hdr, ScanStream& stream,
                                     text::OutStream& report);

// Bytes of the measurements of one scan record.
inline std::size_t measurement_bytes(const scanner_header& hdr) {
    return kMeasurementBytes * static_cast<std::size_t>(hdr.nmeas > 0 ? hdr.nmeas : 0);
}

// Decodes a record's measurement bytes into tables in physical units.
void decode_measurements(const std::uint8_t* p, const scanner_header& hdr, std::int32_t nsector, ScanTables& t);

// Both at once, the report on the console.
bool read_scan(ByteReader& in, const scanner_header& hdr, ScanStream& stream, ScanTables& tables);

}  // namespace morva::scanner
