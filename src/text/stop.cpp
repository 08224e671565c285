#include "text/stop.hpp"

#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

#include "text/out_stream.hpp"
#include "text/warning.hpp"

namespace morva::text {
namespace {

EndHandler end_handler = nullptr;

// Standard output goes to a file or a pipe that is not also standard error.
bool report_hidden_from_terminal() {
    if (::isatty(1)) return false;
    struct stat out{}, err{};
    if (::fstat(1, &out) != 0 || ::fstat(2, &err) != 0) return true;
    return !(out.st_dev == err.st_dev && out.st_ino == err.st_ino);
}

// The console's last line while it is still in the buffer (the stops
// without a message of their own have just written it).
std::string_view last_console_line() {
    const OutStream& out = console();
    std::string_view held(out.buffer.get(), out.used);
    if (!held.empty() && held.back() == '\n') held.remove_suffix(1);
    const std::size_t start = held.rfind('\n');
    return start == std::string_view::npos ? held : held.substr(start + 1);
}

[[noreturn]] void finish(int status) {
    // A run that stops before its scan loop leaves earlier results as they were.
    discard_staged_outputs();
    clear_status_line();
    if (status != 0 && end_handler == nullptr && report_hidden_from_terminal()) {
        copy_to_standard_error(last_console_line());
    }
    flush_all();
    if (end_handler != nullptr) end_handler(status);
    std::_Exit(status);
}

}  // namespace

void set_end_handler(EndHandler handler) { end_handler = handler; }

void stop_run(std::string_view message) {
    OutStream& out = console();
    put(out, message);
    put(out, '\n');
    finish(1);
}

void stop_run() { finish(1); }

void end_run() { finish(0); }

}  // namespace morva::text
