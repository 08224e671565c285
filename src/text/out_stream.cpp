#include "text/out_stream.hpp"

#include <array>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "text/staging.hpp"
#include "text/stop.hpp"
#include "text/warning.hpp"

namespace morva::text {
namespace {

// Outputs written under temporary names, in the order they were opened.
std::array<OutStream*, 8> staged_streams{};
// The scan loop began: a stop gives the staged outputs their names.
bool staged_kept_on_stop = false;

void allocate(OutStream& out) {
    if (out.capacity < kOutBlock + kOutSlack) {
        out.buffer.reset(new char[kOutBlock + kOutSlack]);
        out.capacity = kOutBlock + kOutSlack;
    }
    out.used = 0;
    out.flush_at = kOutBlock;
    out.failed = false;
}

// Writes n bytes from the start of the buffer; false when the system refuses
// (errno says why).
bool write_all(const OutStream& out, std::size_t n) {
    // The report on the terminal of the progress line starts on a clean line.
    if (n > 0 && &out == &console()) clear_status_line();
    const char* p = out.buffer.get();
    while (n > 0) {
        ssize_t got = ::write(out.fd, p, n);
        if (got < 0 && errno == EINTR) continue;
        if (got == 0) errno = EIO;
        if (got <= 0) return false;
        p += got;
        n -= static_cast<std::size_t>(got);
    }
    return true;
}

// Losing output silently would report a damaged survey as a success. The
// failed stream drops whatever follows; a console that cannot be written has
// no room for a last line. The system's reason (a full disk, a quota) goes to
// standard error; the report's line stays as it always was.
[[noreturn]] void write_failed(OutStream& out) {
    const int error = errno;
    out.failed = true;
    out.used = 0;
    if (&out == &console()) throw RunStopped{"", false, true};
    note("cannot write " + out.name + ": " + std::strerror(error));
    stop_run("*** write error on file: " + out.name);
}

void unstage(OutStream& out) {
    if (!out.temp_path.empty()) forget_temporary(out.temp_path);
    for (auto& slot : staged_streams) {
        if (slot == &out) slot = nullptr;
    }
    out.temp_path.clear();
    out.final_path.clear();
}

// A staged output that never takes its name: its temporary goes.
void discard(OutStream& out) {
    ::unlink(out.temp_path.c_str());
    if (out.fd >= 0) ::close(out.fd);
    out.fd = -1;
    out.used = 0;
    unstage(out);
}

// A write error while closing during a stop comes after the stop's line.
void flush_quietly(OutStream& out) noexcept {
    try {
        flush(out);
    } catch (const RunStopped& stop) {
        if (stop.has_line) add_late_line(stop.line);
    }
}

}  // namespace

bool open_out_staged(OutStream& out, const std::string& path) {
    struct stat st{};
    const bool exists = ::stat(path.c_str(), &st) == 0;
    if (exists && !S_ISREG(st.st_mode)) return open_out(out, path);
    std::string target = path;
    if (exists) {
        // Fails here, as the truncating open would, when the file cannot be
        // written; the file itself is left as it is.
        const int probe = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
        if (probe < 0) return false;
        ::close(probe);
        // A link is followed, as a direct open would: the file it names is replaced.
        target = write_target(path);
        if (target.empty()) return open_out(out, path);
    }
    // The first output staged: a new run, whose stops start out discarding.
    bool first = true;
    for (const OutStream* slot : staged_streams) first = first && slot == nullptr;
    if (first) staged_kept_on_stop = false;
    std::string temp_path;
    const int fd = create_temporary(target, temp_path);
    if (fd < 0) return open_out(out, path);
    if (exists) (void)::fchmod(fd, st.st_mode & 07777);
    attach_out(out, fd, path);
    out.temp_path = temp_path;
    out.final_path = target;
    for (auto& slot : staged_streams) {
        if (slot == nullptr) {
            slot = &out;
            break;
        }
    }
    return true;
}

bool commit_staged_outputs(std::string& failed_name) {
    for (auto& slot : staged_streams) {
        if (slot == nullptr) continue;
        OutStream& out = *slot;
        if (::rename(out.temp_path.c_str(), out.final_path.c_str()) != 0) {
            failed_name = out.name;
            discard_staged_outputs();
            return false;
        }
        unstage(out);
    }
    return true;
}

void keep_staged_outputs_on_stop() { staged_kept_on_stop = true; }

void settle_staged_outputs_on_stop() {
    if (!staged_kept_on_stop) return discard_staged_outputs();
    std::string failed;
    if (!commit_staged_outputs(failed)) add_late_line("*** cannot open file: " + failed);
}

void discard_staged_outputs() {
    for (auto* s : staged_streams) {
        if (s != nullptr) discard(*s);
    }
}

OutStream::~OutStream() { close_quietly(*this); }

bool open_out(OutStream& out, const std::string& path) {
    // A named pipe nobody reads would block the open for ever: opened without
    // waiting it fails with ENXIO instead, and then writes as usual.
    struct stat st{};
    const bool fifo = ::stat(path.c_str(), &st) == 0 && S_ISFIFO(st.st_mode);
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | (fifo ? O_NONBLOCK : 0), 0666);
    if (fd < 0) return false;
    if (fifo) {
        const int flags = ::fcntl(fd, F_GETFL);
        if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) < 0) {
            const int error = errno;
            ::close(fd);
            errno = error;
            return false;
        }
    }
    attach_out(out, fd, path);
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
    // Whole blocks first, so the file's blocks stay what they would be.
    while (out.used > out.flush_at) flush_block(out);
    if (out.used > 0) flush_block(out);
}

void close_out(OutStream& out) {
    if (out.fd < 0) return;
    flush(out);
    if (out.fd > 2) ::close(out.fd);
    out.fd = -1;
}

void close_quietly(OutStream& out) noexcept {
    if (out.fd < 0) return;
    if (!out.temp_path.empty() && staged_kept_on_stop) {
        // A stop during the scan loop or later: what was written takes its name.
        flush_quietly(out);
        ::close(out.fd);
        out.fd = -1;
        if (::rename(out.temp_path.c_str(), out.final_path.c_str()) != 0) {
            ::unlink(out.temp_path.c_str());
            add_late_line("*** cannot open file: " + out.name);
        }
        unstage(out);
        return;
    }
    if (!out.temp_path.empty()) {
        // Still staged: the run never reached its scan loop.
        discard(out);
        return;
    }
    flush_quietly(out);
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
