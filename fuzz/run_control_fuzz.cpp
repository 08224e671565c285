// The run-control text on standard input: the five name lines and the eight
// free-format groups, the derived values, and the output-name guard.

#include <fcntl.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <cstdlib>

#include "harness.hpp"
#include "run/file_guard.hpp"
#include "run/run_control.hpp"
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
        run::RunControl rc;
        run::read_run_control(control, rc);
        run::derive(rc);
        run::check_output_names(rc);
        text::end_run();
    });
    return 0;
}
