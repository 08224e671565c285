#include "text/stop.hpp"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <unistd.h>

#include <mutex>
#include <vector>

#include "text/out_stream.hpp"
#include "text/warning.hpp"

namespace morva::text {
namespace {

std::mutex late_mutex;
std::vector<std::string>& late_lines() {
    static std::vector<std::string> lines;
    return lines;
}

// Standard output goes to a file or a pipe that is not also standard error.
bool report_hidden_from_terminal() {
    if (::isatty(1)) return false;
    struct stat out{}, err{};
    if (::fstat(1, &out) != 0 || ::fstat(2, &err) != 0) return true;
    return !(out.st_dev == err.st_dev && out.st_ino == err.st_ino);
}

// The console's last line while it is still in the buffer.
std::string_view last_console_line() {
    const OutStream& out = console();
    std::string_view held(out.buffer.get(), out.used);
    if (!held.empty() && held.back() == '\n') held.remove_suffix(1);
    const std::size_t start = held.rfind('\n');
    return start == std::string_view::npos ? held : held.substr(start + 1);
}

}  // namespace

void stop_run(std::string_view message) { throw RunStopped{std::string(message), true, false}; }

void stop_run() { throw RunStopped{"", false, false}; }

void stop_cannot_open(const std::string& name, int error) {
    std::string why = "cannot open " + name + ": ";
    if (error == ENXIO) {
        why += "no process reads the named pipe";
    } else {
        why += error != 0 ? std::strerror(error) : "not a file that can be opened";
    }
    if (!name.empty() && name[0] != '/') why += " (names in the run control are relative to the current folder)";
    note(why);
    stop_run("*** cannot open file: " + name);
}

std::string stop_line(const RunStopped& stop) {
    return stop.has_line ? stop.line : std::string(last_console_line());
}

void add_late_line(std::string line) {
    std::lock_guard<std::mutex> lock(late_mutex);
    late_lines().push_back(std::move(line));
}

int report_stop(const RunStopped& stop, bool copy_last_line) noexcept {
    std::vector<std::string> late;
    {
        std::lock_guard<std::mutex> lock(late_mutex);
        late.swap(late_lines());
    }
    // A run that stops before its scan loop leaves earlier results as they
    // were; one that stops later leaves what it wrote.
    settle_staged_outputs_on_stop();
    clear_status_line();
    OutStream& out = console();
    if (stop.console_lost || out.failed) return 1;
    try {
        // Failures met while the stop unwound come first: the last line
        // names the first failure (on a full disk, the file that failed
        // first, not the last one closed).
        for (const std::string& line : late) {
            put(out, line);
            put(out, '\n');
        }
        if (stop.has_line) {
            put(out, stop.line);
            put(out, '\n');
        }
        // So that `morva run.in > report.txt` still shows why it failed.
        if (copy_last_line && report_hidden_from_terminal()) copy_to_standard_error(last_console_line());
        flush(out);
    } catch (const RunStopped&) {
        // The console is gone; the status still tells the stop.
    }
    return 1;
}

}  // namespace morva::text
