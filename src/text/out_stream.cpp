#include "text/out_stream.hpp"

#include <array>
#include <cerrno>
#include <cstdlib>
#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "text/stop.hpp"
#include "text/warning.hpp"

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

// Outputs written under temporary names, in the order they were opened.
std::array<OutStream*, 8> staged_streams{};

void allocate(OutStream& out) {
    if (!out.buffer) {
        out.buffer.reset(new char[kOutBlock]);
        out.capacity = kOutBlock;
    }
    out.used = 0;
}

// A fresh file beside `target`, ".NAME.morva-tmp-PID-N": the process id
// keeps two runs in one folder apart, O_EXCL anything else of that name.
int create_temporary(const std::string& target, std::string& temp_path) {
    static unsigned counter = 0;
    const std::size_t slash = target.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
    const std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
    if (base.empty() || base == "." || base == "..") return -1;
    for (int attempt = 0; attempt < 100; ++attempt) {
        temp_path = folder + "." + base + ".morva-tmp-" + std::to_string(::getpid()) + "-" + std::to_string(++counter);
        const int fd = ::open(temp_path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    return -1;
}

// An interrupted start (Ctrl-C, a job killed) removes the temporaries too,
// then ends as the signal would have ended it; unlink, signal and raise are
// safe in a signal handler.
extern "C" void remove_temporaries_and_end(int signal_number) {
    for (OutStream* s : staged_streams) {
        if (s != nullptr) ::unlink(s->temp_path.c_str());
    }
    std::signal(signal_number, SIG_DFL);
    std::raise(signal_number);
}

void handle_interrupts_once() {
    static bool installed = false;
    if (installed) return;
    installed = true;
    for (int signal_number : {SIGINT, SIGTERM, SIGHUP}) {
        struct sigaction action{};
        action.sa_handler = remove_temporaries_and_end;
        sigemptyset(&action.sa_mask);
        struct sigaction previous{};
        // A signal the caller chose to ignore stays ignored.
        if (::sigaction(signal_number, nullptr, &previous) == 0 && previous.sa_handler == SIG_IGN) continue;
        ::sigaction(signal_number, &action, nullptr);
    }
}

void unstage(OutStream& out) {
    for (auto& slot : staged_streams) {
        if (slot == &out) slot = nullptr;
    }
    out.temp_path.clear();
    out.final_path.clear();
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
        struct stat lst{};
        if (::lstat(path.c_str(), &lst) == 0 && S_ISLNK(lst.st_mode)) {
            char* resolved = ::realpath(path.c_str(), nullptr);
            if (resolved == nullptr) return open_out(out, path);
            target = resolved;
            std::free(resolved);
        }
    }
    handle_interrupts_once();
    std::string temp_path;
    const int fd = create_temporary(target, temp_path);
    if (fd < 0) return open_out(out, path);
    if (exists) (void)::fchmod(fd, st.st_mode & 07777);
    out.fd = fd;
    out.name = path;
    out.temp_path = temp_path;
    out.final_path = target;
    allocate(out);
    enlist(out);
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

void discard_staged_outputs() {
    for (auto* s : staged_streams) {
        if (s == nullptr) continue;
        OutStream& out = *s;
        ::unlink(out.temp_path.c_str());
        delist(out);
        if (out.fd >= 0) ::close(out.fd);
        out.fd = -1;
        out.used = 0;
        unstage(out);
    }
}

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
    // The report on the terminal of the progress line starts on a clean line.
    if (out.used > 0 && &out == &console()) clear_status_line();
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
