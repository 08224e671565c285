// The scanner file as a byte stream: what opens as one, the header rewind
// on a stream that cannot be repositioned, and the file closed by unwinding.

#include "scanner/byte_reader.hpp"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "../text/text_test_support.hpp"
#include "scanner/scanner_header.hpp"
#include "scanner_test_support.hpp"
#include "text/stop.hpp"

namespace morva::scanner {
namespace {

using testing::Bytes;
using testing::take_console;
using text::testing::run_in_child;

std::string header_and_scan() {
    Bytes b;
    sim::put_long_header(b.w, sim::default_long_header(1));
    return b.done() + std::string(22, '\x01');
}

// A pipe holding `bytes`, opened by name as the scanner file is.
bool open_pipe(ByteReader& in, const std::string& bytes) {
    int fds[2];
    if (::pipe(fds) != 0) return false;
    if (::write(fds[1], bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size())) return false;
    ::close(fds[1]);
    const bool opened = open_bytes(in, "/proc/self/fd/" + std::to_string(fds[0]));
    ::close(fds[0]);
    in.name = "scan.bin";
    return opened;
}

TEST(ByteReader, WhatOpensAsAScannerFile) {
    ByteReader in;
    EXPECT_FALSE(open_bytes(in, "/nonexistent-folder/scan.bin"));
    EXPECT_FALSE(open_bytes(in, "/tmp"));  // a folder
    const std::string path = "/tmp/morva-bytes-" + std::to_string(::getpid());
    std::ofstream(path) << "x";
    EXPECT_FALSE(open_bytes(in, path + std::string(1, '\0') + "y"));
    EXPECT_TRUE(open_bytes(in, path));
    std::remove(path.c_str());
    EXPECT_TRUE(open_bytes(in, "/dev/null"));
}

TEST(ByteReader, HeaderOfAPipeIsReadFromTheBuffer) {
    ByteReader in;
    ASSERT_TRUE(open_pipe(in, header_and_scan()));
    take_console();
    scanner_header hdr;
    readhdr(in, hdr);
    take_console();
    EXPECT_EQ(hdr.measid, 77);
    EXPECT_EQ(hdr.nmeas, 1);
    std::uint8_t rest[22];
    EXPECT_EQ(read_bytes(in, rest, sizeof rest), 22u);  // the scan follows byte 210
    EXPECT_EQ(rest[21], 1);
}

TEST(ByteReader, RewindThatNeedsRepositioningStopsOnAPipe) {
    // Not met by the header (its first 47 bytes are always still held), but
    // a rewind after the buffer has moved on must not go unnoticed.
    auto r = run_in_child([] {
        ByteReader in;
        if (!open_pipe(in, header_and_scan())) std::_Exit(3);
        in.buffer.reset(new std::uint8_t[64]);
        in.capacity = 64;
        std::uint8_t bytes[60];
        if (read_bytes(in, bytes, 47) != 47 || read_bytes(in, bytes, 60) != 60) std::_Exit(4);
        rewind(in);
        text::testing::end_run();
    });
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.output, "*** read error in scan.bin: cannot reposition the file\n");
}

TEST(ByteReader, ReadLongerThanTheBuffer) {
    ByteReader in;
    ASSERT_TRUE(open_pipe(in, header_and_scan()));
    in.buffer.reset(new std::uint8_t[8]);
    in.capacity = 8;
    std::uint8_t bytes[232];
    EXPECT_EQ(read_bytes(in, bytes, 5), 5u);
    EXPECT_EQ(read_bytes(in, bytes, 227), 227u);  // the rest, not a false end of file
    EXPECT_EQ(read_bytes(in, bytes, 1), 0u);
}

TEST(ByteReader, ClosesItsFileWhenDestroyed) {
    int fd = -1;
    {
        ByteReader in;
        ASSERT_TRUE(open_bytes(in, "/dev/null"));
        fd = in.fd;
        EXPECT_NE(::fcntl(fd, F_GETFD), -1);
    }
    EXPECT_EQ(::fcntl(fd, F_GETFD), -1);
}

}  // namespace
}  // namespace morva::scanner
