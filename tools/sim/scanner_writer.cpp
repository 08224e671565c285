#include "scanner_writer.hpp"

#include <bit>
#include <cstring>

#include "scanner/header_layout.hpp"

namespace morva::sim {
namespace {

namespace at = scanner::header_at;

constexpr std::size_t kBlock = 1 << 20;

void put_i32(std::uint8_t* p, std::int32_t v) {
    const auto u = static_cast<std::uint32_t>(v);
    put_u16(p, u);
    put_u16(p + 2, u >> 16);
}

void put_f32(std::uint8_t* p, float f) { put_i32(p, std::bit_cast<std::int32_t>(f)); }

// A character field of fixed length: cut, or padded with blanks.
void put_chars(std::uint8_t* p, std::size_t length, const std::string& text) {
    std::memset(p, ' ', length);
    std::memcpy(p, text.data(), text.size() < length ? text.size() : length);
}

void put_floats(std::uint8_t* p, const float* v, int n) {
    for (int i = 0; i < n; ++i) put_f32(p + 4 * i, v[i]);
}

// The fields both headers hold, at the same places.
template <class Header>
void put_shared_fields(const Header& h, std::uint8_t* out) {
    put_i32(out + at::length, h.header_length);
    put_u16(out + at::bytes_per_scan, static_cast<std::uint16_t>(h.bytes_per_scan));
    put_u16(out + at::bytes_per_meas, static_cast<std::uint16_t>(h.bytes_per_meas));
    put_u16(out + at::nmeas, static_cast<std::uint16_t>(h.nmeas));
    put_f32(out + at::range_unit, h.range_unit);
    put_f32(out + at::angle_unit, h.angle_unit);
    put_f32(out + at::timer_unit, h.timer_unit);
}

void start(ScannerWriter& w) {
    w.block.reset(new std::uint8_t[kBlock]);
    w.capacity = kBlock;
    w.used = 0;
    w.flushed = 0;
    w.failed = false;
}

}  // namespace

std::string epoch_text(int hour, int minute, int second) {
    char text[64];
    std::snprintf(text, sizeof text, "2024-05-17 %02d:%02d:%02d", hour, minute, second);
    return text;
}

std::int16_t record_bytes(std::int16_t nmeas) {
    return static_cast<std::int16_t>(12 + scanner::kMeasurementBytes * (nmeas > 0 ? nmeas : 0));
}

LongHeader default_long_header(std::int16_t nmeas) {
    LongHeader h;
    h.nmeas = nmeas;
    h.bytes_per_scan = record_bytes(nmeas);
    return h;
}

void encode_long_header(const LongHeader& h, std::uint8_t out[scanner::header_at::kLongSize]) {
    std::memset(out, 0, at::kLongSize);
    put_shared_fields(h, out);
    out[at::protocol_id] = static_cast<std::uint8_t>(h.protocol_id);
    out[at::headerid] = static_cast<std::uint8_t>(h.headerid);
    put_u16(out + at::measid, static_cast<std::uint16_t>(h.measid));
    out[at::par_id_main] = static_cast<std::uint8_t>(h.par_id_main);
    put_chars(out + at::instrument, at::kInstrumentSize, h.instrument);
    out[at::polar_id] = static_cast<std::uint8_t>(h.polar_id);
    put_floats(out + at::a, h.a, 3);
    put_floats(out + at::b, h.b, 3);
    put_floats(out + at::c, h.c, 3);
    put_floats(out + at::d, h.d, 3);
    for (int k = 0; k < 4; ++k) {
        put_floats(out + at::e + at::kFacetStride * k, h.e[k], 3);
        put_f32(out + at::eps + at::kFacetStride * k, h.eps[k]);
    }
    put_chars(out + at::time_epoch, at::kTimeEpochSize, h.time_epoch);
    put_chars(out + at::time_source, at::kTimeSourceSize, h.time_source);
    out[at::syncflag] = h.syncflag;
}

void encode_short_header(const ShortHeader& h, std::uint8_t out[scanner::header_at::kShortSize]) {
    std::memset(out, 0, at::kShortSize);
    put_shared_fields(h, out);
    out[at::polar_id] = h.angleid;
}

bool open_writer(ScannerWriter& w, const std::string& path) {
    w.file = std::fopen(path.c_str(), "wb");
    w.memory = nullptr;
    if (w.file == nullptr) return false;
    start(w);
    return true;
}

void attach_writer(ScannerWriter& w, std::string& out) {
    w.file = nullptr;
    w.memory = &out;
    start(w);
}

void flush_writer(ScannerWriter& w) {
    if (w.used == 0) return;
    if (w.file != nullptr) {
        if (std::fwrite(w.block.get(), 1, w.used, w.file) != w.used) w.failed = true;
    } else if (w.memory != nullptr) {
        w.memory->append(reinterpret_cast<const char*>(w.block.get()), w.used);
    }
    w.flushed += w.used;
    w.used = 0;
}

bool close_writer(ScannerWriter& w) {
    flush_writer(w);
    if (w.file != nullptr) {
        if (std::fclose(w.file) != 0) w.failed = true;
        w.file = nullptr;
    }
    w.memory = nullptr;
    return !w.failed;
}

void put_raw(ScannerWriter& w, const void* bytes, std::size_t n) {
    const auto* p = static_cast<const std::uint8_t*>(bytes);
    while (n > 0) {
        if (w.used == w.capacity) flush_writer(w);
        std::size_t take = w.capacity - w.used < n ? w.capacity - w.used : n;
        std::memcpy(w.block.get() + w.used, p, take);
        w.used += take;
        p += take;
        n -= take;
    }
}

void put_long_header(ScannerWriter& w, const LongHeader& h) {
    std::uint8_t bytes[at::kLongSize];
    encode_long_header(h, bytes);
    put_raw(w, bytes, sizeof bytes);
}

void put_short_header(ScannerWriter& w, const ShortHeader& h) {
    std::uint8_t bytes[at::kShortSize];
    encode_short_header(h, bytes);
    put_raw(w, bytes, sizeof bytes);
}

}  // namespace morva::sim
