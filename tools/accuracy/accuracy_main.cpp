// morva-accuracy: the absolute vertical accuracy of a survey at surveyed
// check points, and its point density, with verdicts against a quality level.

#include <string>
#include <string_view>
#include <vector>

#include "accuracy_options.hpp"
#include "accuracy_run.hpp"
#include "companion_main.hpp"
#include "memory_budget.hpp"
#include "point_filter.hpp"
#include "text/command_line.hpp"

namespace {

using namespace morva;
using accuracy::AccuracyOptions;

constexpr std::string_view kProgram = "morva-accuracy";
constexpr std::string_view kUsage = "morva-accuracy [options] CHECKPOINTS.csv INPUT...";
constexpr std::string_view kDescription =
    "Measures a survey's absolute vertical accuracy at surveyed check points and its\n"
    "point density. CHECKPOINTS.csv holds id,easting,northing,height,land_cover (open\n"
    "or vegetated), as morva-sim --checkpoints writes it; each INPUT is a run control\n"
    "(its scan points, classified into ground here as morva-ground does) or a LAS or\n"
    "LAZ file (its class 2 points are the ground). The ground points are\n"
    "triangulated; at each check point dz = lidar - surveyed, the triangulation's\n"
    "height there less the surveyed height. A check point outside the data, or\n"
    "farther than --max-edge from a ground point, or in a triangle with a longer\n"
    "edge, is listed as not measured, with the reason, and left out of the figures.\n"
    "Per land cover: count, mean, standard deviation, RMSEz; NVA = 1.96 x RMSEz of\n"
    "the open points, VVA = the 95th percentile of |dz| of the vegetated points; each\n"
    "judged against a USGS Lidar Base Specification quality level or limits of your\n"
    "own. A figure of fewer than --min-checkpoints measured points is \"not tested\",\n"
    "never passed. Density: first or only returns per square metre (a run's scan\n"
    "points are one return each) in cells of --density-cell over the data's area\n"
    "(its cells and the empty ones between them on a row), and the share of those\n"
    "cells that meet the level's density. The check points are in\n"
    "--checkpoint-crs, else the EPSG code their file names on a comment line, else\n"
    "the inputs' CRS (geographic inputs: the UTM zone of their centre). All outputs\n"
    "appear together when all are complete, and never over an input.\n";
constexpr std::string_view kExitStatus =
    "Exit status: 0 every figure (RMSEz, NVA, VVA, density) tested and a pass; 3 a\n"
    "figure fails its limit; 4 none fails but a figure was not tested (too few check\n"
    "points, or no limit for it: the table says which); with 3 and 4 every output is\n"
    "written. 1 a bad check-point line, no check point inside the data, check points\n"
    "and inputs in different CRSs or height systems without --force, inputs in a\n"
    "CRS not in metres, an unreadable input, or an output that cannot be written\n"
    "(then no output is); 2 a wrong command line.\n";

AccuracyOptions parse_options(int argc, char** argv) {
    AccuracyOptions o;
    o.program_path = argv[0];
    o.filter.returns = common::Returns::First;  // the density is of first or only returns
    std::vector<text::Option> options = {
        text::text_option("--checkpoint-crs", "CRS",
                          "the check points' projected CRS known to PROJ, e.g.\n"
                          "EPSG:32633 [the one their file names, else the\n"
                          "inputs']",
                          o.checkpoint_crs, text::refuse_empty("a coordinate system")),
        text::text_option("--input-crs", "CRS", "the CRS of LAS inputs that state none", o.input_crs,
                          text::refuse_empty("a coordinate system")),
        text::value_option("--limits", "QL|LIST",
                           "a quality level QL0, QL1, QL2 or QL3 (any case), or limits\n"
                           "of your own: rmsez=M,nva=M,vva=M,density=D (any of\n"
                           "them; one not given is not tested) [QL2]",
                           [&o](std::string_view value) {
                               std::string upper(value);
                               for (char& ch : upper) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
                               std::string error;
                               const auto limits = accuracy::parse_limits(
                                   upper.rfind("QL", 0) == 0 ? std::string_view(upper) : value, error);
                               if (!limits) return error;
                               o.limits = *limits;
                               return std::string();
                           }),
        text::number_option("--max-edge", "M",
                            "longest triangle edge and farthest ground point from a\n"
                            "check point, metres [5]",
                            o.max_edge, 0.01, 10000),
        text::number_option("--min-checkpoints", "N",
                            "fewest measured check points of a land cover for its\n"
                            "figures to be judged [20]",
                            o.min_checkpoints, 1, 1e9),
        text::number_option("--density-cell", "M", "side of the density raster's cells, metres [1]", o.density_cell,
                            0.01, 10000),
        text::number_option("--density-share", "S",
                            "share of the data's cells that must meet the level's\n"
                            "density, 0 to 1 [0.9]",
                            o.required_share, 0, 1),
        text::flag_option("--force",
                          "check points in another CRS than the inputs are taken\n"
                          "into theirs; check points and inputs in different\n"
                          "height systems are compared all the same (each\n"
                          "difference a warning)",
                          o.force),
        text::text_option("--json", "FILE", "every check point and figure as JSON", o.json,
                          text::refuse_empty("a file name")),
        text::text_option("--csv", "FILE", "one line per check point: its dz and status", o.csv,
                          text::refuse_empty("a file name")),
        text::text_option("--picture", "FILE.png", "dz at each check point on the terrain's hillshade, histogram",
                          o.picture, text::refuse_empty("a file name")),
        common::memory_option("memory the points kept may take, e.g. 8G [three quarters\n"
                              "of the memory available]",
                              o.max_memory),
    };
    for (text::Option& f : common::point_filter_options(o.filter)) {
        // The filter chooses the points counted for the density; the ground is class 2 always.
        if (f.name == "--classes")
            f.help = "LAS inputs: the classes counted for the density, e.g.\n"
                     "1,2 (default every class but 7 and 18, noise); the\n"
                     "ground is class 2 whatever this says";
        if (f.name == "--returns")
            f.help = "LAS inputs: the returns counted for the density: first\n"
                     "(default; first or only), last, only or all";
        options.push_back(std::move(f));
    }
    const text::Program program{kProgram, kUsage,
                                [&options] { return text::help_text({kUsage, kDescription, kExitStatus}, options); }};
    const auto arguments = text::parse_command_line(program, options, argc, argv);
    if (arguments.empty()) text::usage_error(kProgram, "missing CHECKPOINTS.csv and INPUT", kUsage);
    if (arguments.size() < 2) text::usage_error(kProgram, "missing INPUT", kUsage);
    o.checkpoints = std::string(arguments[0]);
    for (std::size_t i = 1; i < arguments.size(); ++i) o.inputs.emplace_back(arguments[i]);
    return o;
}

}  // namespace

int main(int argc, char** argv) {
    return common::run_companion(kProgram, [argc, argv] { return accuracy::check_accuracy(parse_options(argc, argv)); });
}
