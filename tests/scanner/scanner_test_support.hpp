#pragma once
// Helpers for the scanner tests: a scanner file held in an unlinked
// temporary file behind a ByteReader (optionally with a tiny buffer so that
// records cross refills), the console report taken from its buffer, and
// scan records built with the simulator's writer.

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <string_view>

#include "scanner/byte_reader.hpp"
#include "scanner_writer.hpp"
#include "text/out_stream.hpp"

namespace morva::scanner::testing {

// Opens `bytes` as the scanner file "scan.bin". A `capacity` other than 0
// replaces the reader's block with one of that many bytes.
inline void open_scan_bytes(ByteReader& in, std::string_view bytes, std::size_t capacity = 0) {
    char path[] = "/tmp/morva-scan-XXXXXX";
    int fd = ::mkstemp(path);
    if (fd < 0) std::abort();
    if (::write(fd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size())) std::abort();
    ::close(fd);
    if (!open_bytes(in, path)) std::abort();
    ::unlink(path);
    in.name = "scan.bin";
    if (capacity != 0) {
        in.buffer.reset(new std::uint8_t[capacity]);
        in.capacity = capacity;
    }
}

// Everything written to the console since the last call; the buffer is
// emptied so nothing reaches the test's own output.
inline std::string take_console() {
    text::OutStream& out = text::console();
    std::string s(out.buffer.get(), out.used);
    out.used = 0;
    return s;
}

// Bytes of a scanner file built with the writer.
struct Bytes {
    std::string data;
    sim::ScannerWriter w;
    Bytes() { sim::attach_writer(w, data); }
    const std::string& done() {
        sim::close_writer(w);
        return data;
    }
};

// One scan record of `nmeas` identical measurements.
inline void put_scan(sim::ScannerWriter& w, std::int16_t syncseq, int nmeas, const sim::Measurement& m,
                     const sim::Trailer& t) {
    sim::put_syncseq(w, syncseq);
    for (int i = 0; i < nmeas; ++i) sim::put_measurement(w, m);
    sim::put_trailer(w, t);
}

}  // namespace morva::scanner::testing
