#include "companion_main.hpp"

#include <cstdio>
#include <exception>
#include <new>
#include <string>

#include "text/staging.hpp"
#include "text/stop.hpp"

namespace morva::common {
namespace {

void tell(std::string_view program, const std::string& what) noexcept {
    std::fflush(stdout);  // what was printed before the stop comes first
    std::fprintf(stderr, "%.*s: %s\n", static_cast<int>(program.size()), program.data(), what.c_str());
    std::fflush(stderr);
}

}  // namespace

int run_companion(std::string_view program, const std::function<int()>& body, const StopTeller& on_stop) noexcept {
    // Before any output exists, so that a signal never leaves a temporary.
    text::remove_temporaries_on_signals();
    try {
        return body();
    } catch (const text::RunStopped& stop) {
        if (on_stop) {
            try {
                return on_stop(stop);
            } catch (...) {
                return 1;
            }
        }
        std::string line = text::stop_line(stop);
        if (line.rfind("*** ", 0) == 0) line.erase(0, 4);  // a stop of the core's run-control reader
        if (!line.empty()) tell(program, line);
    } catch (const std::bad_alloc&) {
        tell(program, "out of memory: the machine could not give what this run needs");
    } catch (const std::exception& error) {
        tell(program, error.what());
    } catch (...) {
        tell(program, "stopped by an unexpected error");
    }
    return 1;
}

}  // namespace morva::common
