// morva-runinfo: the run control as morva reads it, printed as one JSON
// object, so that the companion programs written in other languages (the
// quick-look, the campaign runner) read run controls through the same reader
// as the run itself instead of a copy of its rules.

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "inputs/run_control.hpp"
#include "text/command_line.hpp"
#include "text/stop.hpp"
#include "text/text_reader.hpp"

namespace {

constexpr std::string_view kProgram = "morva-runinfo";
constexpr std::string_view kUsage = "morva-runinfo RUN_CONTROL";
constexpr std::string_view kHelp =
    "usage: morva-runinfo RUN_CONTROL\n"
    "\n"
    "Reads a morva run control with morva's own reader and prints it as one JSON\n"
    "object on standard output: the file names as morva opens them (trailing blanks\n"
    "removed; null for a name of 0), the inputs and outputs of the run, and every\n"
    "parameter. A run control that morva would refuse ends as morva ends: its \"***\"\n"
    "line on standard output, exit 1.\n"
    "\n"
    "Exit status: 0 the run control was read; 1 it cannot be opened or morva would\n"
    "refuse it; 2 a wrong option or argument.\n"
    "\n"
    "Options:\n";

std::string quoted(std::string_view s) {
    std::string q = "\"";
    for (unsigned char c : s) {
        if (c == '"' || c == '\\') {
            q += '\\';
            q += static_cast<char>(c);
        } else if (c < 0x20) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\u%04x", c);
            q += hex;
        } else {
            q += static_cast<char>(c);
        }
    }
    return q + "\"";
}

std::string name_or_null(const std::string& name) {
    return morva::inputs::is_none(name) ? "null" : quoted(morva::inputs::trimmed(name));
}

std::string number(double v) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.17g", v);
    return buf;
}

const char* flag(bool b) { return b ? "true" : "false"; }

}  // namespace

int main(int argc, char** argv) {
    using namespace morva;
    const std::vector<text::Option> options;
    const text::Program program{kProgram, kUsage, [&options] { return std::string(kHelp) + text::option_lines(options); }};
    const std::vector<std::string_view> arguments = text::parse_command_line(program, options, argc, argv);
    if (arguments.empty()) text::usage_error(kProgram, "missing RUN_CONTROL", kUsage);
    if (arguments.size() > 1) text::usage_error(kProgram, "unexpected argument '" + std::string(arguments[1]) + "'", kUsage);
    const std::string path(arguments[0]);

    inputs::RunControl rc;
    text::TextReader in;
    if (!text::open_in(in, path)) {
        std::printf("*** cannot open file: %s\n", path.c_str());
        return 1;
    }
    // A bad run control ends with morva's own last line and status 1.
    try {
        inputs::read_run_control(in, rc);
    } catch (const text::RunStopped& stop) {
        return text::report_stop(stop);
    }
    inputs::derive(rc);

    std::string j = "{";
    auto field = [&](std::string_view key, const std::string& value) {
        if (j.size() > 1) j += ", ";
        j += quoted(key) + ": " + value;
    };
    field("scanfile", quoted(inputs::trimmed(rc.scanfile)));
    field("gpsfile", quoted(inputs::trimmed(rc.gpsfile)));
    field("geoidfile", name_or_null(rc.geoidfile));
    field("scanptfile", name_or_null(rc.scanptfile));
    field("centfile", quoted(inputs::trimmed(rc.centfile)));
    std::string inputs_list = "[" + quoted(inputs::trimmed(rc.scanfile)) + ", " + quoted(inputs::trimmed(rc.gpsfile));
    if (rc.geoid_wanted) inputs_list += ", " + quoted(inputs::trimmed(rc.geoidfile));
    field("inputs", inputs_list + "]");
    std::string outputs_list = "[";
    if (rc.scanpt_wanted) outputs_list += quoted(inputs::trimmed(rc.scanptfile)) + ", ";
    outputs_list += quoted(inputs::trimmed(rc.centfile)) + ", \"test_pcorr.out\", \"test.out\"]";
    field("outputs", outputs_list);
    field("hr0", number(rc.hr0));
    field("min0", std::to_string(rc.min0));
    field("sec0", number(rc.sec0));
    field("dtsec", number(rc.dtsec));
    field("use_sync", flag(rc.use_sync));
    field("tstart", number(rc.tstart));
    field("tend", number(rc.tend));
    field("latmin", number(rc.latmin));
    field("latmax", number(rc.latmax));
    field("lonmin", number(rc.lonmin));
    field("lonmax", number(rc.lonmax));
    field("navg", std::to_string(rc.navg));
    field("nthin", std::to_string(rc.nthin));
    field("iout_type", std::to_string(rc.iout_type));
    field("binary_output", flag(rc.binary_output));
    field("attitude", flag(rc.attitude));
    field("use_cal", flag(rc.use_cal));
    field("icalib", std::to_string(rc.icalib));
    field("full_georef", flag(rc.full_georef));
    field("regression_on", flag(rc.regression_on));
    field("offset", "[" + number(rc.offx) + ", " + number(rc.offy) + ", " + number(rc.offz) + "]");
    field("misalignment", "[" + number(rc.dpitch) + ", " + number(rc.droll) + ", " + number(rc.dheading) + "]");
    field("pcoef", "[" + number(rc.pcoef[0]) + ", " + number(rc.pcoef[1]) + ", " + number(rc.pcoef[2]) + ", " +
                       number(rc.pcoef[3]) + "]");
    j += "}\n";
    std::fputs(j.c_str(), stdout);
    return 0;
}
