#include "text/out_stream.hpp"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

#include "text/stop.hpp"

namespace morva::text {
namespace {

void allocate(OutStream& out) {
    if (out.capacity < kOutBlock + kOutSlack) {
        out.buffer.reset(new char[kOutBlock + kOutSlack]);
        out.capacity = kOutBlock + kOutSlack;
    }
    out.used = 0;
    out.flush_at = kOutBlock;
    out.failed = false;
}

// Writes n bytes from the start of the buffer; false when the system refuses.
bool write_all(const OutStream& out, std::size_t n) {
    const char* p = out.buffer.get();
    while (n > 0) {
        ssize_t got = ::write(out.fd, p, n);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return false;
        p += got;
        n -= static_cast<std::size_t>(got);
    }
    return true;
}

// Losing output silently would report a damaged survey as a success. The
// failed stream drops whatever follows; a console that cannot be written has
// no room for a last line.
[[noreturn]] void write_failed(OutStream& out) {
    out.failed = true;
    out.used = 0;
    if (&out == &console()) throw RunStopped{"", false, true};
    stop_run("*** write error on file: " + out.name);
}

}  // namespace

OutStream::~OutStream() { close_quietly(*this); }

bool open_out(OutStream& out, const std::string& path) {
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) return false;
    out.fd = fd;
    out.name = path;
    allocate(out);
    return true;
}

void attach_out(OutStream& out, int fd, std::string name) {
    out.fd = fd;
    out.name = std::move(name);
    allocate(out);
}

void flush_block(OutStream& out) {
    if (out.fd < 0) return;
    if (out.failed) {
        out.used = 0;
        return;
    }
    const std::size_t n = out.used < out.flush_at ? out.used : out.flush_at;
    if (!write_all(out, n)) write_failed(out);
    std::memmove(out.buffer.get(), out.buffer.get() + n, out.used - n);
    out.used -= n;
}

void make_room(OutStream& out, std::size_t n) {
    std::size_t wanted = out.capacity * 2;
    if (wanted < out.used + n) wanted = out.used + n;
    if (wanted < 4096) wanted = 4096;
    std::unique_ptr<char[]> wider(new char[wanted]);
    if (out.used > 0) std::memcpy(wider.get(), out.buffer.get(), out.used);
    out.buffer = std::move(wider);
    out.capacity = wanted;
}

void put_bytes(OutStream& out, const char* data, std::size_t n) {
    while (n > 0) {
        if (out.used >= out.flush_at) flush_block(out);
        std::size_t room = out.flush_at > out.used ? out.flush_at - out.used : 0;
        if (out.fd < 0) room = n;  // a memory stream takes everything at once
        const std::size_t take = room < n ? room : n;
        std::memcpy(reserve(out, take), data, take);
        out.used += take;
        data += take;
        n -= take;
    }
}

void flush(OutStream& out) {
    if (out.fd < 0) return;
    if (out.failed) {
        out.used = 0;
        return;
    }
    // Whole blocks first, so the file's blocks stay what they would be.
    while (out.used > out.flush_at) flush_block(out);
    if (out.used > 0 && !write_all(out, out.used)) write_failed(out);
    out.used = 0;
}

void close_out(OutStream& out) {
    if (out.fd < 0) return;
    flush(out);
    if (out.fd > 2) ::close(out.fd);
    out.fd = -1;
}

void close_quietly(OutStream& out) noexcept {
    if (out.fd < 0) return;
    try {
        flush(out);
    } catch (const RunStopped& stop) {
        if (stop.has_line) add_late_line(stop.line);
    }
    if (out.fd > 2) ::close(out.fd);
    out.fd = -1;
}

OutStream& console() {
    // Attached in place: every layer writes its report lines here.
    static OutStream out;
    static const bool attached = (attach_out(out, 1, "standard output"), true);
    (void)attached;
    return out;
}

}  // namespace morva::text
