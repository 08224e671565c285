#include "picture_script.hpp"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include "text/stop.hpp"

namespace fs = std::filesystem;

namespace morva::common {

namespace {

// Writes all of bytes to fd; false when the reader has gone (its error then tells why).
bool write_all(int fd, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace

std::string picture_script_path(const std::string& program_path, const std::string& name,
                                const std::string& source_path) {
    const fs::path here = fs::weakly_canonical(fs::path(program_path)).parent_path();
    const fs::path installed = here / ".." / "share" / "morva" / "python" / name;
    std::error_code ec;
    if (fs::is_regular_file(installed, ec)) return installed.string();
    return source_path;
}

void run_picture_script(const std::string& script, const std::string& data, const std::string& temp,
                        const std::string& output) {
    int to_child[2], from_child[2];
    if (::pipe2(to_child, O_CLOEXEC) != 0) text::stop_run(output + ": cannot start the picture's script: " + std::strerror(errno));
    if (::pipe2(from_child, O_CLOEXEC) != 0) {
        ::close(to_child[0]);
        ::close(to_child[1]);
        text::stop_run(output + ": cannot start the picture's script: " + std::strerror(errno));
    }
    const pid_t child = ::fork();
    if (child == 0) {
        // The script ends with this process, whatever ends it.
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        ::dup2(to_child[0], 0);
        ::dup2(from_child[1], 2);
        ::execl("/usr/bin/python3", "python3", "-B", script.c_str(), temp.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(to_child[0]);
    ::close(from_child[1]);
    // A script that stops early closes its input: that is an error to read, not a signal.
    struct sigaction ignore{}, before{};
    ignore.sa_handler = SIG_IGN;
    ::sigaction(SIGPIPE, &ignore, &before);
    if (child > 0) write_all(to_child[1], data);
    ::close(to_child[1]);
    ::sigaction(SIGPIPE, &before, nullptr);
    std::string said;
    char buffer[4096];
    for (ssize_t n; (n = ::read(from_child[0], buffer, sizeof buffer)) != 0;) {
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) break;
        said.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(from_child[0]);
    int status = 0;
    if (child > 0) {
        while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
        }
    }
    if (child < 0 || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        // The script's last line says why (a full disk, a missing matplotlib).
        while (!said.empty() && (said.back() == '\n' || said.back() == ' ')) said.pop_back();
        const std::size_t last = said.rfind('\n');
        const std::string why = said.empty() ? "python3 " + script + " failed" : said.substr(last == std::string::npos ? 0 : last + 1);
        text::stop_run(output + ": the picture could not be drawn: " + why);
    }
}

}  // namespace morva::common
