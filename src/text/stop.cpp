#include "text/stop.hpp"

#include <cstdlib>

#include "text/out_stream.hpp"

namespace morva::text {

void stop_run(std::string_view message) {
    OutStream& out = console();
    put(out, message);
    put(out, '\n');
    flush_all();
    std::_Exit(1);
}

void stop_run() {
    flush_all();
    std::_Exit(1);
}

void end_run() {
    flush_all();
    std::_Exit(0);
}

}  // namespace morva::text
