#include "text/stop.hpp"

#include <cstdlib>

#include "text/out_stream.hpp"

namespace morva::text {
namespace {

EndHandler end_handler = nullptr;

[[noreturn]] void finish(int status) {
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
