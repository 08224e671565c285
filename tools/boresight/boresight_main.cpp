// morva-boresight: the misalignment of a scanner installation estimated from
// overlapping flights, by recomputing tie-patch points from the raw
// measurements through the core's georeferencing.

#include <algorithm>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include <glog/logging.h>

#include "calibration_run.hpp"
#include "companion_main.hpp"
#include "geodesy_record.hpp"
#include "text/command_line.hpp"
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


[[noreturn]] void usage(const std::string& message) { text::usage_error(kProgram, message, kUsage); }

std::vector<text::Option> options_of(BoresightOptions& o) {
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

BoresightOptions parse(int argc, char** argv) {
    BoresightOptions o;
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

}  // namespace

int main(int argc, char** argv) {
    const BoresightOptions o = parse(argc, argv);
    text::set_program_name(kProgram);
    FLAGS_minloglevel = google::GLOG_ERROR;  // the solver's notes are not the program's
    return common::run_companion(kProgram, [&o] { return calibrate(o); });
}
