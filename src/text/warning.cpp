#include "text/warning.hpp"

#include <cerrno>
#include <mutex>
#include <string>
#include <unistd.h>

namespace morva::text {
namespace {

std::string program_name = "morva";
bool status_line_shown = false;
std::mutex told_mutex;
std::vector<std::string> told;

void write_all(const std::string& text) {
    const char* p = text.data();
    std::size_t left = text.size();
    while (left > 0) {
        const ssize_t n = ::write(2, p, left);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;  // nowhere to tell it: the run goes on
        p += n;
        left -= static_cast<std::size_t>(n);
    }
}

}  // namespace

void show_status_line(std::string_view line) {
    write_all("\r" + std::string(line) + "\033[K");
    status_line_shown = true;
}

void clear_status_line() {
    if (status_line_shown) write_all("\r\033[K");
    status_line_shown = false;
}

void set_program_name(std::string_view name) { program_name = name; }

void warn(std::string_view message) {
    clear_status_line();
    const std::string line = program_name + ": warning: " + std::string(message);
    write_all(line + "\n");
    std::lock_guard<std::mutex> lock(told_mutex);
    told.push_back(line);
}

std::vector<std::string> warnings_told() {
    std::lock_guard<std::mutex> lock(told_mutex);
    return told;
}

void note(std::string_view message) {
    clear_status_line();
    write_all(program_name + ": " + std::string(message) + "\n");
}

void copy_to_standard_error(std::string_view line) {
    clear_status_line();
    write_all(std::string(line) + "\n");
}

}  // namespace morva::text
