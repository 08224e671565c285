#include "run/run_options.hpp"

#include <charconv>
#include <optional>
#include <string_view>
#include <vector>

#include "text/command_line.hpp"

namespace morva::run {
namespace {

constexpr std::string_view kProgram = "morva";
constexpr std::string_view kUsage = "morva [options] [RUN_CONTROL]";

struct Option {
    std::string_view name;   // "--progress"
    std::string_view value;  // how the value is written in the help; empty: takes none
    std::string_view help;
    // Applies the option; returns an error message, empty when the value is good.
    std::string (*apply)(RunOptions& options, std::string_view value);
};

// One row per option; the help lists them in this order.
const Option kOptions[] = {
    {"--progress", "", "draw the progress line also when standard error is not a terminal (by default only on one)",
     [](RunOptions& o, std::string_view) { o.progress = ProgressMode::On; return std::string(); }},
    {"--no-progress", "", "never draw the progress line",
     [](RunOptions& o, std::string_view) { o.progress = ProgressMode::Off; return std::string(); }},
    {"--geodesy", "MODE",
     "how metres become degrees in the full mode (default flat):\n"
     "                        flat: a flat earth, 111120 m per degree, no curvature; against WGS 84\n"
     "                        a point 230 m from the aircraft lies 0.3 to 1.1 m off, one 1 km away\n"
     "                        1.3 to 5.0 m (latitudes 0 to 78), and heights miss the curvature drop\n"
     "                        (4 mm at 230 m, 8 cm at 1 km)\n"
     "                        ellipsoid: exact positions on WGS 84, within 1 mm of GeographicLib for\n"
     "                        vectors up to 5 km, poles and antimeridian included (a note on standard\n"
     "                        error says it ran)",
     [](RunOptions& o, std::string_view value) {
         const std::optional<georef::Geodesy> mode = georef::parse_geodesy(value);
         if (!mode) return "--geodesy takes flat or ellipsoid, not " + std::string(value);
         o.geodesy = *mode;
         return std::string();
     }},
    {"--metadata", "FILE",
     "write a JSON record of the run to FILE (version, command line, geodesy, threads,\n"
     "                        inputs and outputs with their sizes, the report's figures, the\n"
     "                        warnings, the exit status and any stop line), also when it stops;\n"
     "                        docs/formats.md describes it",
     [](RunOptions& o, std::string_view value) {
         if (value.empty()) return std::string("--metadata needs a file name");
         o.metadata = value;
         return std::string();
     }},
    {"--threads", "N", "georeference on N threads (default: the CPUs it may use)",
     [](RunOptions& o, std::string_view value) {
         int n = 0;
         const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), n);
         if (error != std::errc{} || end != value.data() + value.size() || n < 1 || n > 1024) {
             return "--threads needs a whole number from 1 to 1024, not '" + std::string(value) + "'";
         }
         o.threads = n;
         return std::string();
     }},
};

const Option* find_option(std::string_view name) {
    for (const Option& option : kOptions) {
        if (option.name == name) return &option;
    }
    return nullptr;
}

[[noreturn]] void usage(const std::string& message) { text::usage_error(kProgram, message, kUsage); }

}  // namespace

std::string run_help() {
    std::string help =
        "usage: morva [options] [RUN_CONTROL]\n"
        "\n"
        "Turns an airborne laser scanner's recording into georeferenced surface points.\n"
        "The run control (a text of five file-name lines and eight groups of values) is read\n"
        "from RUN_CONTROL, or from standard input when no file is given or it is \"-\";\n"
        "the names in it are relative to the current folder. It names the scanner file,\n"
        "the GPS/attitude trajectory, the geoid grid (or 0), and the outputs:\n"
        "  scan points      fixed-layout text or 18-byte binary records (or 0 for none)\n"
        "  centre points    the nadir point of every scan\n"
        "  test.out, test_pcorr.out   diagnostic files in the current folder\n"
        "The console report goes to standard output; warnings, the progress line and\n"
        "notes go to standard error, lines of warnings starting with \"morva: warning: \".\n"
        "Outputs are written under temporary names and take their own when the run\n"
        "ends: a run that stops before its scan loop, or is killed, leaves the files\n"
        "of an earlier run as they were (a stop during the scan loop leaves what it\n"
        "wrote); a run needs room for the old and the new results at once.\n"
        "\n"
        "Exit status: 0 the run ended normally; 1 the run stopped (the report's last\n"
        "line, starting with ***, says why; also on standard error when standard output\n"
        "is not a terminal); 2 a wrong option or argument.\n"
        "\n"
        "Options:\n";
    auto add_line = [&help](std::string_view left, std::string_view text) {
        std::string line = "  " + std::string(left);
        line.resize(line.size() < 24 ? 24 : line.size() + 1, ' ');
        help += line + std::string(text) + "\n";
    };
    for (const Option& option : kOptions) {
        std::string left(option.name);
        if (!option.value.empty()) left += " " + std::string(option.value);
        add_line(left, option.help);
    }
    add_line("--help", "print this help and exit");
    add_line("--version", "print the version and exit");
    help +=
        "\n"
        "The run control, every parameter and the console report are described in\n"
        "README.md; every file morva reads and writes in docs/formats.md (both in the\n"
        "morva source folder).\n";
    return help;
}

RunOptions parse_run_options(int argc, const char* const* argv) {
    RunOptions options;
    options.command_line.assign(argv, argv + argc);
    std::vector<std::string_view> files;
    bool options_ended = false;
    for (int k = 1; k < argc; ++k) {
        const std::string_view arg = argv[k];
        if (options_ended || arg == "-" || !arg.starts_with("-")) {
            files.push_back(arg);
            continue;
        }
        if (arg == "--") {
            options_ended = true;
            continue;
        }
        if (arg == "--help") text::exit_with_text(run_help());
        if (arg == "--version") text::exit_with_text(text::version_line(kProgram) + "\n");
        const std::size_t equals = arg.find('=');
        const std::string_view name = arg.substr(0, equals);
        const Option* option = find_option(name);
        if (option == nullptr) usage("unknown option " + std::string(arg));
        std::string_view value;
        if (option->value.empty()) {
            if (equals != std::string_view::npos) usage(std::string(name) + " takes no value");
        } else if (equals != std::string_view::npos) {
            value = arg.substr(equals + 1);
        } else if (k + 1 < argc) {
            value = argv[++k];
        } else {
            usage(std::string(name) + " needs a value " + std::string(option->value));
        }
        const std::string error = option->apply(options, value);
        if (!error.empty()) usage(error);
    }
    if (files.size() > 1) {
        usage("one run-control file expected, got " + std::string(files[0]) + " and " + std::string(files[1]));
    }
    if (!files.empty() && files[0].empty()) usage("empty run-control file name");
    if (!files.empty() && files[0] != "-") options.run_control = files[0];
    return options;
}

}  // namespace morva::run
