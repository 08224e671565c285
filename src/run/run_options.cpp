#include "run/run_options.hpp"

#include <string_view>
#include <vector>

#include "text/command_line.hpp"

namespace morva::run {
namespace {

constexpr std::string_view kProgram = "morva";
constexpr std::string_view kUsage = "morva [options] [RUN_CONTROL]";

// One row per option, bound to the options being filled; the help lists them
// in this order.
std::vector<text::Option> options_of(RunOptions& o) {
    return {
        text::flag_option("--progress",
                          "draw the progress line also when standard error is not a terminal (by default only on one)",
                          o.progress, ProgressMode::On),
        text::flag_option("--no-progress", "never draw the progress line", o.progress, ProgressMode::Off),
        text::choice_option("--geodesy", "MODE",
                            "how metres become degrees in the full mode (default flat):\n"
                            "flat: a flat earth, 111120 m per degree, no curvature; against WGS 84\n"
                            "a point 230 m from the aircraft lies 0.3 to 1.1 m off, one 1 km away\n"
                            "1.3 to 5.0 m (latitudes 0 to 78), and heights miss the curvature drop\n"
                            "(4 mm at 230 m, 8 cm at 1 km)\n"
                            "ellipsoid: exact positions on WGS 84, within 1 mm of GeographicLib for\n"
                            "vectors up to 5 km, poles and antimeridian included (a note on standard\n"
                            "error says it ran)",
                            {georef::geodesy_name(georef::Geodesy::Flat), georef::geodesy_name(georef::Geodesy::Ellipsoid)},
                            o.geodesy),
        text::text_option("--metadata", "FILE",
                          "write a JSON record of the run to FILE (version, command line, geodesy, threads,\n"
                          "inputs and outputs with their sizes, the report's figures, the\n"
                          "warnings, the exit status and any stop line), also when it stops;\n"
                          "docs/formats.md describes it",
                          o.metadata, text::refuse_empty("a file name")),
        text::number_option("--threads", "N", "georeference on N threads (default: the CPUs it may use)", o.threads, 1,
                            1024),
    };
}

// The text of `morva --help`.
std::string run_help() {
    RunOptions defaults;
    const text::HelpText help{
        kUsage,
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
        "wrote); a run needs room for the old and the new results at once.\n",
        "Exit status: 0 the run ended normally; 1 the run stopped (the report's last\n"
        "line, starting with ***, says why; also on standard error when standard output\n"
        "is not a terminal); 2 a wrong option or argument.\n"};
    return text::help_text(help, options_of(defaults)) +
           "\n"
           "The run control, every parameter and the console report are described in\n"
           "README.md; every file morva reads and writes in docs/formats.md (both in the\n"
           "morva source folder).\n";
}

}  // namespace

RunOptions parse_run_options(int argc, const char* const* argv) {
    RunOptions options;
    options.command_line.assign(argv, argv + argc);
    const text::Program program{kProgram, kUsage, run_help};
    const std::vector<text::Option> table = options_of(options);
    const std::vector<std::string_view> files = text::parse_command_line(program, table, argc, argv);
    auto usage = [](const std::string& message) { text::usage_error(kProgram, message, kUsage); };
    if (files.size() > 1) {
        usage("one run-control file expected, got " + std::string(files[0]) + " and " + std::string(files[1]));
    }
    if (!files.empty() && files[0].empty()) usage("empty run-control file name");
    if (!files.empty() && files[0] != "-") options.run_control = files[0];
    return options;
}

}  // namespace morva::run
