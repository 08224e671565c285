#pragma once
// The scanner file as a raw byte stream, read through one large buffer:
// recordings reach tens of gigabytes and are read field after field.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

namespace morva::scanner {

struct ByteReader {
    ByteReader() = default;
    ByteReader(const ByteReader&) = delete;
    ByteReader& operator=(const ByteReader&) = delete;
    // Closes the file also when a stop unwinds the run (a fuzz harness).
    ~ByteReader();

    int fd = -1;
    std::string name;
    std::unique_ptr<std::uint8_t[]> buffer;
    std::size_t begin = 0;     // next unread byte in the buffer
    std::size_t end = 0;       // end of the bytes held
    std::size_t capacity = 0;
    bool drained = false;      // the file has no more bytes
    std::uint64_t dropped = 0; // bytes of the file before buffer[0]
};

// False when the file cannot be opened: missing, unreadable, a directory, or
// a name holding a NUL byte. Pipes and devices are read as streams.
bool open_bytes(ByteReader& in, const std::string& path);
void close_bytes(ByteReader& in);

// Back to byte 0. While the buffer still holds the file from its start (the
// header has just been read) no repositioning is needed, so the scanner file
// may also be a pipe.
void rewind(ByteReader& in);

// Makes n bytes contiguous at the read position; returns how many are held
// (fewer than n only at the end of the file).
std::size_t ensure(ByteReader& in, std::size_t n);

// Copies up to n bytes and moves past them; returns the count copied (fewer
// than n at the end of the file).
inline std::size_t read_bytes(ByteReader& in, void* dest, std::size_t n) {
    std::size_t got = in.end - in.begin >= n ? n : ensure(in, n);
    if (got > n) got = n;
    std::memcpy(dest, in.buffer.get() + in.begin, got);
    in.begin += got;
    return got;
}

// Little-endian field decoding, independent of the host's byte order.
inline std::uint32_t le_u16(const std::uint8_t* p) { return p[0] | (std::uint32_t{p[1]} << 8); }
inline std::uint32_t le_u24(const std::uint8_t* p) {
    return p[0] | (std::uint32_t{p[1]} << 8) | (std::uint32_t{p[2]} << 16);
}
inline std::uint32_t le_u32(const std::uint8_t* p) { return le_u24(p) | (std::uint32_t{p[3]} << 24); }
inline std::int16_t le_i16(const std::uint8_t* p) { return static_cast<std::int16_t>(le_u16(p)); }
inline std::int32_t le_i32(const std::uint8_t* p) { return static_cast<std::int32_t>(le_u32(p)); }
inline float le_f32(const std::uint8_t* p) {
    std::uint32_t bits = le_u32(p);
    float f;
    std::memcpy(&f, &bits, sizeof f);
    return f;
}

}  // namespace morva::scanner
