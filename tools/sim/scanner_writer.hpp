#pragma once
// Writes scanner files: the long 210-byte header, the short 47-byte header
// and scan records (2-byte syncseq, 10-byte measurements, 10-byte trailer),
// all little-endian on any host. Bytes are gathered in one large block and
// written to a file or appended to a string a block at a time, so a
// recording of tens of millions of measurements costs no allocation per
// record:
//
//   ScannerWriter w;
//   open_writer(w, "scan.bin");
//   LongHeader h = default_long_header(nmeas);
//   put_long_header(w, h);
//   for (...) {
//       put_syncseq(w, h.bytes_per_scan);
//       for (...) put_measurement(w, {range, ampl, angle, timer});
//       put_trailer(w, {0, scan_number, flags, seconds, timer});
//   }
//   close_writer(w);

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "scanner/header_layout.hpp"
#include "scanner/measurement.hpp"

namespace morva::sim {

struct LongHeader {
    std::int32_t header_length = scanner::header_at::kLongSize;
    std::int16_t bytes_per_scan = 12;   // 12 + 10 x nmeas for measurement type 77
    std::int8_t protocol_id = 1;
    std::int8_t headerid = 10;
    std::int16_t bytes_per_meas = 10;
    std::int16_t nmeas = 0;
    std::int16_t measid = 77;           // range, intensity, angle, synctimer
    std::int8_t par_id_main = 8;
    // Character fields are cut or padded with blanks to 8, 32 and 8 characters.
    std::string instrument = "SIMSCAN1";
    float range_unit = 0.001f;          // metres per count
    float angle_unit = 0.01f;           // gon per count
    float timer_unit = 1.0e-6f;         // seconds per count
    std::int8_t polar_id = 4;
    // Ideal geometry: no offsets, mirror axis along y, unit facet normals
    // around it, no facet offsets.
    float a[3] = {0, 0, 0};
    float b[3] = {0, 0, 0};
    float c[3] = {0, 1, 0};
    float d[3] = {0, 0, 0};
    float e[4][3] = {{1, 0, 0}, {0, 0, 1}, {-1, 0, 0}, {0, 0, -1}};  // e[k] = facet k+1
    float eps[4] = {0, 0, 0, 0};
    std::string time_epoch = "2024-05-17 10:30:00";  // hh:mm:ss at positions 12-19
    std::string time_source = "GPS";
    std::uint8_t syncflag = 0b0000101;
};

struct ShortHeader {
    std::int32_t header_length = scanner::header_at::kShortSize;
    std::int16_t bytes_per_scan = 12;
    std::int16_t bytes_per_meas = 10;
    std::int16_t nmeas = 0;
    float range_unit = 0.001f;
    float angle_unit = 0.01f;
    float timer_unit = 1.0e-6f;
    std::uint8_t angleid = 4;
};

// One 10-byte measurement; the 24-bit fields keep their low 24 bits.
struct Measurement {
    std::uint32_t range = 0;
    std::uint8_t amplitude = 0;
    std::uint32_t angle = 0;
    std::uint32_t timer = 0;
};

// The 10-byte scan trailer.
struct Trailer {
    std::uint8_t unused = 0;
    std::uint16_t scan_number = 0;
    std::uint8_t gps_flags = 0;
    std::uint32_t seconds = 0;  // 24 bits
    std::uint32_t timer = 0;    // 24 bits
};

// Bytes of a scan record of measurement type 77: 12 + 10 x nmeas.
std::int16_t record_bytes(std::int16_t nmeas);
// A long header with the defaults, `nmeas` measurements per scan and the
// matching bytes per scan.
LongHeader default_long_header(std::int16_t nmeas);
// The time epoch text for a file start at hh:mm:ss.
std::string epoch_text(int hour, int minute, int second);

// Fixed-size encodings.
void encode_long_header(const LongHeader& h, std::uint8_t out[scanner::header_at::kLongSize]);
void encode_short_header(const ShortHeader& h, std::uint8_t out[scanner::header_at::kShortSize]);

struct ScannerWriter {
    std::FILE* file = nullptr;       // destination file, or
    std::string* memory = nullptr;   // destination string
    std::unique_ptr<std::uint8_t[]> block;
    std::size_t used = 0;
    std::size_t capacity = 0;
    std::uint64_t flushed = 0;       // bytes handed to the destination so far
    bool failed = false;
};

// False when the file cannot be created.
bool open_writer(ScannerWriter& w, const std::string& path);
// Appends to `out` instead of a file.
void attach_writer(ScannerWriter& w, std::string& out);
// Writes what is pending and closes the file; false when a write failed.
bool close_writer(ScannerWriter& w);
// Hands the pending block to the destination.
void flush_writer(ScannerWriter& w);
// Bytes written so far, pending ones included.
inline std::uint64_t bytes_written(const ScannerWriter& w) { return w.flushed + w.used; }

inline std::uint8_t* reserve_bytes(ScannerWriter& w, std::size_t n) {
    if (w.capacity - w.used < n) flush_writer(w);
    return w.block.get() + w.used;
}

inline void put_u16(std::uint8_t* p, std::uint32_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}
inline void put_u24(std::uint8_t* p, std::uint32_t v) {
    put_u16(p, v);
    p[2] = static_cast<std::uint8_t>(v >> 16);
}

void put_raw(ScannerWriter& w, const void* bytes, std::size_t n);
void put_long_header(ScannerWriter& w, const LongHeader& h);
void put_short_header(ScannerWriter& w, const ShortHeader& h);

inline void put_syncseq(ScannerWriter& w, std::int16_t syncseq) {
    put_u16(reserve_bytes(w, 2), static_cast<std::uint16_t>(syncseq));
    w.used += 2;
}

inline void put_measurement(ScannerWriter& w, const Measurement& m) {
    using namespace scanner;
    std::uint8_t* p = reserve_bytes(w, kMeasurementBytes);
    put_u24(p + kRangeAt, m.range);
    p[kAmplitudeAt] = m.amplitude;
    put_u24(p + kAngleAt, m.angle);
    put_u24(p + kTimerAt, m.timer);
    w.used += kMeasurementBytes;
}

inline void put_trailer(ScannerWriter& w, const Trailer& t) {
    std::uint8_t* p = reserve_bytes(w, 10);
    p[0] = t.unused;
    put_u16(p + 1, t.scan_number);
    p[3] = t.gps_flags;
    put_u24(p + 4, t.seconds);
    put_u24(p + 7, t.timer);
    w.used += 10;
}

}  // namespace morva::sim
