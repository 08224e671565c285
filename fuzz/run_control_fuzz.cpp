// The run-control text on standard input: the five name lines and the eight
// free-format groups, the derived values, and the output-name guard.

#include <fcntl.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <cstdlib>

#include "harness.hpp"
#include "inputs/file_guard.hpp"
#include "inputs/run_control.hpp"
#include "text/stop.hpp"
#include "text/text_reader.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace morva;
    fuzz::prepare();
    const std::string path = fuzz::write_input("run.in", data, size);
    fuzz::run_one([&] {
        text::TextReader control;
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) std::abort();
        text::attach_in(control, fd, "standard input");
        inputs::RunControl rc;
        inputs::read_run_control(control, rc);
        inputs::derive(rc);
        inputs::check_output_names(rc);
    });
    return 0;
}
