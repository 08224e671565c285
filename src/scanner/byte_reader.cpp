#include "scanner/byte_reader.hpp"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

#include "text/stop.hpp"
#include "text/text_reader.hpp"

namespace morva::scanner {
namespace {

constexpr std::size_t kBlock = 1 << 20;

}  // namespace

ByteReader::~ByteReader() { close_bytes(*this); }

bool open_bytes(ByteReader& in, const std::string& path) {
    close_bytes(in);
    int fd = text::open_input_file(path);
    if (fd < 0) return false;
    in.fd = fd;
    in.name = path;
    in.buffer.reset(new std::uint8_t[kBlock]);
    in.capacity = kBlock;
    in.begin = in.end = 0;
    in.drained = false;
    in.dropped = 0;
    return true;
}

void close_bytes(ByteReader& in) {
    if (in.fd >= 0) ::close(in.fd);
    in.fd = -1;
}

void rewind(ByteReader& in) {
    if (in.dropped == 0) {
        in.begin = 0;
        return;
    }
    if (::lseek(in.fd, 0, SEEK_SET) < 0) {
        text::stop_run("*** read error in " + in.name + ": cannot reposition the file");
    }
    in.begin = in.end = 0;
    in.drained = false;
    in.dropped = 0;
}

std::size_t ensure(ByteReader& in, std::size_t n) {
    if (n > in.capacity) {
        // Never for the scanner file's records (at most 10012 bytes); a read
        // into no room would otherwise look like the end of the file.
        std::unique_ptr<std::uint8_t[]> wider(new std::uint8_t[n]);
        std::memcpy(wider.get(), in.buffer.get(), in.end);
        in.buffer = std::move(wider);
        in.capacity = n;
    }
    while (in.end - in.begin < n && !in.drained) {
        if (in.begin > 0) {
            std::memmove(in.buffer.get(), in.buffer.get() + in.begin, in.end - in.begin);
            in.dropped += in.begin;
            in.end -= in.begin;
            in.begin = 0;
        }
        ssize_t got = ::read(in.fd, in.buffer.get() + in.end, in.capacity - in.end);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) text::stop_run("*** read error in " + in.name + ": " + std::strerror(errno));
        if (got == 0) in.drained = true;
        in.end += static_cast<std::size_t>(got > 0 ? got : 0);
    }
    return in.end - in.begin;
}

}  // namespace morva::scanner
