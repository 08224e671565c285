// morva-boresight: the misalignment of a scanner installation estimated from
// overlapping flights, by recomputing tie-patch points from the raw
// measurements through the core's georeferencing.

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include <glog/logging.h>

#include "adjustment.hpp"
#include "calibrated_control.hpp"
#include "flight.hpp"
#include "inputs/file_guard.hpp"
#include "inputs/output_guard.hpp"
#include "patches.hpp"
#include "report.hpp"
#include "text/command_line.hpp"
#include "text/out_stream.hpp"
#include "text/stop.hpp"

namespace {

using namespace morva;
using namespace morva::boresight;

constexpr std::string_view kProgram = "morva-boresight";
constexpr std::string_view kUsage = "morva-boresight [options] RUN_CONTROL...";
constexpr std::string_view kHelp =
    "usage: morva-boresight [options] RUN_CONTROL...\n"
    "\n"
    "Estimates the misalignment of a scanner installation (the run control's\n"
    "dpitch droll dheading, in degrees) from two or more overlapping flights of it,\n"
    "best the calibration pattern over sloped surfaces such as roofs (morva-sim\n"
    "--calibration-campaign). Each run control is read as morva reads it, its file\n"
    "names relative to its own folder; the flights must share one scanner and lever\n"
    "arm, and state one misalignment: the starting value.\n"
    "\n"
    "Tie patches are small areas where strips overlap that are planar in every strip\n"
    "covering them, spread over slopes, aspects and positions. For each trial of the\n"
    "angles every patch point is recomputed from its raw measurement through morva's\n"
    "own georeferencing, and the points' distances to their patch planes are\n"
    "minimised with a robust (Huber) loss. Patches are chosen twice: at the starting\n"
    "angles, then again at the first estimate.\n"
    "\n"
    "Prints the estimate with standard deviations and correlations, the RMS point-to-\n"
    "plane distance before and after, and the patches per pair of flights. An angle\n"
    "the flights cannot determine (one flight, all flights one way over level\n"
    "ground, too few patches) is named with the reason, and no number is given.\n"
    "\n"
    "Options:\n"
    "  --geodesy flat|ellipsoid  the georeferencing the flights are processed with (morva\n"
    "                            --geodesy; default flat)\n"
    "  --json FILE               the same report as JSON\n"
    "  --write-run-controls      write beside each run control a copy with only its\n"
    "                            misalignment replaced (run.boresight.in for run.in);\n"
    "                            never over an existing file\n"
    "  --threads N               threads (0: every processor; default 0)\n"
    "  --patch-radius M          radius of a tie patch (0: from the point spacing, about\n"
    "                            twice --min-points in the sparsest strip; default 0)\n"
    "  --min-points N            points per strip in a patch (default 8)\n"
    "  --max-points N            points per strip in a patch used at most, taken evenly\n"
    "                            (default 100)\n"
    "  --max-patches N           patches used at most (default 600)\n"
    "  --min-patches N           fewer patches determine nothing (default 10)\n"
    "  --planarity M             largest plane-fit RMS of a patch in a strip (0: twice the\n"
    "                            median of the candidate areas; default 0)\n"
    "  --max-sigma DEG           an angle whose standard deviation would exceed this is\n"
    "                            not determined (default 0.005)\n"
    "  --help, -h                this text\n"
    "  --version                 version and commit\n"
    "\n"
    "Exit status:\n"
    "  0  the misalignment estimated (and the copies written when asked for)\n"
    "  1  a flight could not be read, the flights are not of one installation, an\n"
    "     angle cannot be determined, or an output could not be written\n"
    "  2  a usage error\n";

struct Options {
    std::vector<std::string> run_controls;
    georef::Geodesy geodesy = georef::Geodesy::Flat;
    std::string json;
    bool write_run_controls = false;
    int threads = 0;
    PatchOptions patch;
    int min_patches = 10;
    double max_sigma = 0.005;
};

[[noreturn]] void usage(const std::string& message) { text::usage_error(kProgram, message, kUsage); }

double number(const std::string& option, const char* value, double lo, double hi) {
    char* end = nullptr;
    const double v = std::strtod(value, &end);
    if (end == value || *end != '\0' || !std::isfinite(v)) usage("option " + option + ": '" + value + "' is not a number");
    if (v < lo || v > hi) {
        char range[96];
        std::snprintf(range, sizeof range, " is out of range (%g to %g)", lo, hi);
        usage("option " + option + ": " + value + range);
    }
    return v;
}

int whole(const std::string& option, const char* value, int lo, int hi) {
    const double v = number(option, value, lo, hi);
    if (v != std::floor(v)) usage("option " + option + ": '" + std::string(value) + "' is not a whole number");
    return static_cast<int>(v);
}

Options parse(int argc, char** argv) {
    Options o;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--help" || a == "-h") text::exit_with_text(kHelp);
        if (a == "--version") text::exit_with_text(text::version_line(kProgram) + "\n");
        if (a == "--write-run-controls") {
            o.write_run_controls = true;
            continue;
        }
        if (a.size() > 1 && a[0] == '-') {
            static const char* const with_value[] = {"--geodesy", "--json", "--threads", "--patch-radius",
                                                     "--min-points", "--max-points", "--max-patches", "--min-patches", "--planarity",
                                                     "--max-sigma"};
            bool known = false;
            for (const char* w : with_value) known = known || a == w;
            if (!known) usage("unknown option " + a);
            if (i + 1 >= argc) usage("option " + a + " needs a value");
            const char* v = argv[++i];
            if (a == "--geodesy") {
                const auto g = georef::parse_geodesy(v);
                if (!g) usage("option --geodesy: '" + std::string(v) + "' is not one of flat, ellipsoid");
                o.geodesy = *g;
            } else if (a == "--json") {
                o.json = v;
            } else if (a == "--threads") {
                o.threads = whole(a, v, 0, 256);
            } else if (a == "--patch-radius") {
                o.patch.radius = number(a, v, 0, 1000);
            } else if (a == "--min-points") {
                o.patch.min_points = whole(a, v, 4, 10000);
            } else if (a == "--max-points") {
                o.patch.max_points = whole(a, v, 4, 100000);
            } else if (a == "--max-patches") {
                o.patch.max_patches = whole(a, v, 1, 1000000);
            } else if (a == "--min-patches") {
                o.min_patches = whole(a, v, 1, 1000000);
            } else if (a == "--planarity") {
                o.patch.planarity = number(a, v, 0, 100);
            } else {
                o.max_sigma = number(a, v, 1e-9, 10);
            }
            continue;
        }
        o.run_controls.push_back(a);
    }
    if (o.run_controls.empty()) usage("missing RUN_CONTROL");
    o.patch.max_points = std::max(o.patch.max_points, o.patch.min_points);
    if (o.threads == 0) o.threads = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    return o;
}

[[noreturn]] void stop(const std::string& message) { text::stop_run(message); }

// One installation: one scanner (its header's geometry and calibration), one
// lever arm and calibration switch, one stated misalignment.
void check_installation(const std::vector<Flight>& flights) {
    const Flight& a = flights.front();
    for (std::size_t k = 1; k < flights.size(); ++k) {
        const Flight& b = flights[k];
        for (std::size_t j = 0; j < k; ++j) {
            if (inputs::same_file(flights[j].name, b.name)) stop(b.name + ": given twice");
        }
        const scanner::scanner_header& ha = a.header;
        const scanner::scanner_header& hb = b.header;
        const bool scanner_same = ha.nmeas == hb.nmeas && ha.range_unit == hb.range_unit &&
                                  ha.angle_unit == hb.angle_unit && ha.polar_id == hb.polar_id &&
                                  std::equal(ha.a, ha.a + 3, hb.a) && std::equal(ha.b, ha.b + 3, hb.b) &&
                                  std::equal(ha.c, ha.c + 3, hb.c) && std::equal(ha.d, ha.d + 3, hb.d) &&
                                  std::equal(ha.eps, ha.eps + 4, hb.eps);
        if (!scanner_same) stop(b.name + ": another scanner than " + a.name + " (its header's geometry differs)");
        if (a.rc.offx != b.rc.offx || a.rc.offy != b.rc.offy || a.rc.offz != b.rc.offz) {
            stop(b.name + ": another lever arm than " + a.name + " (offx offy offz)");
        }
        if (a.rc.use_cal != b.rc.use_cal || a.rc.angle_sign != b.rc.angle_sign) {
            stop(b.name + ": processed otherwise than " + a.name + " (use_cal or the scan-angle sign of iout_type)");
        }
        if (a.rc.dpitch != b.rc.dpitch || a.rc.droll != b.rc.droll || a.rc.dheading != b.rc.dheading) {
            stop(b.name + ": states another misalignment than " + a.name + "; one installation starts from one");
        }
    }
}

void write_file(const std::string& path, const std::string& text) {
    const std::string temp = path + ".part~";
    std::ofstream o(temp, std::ios::binary);
    o << text;
    o.close();
    if (!o || std::rename(temp.c_str(), path.c_str()) != 0) {
        std::remove(temp.c_str());
        stop(path + ": cannot be written");
    }
}

int run(const Options& o) {
    // The core readers' report lines stay in memory.
    text::attach_out(text::console(), -1, "the core's report");

    std::vector<Flight> flights(o.run_controls.size());
    for (std::size_t k = 0; k < flights.size(); ++k) load_flight(o.run_controls[k], o.geodesy, flights[k]);
    check_installation(flights);
    if (!o.json.empty()) {
        for (const Flight& f : flights) {
            const std::string why =
                inputs::output_refusal(o.json, inputs::run_control_roles(f.rc, f.name, f.folder));
            if (!why.empty()) stop(why);
        }
    }
    if (o.write_run_controls) {
        for (const Flight& f : flights) {
            const std::string why = calibrated_refusal(f);
            if (!why.empty()) stop(why);
        }
    }

    Calibration c;
    for (const Flight& f : flights) c.flights.push_back(&f);
    c.geodesy = georef::geodesy_name(o.geodesy);
    const std::array<double, 3> start = {flights[0].rc.dpitch, flights[0].rc.droll, flights[0].rc.dheading};
    c.adjustment.start = c.adjustment.estimate = start;

    const Flight& first = flights.front();
    const Geo centre = georeference_shot(first, first.shots[first.shots.size() / 2], start.data());
    const LocalFrame frame = frame_at(centre.lat, centre.lon);
    AdjustOptions adjust_options;
    adjust_options.threads = o.threads;
    adjust_options.max_sigma = o.max_sigma;

    // Twice: patches at the start, then at the first estimate (a patch's
    // strips then cover one plane even where the start was far off).
    std::array<double, 3> angles = start;
    for (int round = 0; round < 2 && flights.size() >= 2; ++round) {
        c.selection = select_patches(strip_points(flights, frame, angles.data(), o.threads), o.patch);
        if (static_cast<int>(c.selection.patches.size()) < o.min_patches) break;
        c.adjustment = adjust(flights, frame, c.selection.patches, start, adjust_options);
        std::vector<Patch> kept;
        for (std::size_t k : c.adjustment.used) kept.push_back(std::move(c.selection.patches[k]));
        c.selection.patches.swap(kept);
        if (!(c.adjustment.determined[0] && c.adjustment.determined[1] && c.adjustment.determined[2])) break;
        angles = c.adjustment.estimate;
    }
    explain(c, o.min_patches, o.max_sigma);

    const bool ok = all_determined(c);
    if (ok && o.write_run_controls) {
        std::vector<std::string> texts;
        for (const Flight& f : flights) texts.push_back(calibrated_text(f, c.adjustment.estimate));
        for (std::size_t k = 0; k < flights.size(); ++k) {
            write_calibrated(flights[k], texts[k]);
            c.written.push_back(calibrated_name(flights[k].name));
        }
    }
    if (!o.json.empty()) write_file(o.json, report_json(c));
    const std::string text = report_text(c);
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
    if (!ok) {
        std::fprintf(stderr, "%s: %s\n", kProgram.data(), refusal_line(c).c_str());
        return 1;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const Options o = parse(argc, argv);
    FLAGS_minloglevel = google::GLOG_ERROR;  // the solver's notes are not the program's
    try {
        return run(o);
    } catch (const text::RunStopped& s) {
        std::fflush(stdout);
        std::fprintf(stderr, "%s: %s\n", kProgram.data(), text::stop_line(s).c_str());
        return 1;
    }
}
