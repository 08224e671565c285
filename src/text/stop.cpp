#include "text/stop.hpp"

#include <mutex>
#include <vector>

#include "text/out_stream.hpp"

namespace morva::text {
namespace {

std::mutex late_mutex;
std::vector<std::string>& late_lines() {
    static std::vector<std::string> lines;
    return lines;
}

}  // namespace

void stop_run(std::string_view message) { throw RunStopped{std::string(message), true, false}; }

void stop_run() { throw RunStopped{"", false, false}; }

void add_late_line(std::string line) {
    std::lock_guard<std::mutex> lock(late_mutex);
    late_lines().push_back(std::move(line));
}

int report_stop(const RunStopped& stop) noexcept {
    std::vector<std::string> late;
    {
        std::lock_guard<std::mutex> lock(late_mutex);
        late.swap(late_lines());
    }
    OutStream& out = console();
    if (stop.console_lost || out.failed) return 1;
    try {
        if (stop.has_line) {
            put(out, stop.line);
            put(out, '\n');
        }
        for (const std::string& line : late) {
            put(out, line);
            put(out, '\n');
        }
        flush(out);
    } catch (const RunStopped&) {
        // The console is gone; the status still tells the stop.
    }
    return 1;
}

}  // namespace morva::text
