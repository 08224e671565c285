#include <charconv>
#include <string>
#include <string_view>

#include "run/main_sequence.hpp"
#include "run/scan_loop.hpp"
#include "text/command_line.hpp"
#include "text/out_stream.hpp"
#include "text/stop.hpp"

namespace {

constexpr std::string_view kProgram = "morva";
constexpr std::string_view kUsage = "morva [--threads N] < RUN_CONTROL";
constexpr std::string_view kHelp =
    "usage: morva [--threads N] < RUN_CONTROL\n"
    "\n"
    "Turns the raw recording of an airborne laser scanner into georeferenced\n"
    "surface points. The run control on standard input names the scanner file,\n"
    "the trajectory, the geoid grid and the outputs; the console report goes to\n"
    "standard output.\n"
    "\n"
    "  --threads N   georeference on N threads (N >= 1); by default the number\n"
    "                of CPUs this process may run on. Every output is the same\n"
    "                whatever N.\n"
    "  --help        this text\n"
    "  --version     the program's version\n";

int parse_threads(std::string_view value) {
    int n = 0;
    const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), n);
    if (error != std::errc{} || end != value.data() + value.size() || n < 1 || n > 1024) {
        morva::text::usage_error(kProgram, "--threads needs a whole number from 1 to 1024, not '" +
                                               std::string(value) + "'", kUsage);
    }
    return n;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace morva;
    int threads = 0;
    for (int k = 1; k < argc; ++k) {
        const std::string_view a = argv[k];
        if (a == "--help" || a == "-h") text::exit_with_text(kHelp);
        if (a == "--version") text::exit_with_text(text::version_line(kProgram) + "\n");
        if (a == "--threads") {
            if (k + 1 == argc) text::usage_error(kProgram, "--threads needs a value", kUsage);
            threads = parse_threads(argv[++k]);
        } else if (a.rfind("--threads=", 0) == 0) {
            threads = parse_threads(a.substr(10));
        } else {
            text::usage_error(kProgram, "unknown argument '" + std::string(a) + "'", kUsage);
        }
    }
    if (threads == 0) threads = run::available_cpus();
    try {
        run::run_survey({threads});
        text::flush(text::console());
    } catch (const text::RunStopped& stop) {
        return text::report_stop(stop);
    }
    return 0;
}
