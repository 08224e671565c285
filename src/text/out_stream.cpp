#include "text/out_stream.hpp"

#include <array>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

#include "text/stop.hpp"

namespace morva::text {
namespace {

// The run never has more than six streams open at once.
std::array<OutStream*, 8> open_streams{};

void enlist(OutStream& out) {
    for (auto& slot : open_streams) {
        if (slot == nullptr || slot == &out) {
            slot = &out;
            return;
        }
    }
}

void delist(OutStream& out) {
    for (auto& slot : open_streams) {
        if (slot == &out) slot = nullptr;
    }
}

void allocate(OutStream& out) {
    if (!out.buffer) {
        out.buffer.reset(new char[kOutBlock]);
        out.capacity = kOutBlock;
    }
    out.used = 0;
}

}  // namespace

bool open_out(OutStream& out, const std::string& path) {
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) return false;
    out.fd = fd;
    out.name = path;
    allocate(out);
    enlist(out);
    return true;
}

void attach_out(OutStream& out, int fd, std::string name) {
    out.fd = fd;
    out.name = std::move(name);
    allocate(out);
    enlist(out);
}

void flush(OutStream& out) {
    const char* p = out.buffer.get();
    std::size_t left = out.used;
    out.used = 0;
    while (left > 0) {
        ssize_t n = ::write(out.fd, p, left);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            // Losing output silently would report a damaged survey as a
            // success. A console that cannot be written ends the run at once.
            if (&out == &console()) std::_Exit(1);
            std::string name = out.name;
            delist(out);
            stop_run("*** write error on file: " + name);
        }
        p += n;
        left -= static_cast<std::size_t>(n);
    }
}

void close_out(OutStream& out) {
    if (out.fd < 0) return;
    flush(out);
    delist(out);
    if (out.fd > 2) ::close(out.fd);
    out.fd = -1;
}

void flush_all() {
    for (auto* s : open_streams) {
        if (s != nullptr && s != &console()) flush(*s);
    }
    flush(console());
}

OutStream& console() {
    // Attached in place: the stop routine keeps the address of the stream.
    static OutStream out;
    static const bool attached = (attach_out(out, 1, "standard output"), true);
    (void)attached;
    return out;
}

}  // namespace morva::text
