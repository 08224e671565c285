#include "text/staging.hpp"

#include <array>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <climits>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

namespace morva::text {
namespace {

// Registered temporaries, as names a signal handler may read: each slot holds
// its own copy, published with one atomic store.
constexpr std::size_t kSlots = 64;
std::array<std::atomic<char*>, kSlots> registered{};

// Temporaries of `base` in `folder` ("" for the current one) left by a
// process that is gone (killed, a power loss): no run will finish them.
void remove_orphaned_temporaries(const std::string& folder, const std::string& base) {
    const std::string prefix = "." + base + ".morva-tmp-";
    DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
    if (dir == nullptr) return;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view name = entry->d_name;
        if (!name.starts_with(prefix)) continue;
        std::string_view rest = name.substr(prefix.size());
        const std::size_t dash = rest.find('-');
        if (dash == 0 || dash == std::string_view::npos) continue;
        long pid = 0;
        for (const char c : rest.substr(0, dash)) {
            if (c < '0' || c > '9' || pid > 1000000000L) {
                pid = -1;
                break;
            }
            pid = pid * 10 + (c - '0');
        }
        if (pid <= 0 || pid == ::getpid()) continue;
        if (::kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH) continue;
        ::unlink((folder + std::string(name)).c_str());
    }
    ::closedir(dir);
}

// Unlink, signal and raise are safe in a signal handler.
extern "C" void remove_temporaries_and_end(int signal_number) {
    for (auto& slot : registered) {
        if (const char* name = slot.load()) ::unlink(name);
    }
    std::signal(signal_number, SIG_DFL);
    std::raise(signal_number);
}

// Registers a temporary that a signal ending the process removes.
void register_temporary(const std::string& temp_path) {
    remove_temporaries_on_signals();
    char* copy = ::strdup(temp_path.c_str());
    for (auto& slot : registered) {
        char* expected = nullptr;
        if (slot.compare_exchange_strong(expected, copy)) return;
    }
    std::free(copy);  // more than kSlots at once: only a stop removes the rest
}

}  // namespace

void forget_temporary(const std::string& temp_path) {
    for (auto& slot : registered) {
        char* name = slot.load();
        if (name != nullptr && temp_path == name && slot.compare_exchange_strong(name, nullptr)) {
            std::free(name);
            return;
        }
    }
}

void remove_temporaries_on_signals() {
    static const bool installed = [] {
        for (int signal_number : {SIGINT, SIGTERM, SIGHUP}) {
            struct sigaction previous{};
            if (::sigaction(signal_number, nullptr, &previous) == 0 && previous.sa_handler == SIG_IGN) continue;
            struct sigaction action{};
            action.sa_handler = remove_temporaries_and_end;
            sigemptyset(&action.sa_mask);
            ::sigaction(signal_number, &action, nullptr);
        }
        return true;
    }();
    (void)installed;
}

int create_temporary(const std::string& target, std::string& temp_path) {
    static std::atomic<unsigned> counter{0};
    const std::size_t slash = target.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
    const std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
    if (base.empty() || base == "." || base == "..") {
        errno = EISDIR;
        return -1;
    }
    remove_orphaned_temporaries(folder, base);
    for (int attempt = 0; attempt < 100; ++attempt) {
        temp_path = folder + "." + base + ".morva-tmp-" + std::to_string(::getpid()) + "-" + std::to_string(++counter);
        // Known to the signal handler before the file exists: a signal the
        // moment it is made must find it. O_EXCL with O_CREAT never follows
        // a link of that name.
        register_temporary(temp_path);
        const int fd = ::open(temp_path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd >= 0) return fd;
        const int error = errno;
        forget_temporary(temp_path);
        errno = error;
        if (error != EEXIST) return -1;
    }
    errno = EEXIST;
    return -1;
}

std::string write_target(const std::string& output) {
    struct stat lst{};
    if (::lstat(output.c_str(), &lst) != 0 || !S_ISLNK(lst.st_mode)) return output;
    char* resolved = ::realpath(output.c_str(), nullptr);
    if (resolved == nullptr) {
        // A link to a file not made yet: its target is created.
        std::string target(PATH_MAX, '\0');
        const ssize_t n = ::readlink(output.c_str(), target.data(), target.size());
        if (n <= 0) return {};
        target.resize(static_cast<std::size_t>(n));
        if (target[0] != '/') {
            const std::size_t slash = output.rfind('/');
            if (slash != std::string::npos) target = output.substr(0, slash + 1) + target;
        }
        struct stat st{};
        if (::lstat(target.c_str(), &st) == 0) return {};  // a loop or a chain through a missing folder
        return target;
    }
    std::string target = resolved;
    std::free(resolved);
    return target;
}

}  // namespace morva::text
