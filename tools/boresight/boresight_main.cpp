// morva-boresight: the misalignment of a scanner installation estimated from
// overlapping flights, by recomputing tie-patch points from the raw
// measurements through the core's georeferencing.

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include <glog/logging.h>

#include "adjustment.hpp"
#include "companion_main.hpp"
#include "calibrated_control.hpp"
#include "flight.hpp"
#include "flight_geodesy.hpp"
#include "geodesy_record.hpp"
#include "inputs/file_guard.hpp"
#include "inputs/output_guard.hpp"
#include "patches.hpp"
#include "point_dump.hpp"
#include "report.hpp"
#include "staged_text.hpp"
#include "text/command_line.hpp"
#include "text/out_stream.hpp"
#include "text/stop.hpp"
#include "text/warning.hpp"

namespace {

using namespace morva;
using namespace morva::boresight;

constexpr std::string_view kProgram = "morva-boresight";
constexpr std::string_view kUsage = "morva-boresight [options] RUN_CONTROL...";
constexpr std::string_view kDescription =
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
    "own georeferencing, and the points' distances to their patch planes, along\n"
    "their beams, are minimised with a robust (Huber) loss. Patches are chosen\n"
    "twice: at the starting angles, then again at the first estimate.\n"
    "\n"
    "Prints the estimate with standard deviations and correlations, the RMS point-to-\n"
    "plane distance before and after, and the patches per pair of flights. An angle\n"
    "the flights cannot determine (one flight, all flights one way over level\n"
    "ground, too few patches) is named with the reason, and no number is given.\n";
constexpr std::string_view kExitStatus =
    "Exit status:\n"
    "  0  the misalignment estimated (and the copies written when asked for)\n"
    "  1  a flight could not be read, the flights are not of one installation, an\n"
    "     angle cannot be determined, or an output could not be written\n"
    "  2  a usage error\n";

struct Options {
    std::vector<std::string> run_controls;
    std::optional<georef::Geodesy> geodesy;  // --geodesy, when given
    std::vector<std::string> metadata;       // --metadata, one per run control
    std::string json;
    bool write_run_controls = false;
    bool dump_points = false;
    int threads = 0;
    PatchOptions patch;
    int min_patches = 10;
    double max_sigma = 0.005;
};

[[noreturn]] void usage(const std::string& message) { text::usage_error(kProgram, message, kUsage); }

std::vector<text::Option> options_of(Options& o) {
    return {
        text::choice_option("--geodesy", "flat|ellipsoid",
                            "the georeferencing the flights were processed with (morva --geodesy) when their runs' "
                            "records do not say (default flat); one that contradicts a record is refused",
                            common::geodesy_choices(), o.geodesy),
        text::value_option("--metadata", "FILE",
                           "a run's record (morva --metadata FILE), once for each run control in their order: the "
                           "geodesy is taken from it (default: morva.metadata.json beside each run control when it is "
                           "of that run, as morva-campaign keeps it)",
                           [&o](std::string_view value) {
                               o.metadata.emplace_back(value);
                               return value.empty() ? std::string("'' is not a file name") : std::string();
                           }),
        text::text_option("--json", "FILE", "the same report as JSON", o.json, text::refuse_empty("a file name")),
        text::flag_option("--write-run-controls",
                          "write beside each run control a copy with only its misalignment replaced (run.boresight.in "
                          "for run.in); never over an existing file",
                          o.write_run_controls),
        text::flag_option("--dump-points",
                          "instead of calibrating, write beside each run control its points recomputed at its stated "
                          "misalignment, in the form of morva's scan-point file (run.in.points for run.in; never over "
                          "an existing file): they equal the file morva writes",
                          o.dump_points),
        text::number_option("--threads", "N", "threads (0: every processor; default 0)", o.threads, 0, 256),
        text::number_option("--patch-radius", "M",
                            "radius of a tie patch (0: from the point spacing, about twice --min-points in the "
                            "sparsest strip; default 0)",
                            o.patch.radius, 0, 1000),
        text::number_option("--min-points", "N", "points per strip in a patch (default 8)", o.patch.min_points, 4,
                            10000),
        text::number_option("--max-points", "N", "points per strip in a patch used at most, taken evenly (default 100)",
                            o.patch.max_points, 4, 100000),
        text::number_option("--max-patches", "N", "patches used at most (default 600)", o.patch.max_patches, 1,
                            1000000),
        text::number_option("--min-patches", "N", "fewer patches determine nothing (default 10)", o.min_patches, 1,
                            1000000),
        text::number_option("--planarity", "M",
                            "largest plane-fit RMS of a patch in a strip (0: twice the median of the candidate areas; "
                            "default 0)",
                            o.patch.planarity, 0, 100),
        text::number_option("--max-sigma", "DEG",
                            "an angle whose standard deviation would exceed this is not determined (default 0.005)",
                            o.max_sigma, 1e-9, 10),
    };
}

Options parse(int argc, char** argv) {
    Options o;
    const std::vector<text::Option> options = options_of(o);
    const text::Program program{kProgram, kUsage,
                                [&options] {
                                    return text::help_text({kUsage, kDescription, kExitStatus}, options, 28, 88);
                                }};
    for (std::string_view a : text::parse_command_line(program, options, argc, argv)) o.run_controls.emplace_back(a);
    if (o.run_controls.empty()) usage("missing RUN_CONTROL");
    if (!o.metadata.empty() && o.metadata.size() != o.run_controls.size()) {
        usage("--metadata given " + std::to_string(o.metadata.size()) + " times for " +
              std::to_string(o.run_controls.size()) + " run controls: give one record for each, in their order");
    }
    if (o.dump_points && o.write_run_controls) usage("--dump-points and --write-run-controls exclude each other");
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

// The recomputed points of every flight at its stated misalignment.
int dump(const std::vector<Flight>& flights) {
    for (const Flight& f : flights) {
        const std::string why = dump_refusal(flights, f);
        if (!why.empty()) stop(why);
    }
    // Every flight's points appear together, when all are complete.
    common::StagedFiles staged;
    std::string lines;
    for (const Flight& f : flights) {
        const std::string name = dump_name(f.name);
        stage_text(staged, name, dump_points(f, {f.rc.dpitch, f.rc.droll, f.rc.dheading}));
        lines += name + ": " + std::to_string(f.shots.size()) + " points of " + std::to_string(f.measurements.size()) +
                 " measurements (navg " + std::to_string(f.rc.navg) + ")\n";
    }
    staged.commit();
    std::fwrite(lines.data(), 1, lines.size(), stdout);
    std::fflush(stdout);
    return 0;
}

int run(const Options& o) {
    // The core readers' report lines stay in memory.
    text::attach_out(text::console(), -1, "the core's report");

    std::vector<Flight> flights(o.run_controls.size());
    for (std::size_t k = 0; k < flights.size(); ++k) {
        load_flight(o.run_controls[k], o.geodesy.value_or(georef::Geodesy::Flat), flights[k]);
    }
    std::string geodesy_source;
    const georef::Geodesy geodesy = flights_geodesy(flights, o.metadata, o.geodesy, geodesy_source);
    for (Flight& f : flights) f.geodesy = geodesy;
    if (geodesy_source == kFromRecords) text::note(std::string("geodesy ") + georef::geodesy_name(geodesy) + " from " + geodesy_source);
    if (o.dump_points) return dump(flights);
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
    c.geodesy = georef::geodesy_name(geodesy);
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

    // The calibrated copies and the JSON report appear together, when all are
    // complete; none of them on a stop or a signal.
    const bool ok = all_determined(c);
    common::StagedFiles staged;
    if (ok && o.write_run_controls) {
        for (const Flight& f : flights) {
            stage_calibrated(staged, f, calibrated_text(f, c.adjustment.estimate), c.adjustment.estimate);
            c.written.push_back(calibrated_name(f.name));
        }
    }
    if (!o.json.empty()) stage_text(staged, o.json, report_json(c));
    staged.commit();
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
    text::set_program_name(kProgram);
    FLAGS_minloglevel = google::GLOG_ERROR;  // the solver's notes are not the program's
    return common::run_companion(kProgram, [&o] { return run(o); });
}
