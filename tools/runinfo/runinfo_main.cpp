// morva-runinfo: the run control as morva reads it, printed as one JSON
// object, so that the companion programs written in other languages (the
// quick-look, the campaign runner) read run controls through the same reader
// as the run itself instead of a copy of its rules, and check their outputs
// with the same guard as the C++ companions.

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "campaign_records.hpp"
#include "companion_main.hpp"
#include "inputs/output_guard.hpp"
#include "inputs/run_control.hpp"
#include "records/centre_record.hpp"
#include "records/scan_point_record.hpp"
#include "text/command_line.hpp"
#include "text/stop.hpp"
#include "text/text_reader.hpp"

namespace {

constexpr std::string_view kProgram = "morva-runinfo";
constexpr std::string_view kUsage =
    "morva-runinfo RUN_CONTROL | --records | --check-output OUTPUT... -- RUN_CONTROL [INPUT...]";
constexpr std::string_view kHelp =
    "usage: morva-runinfo RUN_CONTROL\n"
    "       morva-runinfo --records\n"
    "       morva-runinfo --check-output OUTPUT... -- RUN_CONTROL [INPUT...]\n"
    "\n"
    "Reads a morva run control with morva's own reader and prints it as one JSON\n"
    "object on standard output: the file names as morva opens them (trailing blanks\n"
    "removed; null for a name of 0), the inputs and outputs of the run, and every\n"
    "parameter. A run control that morva would refuse ends as morva ends: its \"***\"\n"
    "line on standard output, exit 1.\n"
    "\n"
    "With --records it prints instead the layouts of the records morva writes, as\n"
    "one JSON object: for the binary scan-point record each field's name, byte\n"
    "offset, size, signedness and decimals (the stored integer is the value times\n"
    "10^decimals) and the overflow marker; for the text scan-point records (without\n"
    "and with the group size) and the centre-point record each field's name, first\n"
    "column, width and decimals; and the bytes of each record, its line end included.\n"
    "\n"
    "With --check-output it prints nothing and checks the outputs a companion program\n"
    "is about to write: each must not be the run control, a file the run control\n"
    "names (scanner, trajectory, geoid, scan-point and centre-point files, test.out,\n"
    "test_pcorr.out; links followed), another input the program reads (INPUT...),\n"
    "another of the outputs, a folder or a device.\n"
    "\n"
    "Exit status: 0 when the run control or the layouts are printed (or every\n"
    "output may be written), 1 when the run control cannot be read or an output is\n"
    "refused (one line on standard error: morva-runinfo: OUTPUT is ...), 2 for a\n"
    "wrong command line.\n"
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

// Decimals of a scale that is a power of ten.
int decimals_of(double scale) {
    int d = 0;
    for (double s = scale; s > 1.0; s /= 10.0) ++d;
    return d;
}

// The value fields of a text layout with their names, in order.
template <morva::text::Notation L, std::size_t N>
std::string text_layout(const char* const (&names)[N]) {
    static constexpr auto f = morva::text::line::fields<L>();
    static_assert(f.values <= static_cast<int>(N), "a name for every value");
    std::string j = "{\"record_bytes\": " + std::to_string(f.length) + ", \"fields\": [";
    for (const auto& item : f.items) {
        if (item.value < 0) continue;
        if (item.value > 0) j += ", ";
        j += "{\"name\": " + quoted(names[item.value]) + ", \"start\": " + std::to_string(item.at) +
             ", \"width\": " + std::to_string(item.w) + ", \"decimals\": " + std::to_string(item.d) + "}";
    }
    return j + "]}";
}

std::string record_layouts() {
    using namespace morva::records;
    std::string binary = "{\"record_bytes\": " + std::to_string(kBinaryRecordSize) +
                         ", \"overflow_marker\": " + std::to_string(kOverflowMarker) + ", \"fields\": [";
    for (const BinaryField& f : kBinaryFields) {
        if (binary.back() != '[') binary += ", ";
        binary += "{\"name\": " + quoted(f.name) + ", \"offset\": " + std::to_string(f.offset) +
                  ", \"bytes\": " + std::to_string(f.bytes) + ", \"signed\": " + flag(f.is_signed) +
                  ", \"decimals\": " + std::to_string(decimals_of(f.scale)) + "}";
    }
    binary += "]}";
    return "{\"scan_point_binary\": " + binary +
           ",\n \"scan_point_text\": " + text_layout<kScanPointText>(kScanPointTextNames) +
           ",\n \"scan_point_text_with_group_size\": " +
           text_layout<kScanPointTextWithGroupSize>(kScanPointTextNames) +
           ",\n \"centre_text\": " + text_layout<kCentreText>(kCentreTextNames) + "}\n";
}

// One line on standard error for the first output refused; silent when all may be written.
int refuse_outputs(const std::vector<std::string>& outputs, const std::vector<std::string>& other_inputs,
                   const morva::inputs::RunControl& rc, const std::string& run_control) {
    using namespace morva::inputs;
    std::vector<RunFile> taken = run_control_roles(rc, run_control);
    for (const std::string& input : other_inputs) taken.push_back({input, "the input"});
    const std::size_t slash = run_control.rfind('/');
    for (RunFile& f : morva::common::campaign_records(slash == std::string::npos ? "" : run_control.substr(0, slash + 1)))
        taken.push_back(std::move(f));
    for (const std::string& output : outputs) {
        const std::string refusal = output_refusal(output, taken);
        if (!refusal.empty()) {
            std::fprintf(stderr, "%s: %s\n", kProgram.data(), refusal.c_str());
            return 1;
        }
        taken.push_back({output, "the output"});
    }
    return 0;
}

int run(int argc, char** argv) {
    using namespace morva;
    bool records = false, check_outputs = false;
    const std::vector<text::Option> options = {
        text::flag_option("--records", "print the record layouts instead of a run control", records),
        text::flag_option("--check-output", "check the outputs named up to \"--\" instead of printing", check_outputs),
    };
    const text::Program program{kProgram, kUsage, [&options] { return std::string(kHelp) + text::option_lines(options); }};
    // With --check-output every word up to "--" is an output, whatever it looks
    // like; the options are read from the words before the first "--" only.
    int option_words = argc;
    for (int i = 1; i < argc; ++i) {
        if (std::string_view(argv[i]) == "--") {
            option_words = i;
            break;
        }
    }
    std::vector<std::string_view> arguments = text::parse_command_line(program, options, option_words, argv);
    if (records) {
        if (check_outputs || !arguments.empty() || option_words < argc)
            text::usage_error(kProgram, "--records takes no other argument", kUsage);
        text::exit_with_text(record_layouts());
    }
    std::vector<std::string> outputs, other_inputs;
    if (check_outputs) {
        if (option_words >= argc) text::usage_error(kProgram, "option --check-output needs its outputs ended by --", kUsage);
        if (arguments.empty()) text::usage_error(kProgram, "option --check-output needs a value", kUsage);
        outputs.assign(arguments.begin(), arguments.end());
        arguments.clear();
    }
    for (int i = option_words + 1; i < argc; ++i) arguments.emplace_back(argv[i]);
    if (arguments.empty()) text::usage_error(kProgram, "missing RUN_CONTROL", kUsage);
    if (!check_outputs && arguments.size() > 1)
        text::usage_error(kProgram, "unexpected argument '" + std::string(arguments[1]) + "'", kUsage);
    const std::string path(arguments[0]);
    other_inputs.assign(arguments.begin() + 1, arguments.end());

    inputs::RunControl rc;
    text::TextReader in;
    if (!text::open_in(in, path)) {
        std::printf("*** cannot open file: %s\n", path.c_str());
        return 1;
    }
    inputs::read_run_control(in, rc);
    inputs::derive(rc);
    if (check_outputs) return refuse_outputs(outputs, other_inputs, rc, path);

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

}  // namespace

int main(int argc, char** argv) {
    // A bad run control ends with morva's own last line and status 1.
    auto tell_stop = [](const morva::text::RunStopped& stop) { return morva::text::report_stop(stop); };
    return morva::common::run_companion(kProgram, [argc, argv] { return run(argc, argv); }, tell_stop);
}
