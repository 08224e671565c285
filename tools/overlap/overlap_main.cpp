// morva-overlap: how well the flights of a campaign agree where their strips
// overlap. Every flight's points go onto one grid in one projected system;
// in each cell each strip's own plane is fitted, and on smooth cells the
// planes' heights at the cell's centre are compared.

#include <string>
#include <string_view>
#include <vector>

#include "companion_main.hpp"
#include "limits.hpp"
#include "memory_budget.hpp"
#include "overlap_run.hpp"
#include "point_filter.hpp"
#include "text/command_line.hpp"

namespace {

using namespace morva;
using namespace morva::overlap;

constexpr std::string_view kProgram = "morva-overlap";
constexpr std::string_view kUsage = "morva-overlap [options] CAMPAIGN_DIR | RUN_CONTROL...";
constexpr std::string_view kDescription =
    "Compares the flights of a campaign where their strips overlap. Each flight is a\n"
    "run control (read as morva reads it, its names relative to its own folder), or\n"
    "every folder below CAMPAIGN_DIR holding the campaign's run control (run.in, or\n"
    "run_control in its campaign.toml); one flight given twice is refused. All points\n"
    "go onto one grid in one projected coordinate system; in every cell, each strip's\n"
    "plane is fitted to the strip's own points, and where both strips are smooth\n"
    "(enough points, plane residuals and slope within the limits below) dz = A - B is\n"
    "the difference of the two planes at the cell's centre. Per pair: overlap cells,\n"
    "smooth cells, mean, median, standard deviation, RMSDz, 95th percentile and\n"
    "largest |dz|, and the across-track gradient of dz right of each flight line (a\n"
    "roll error shows as a gradient, of opposite signs for opposite directions); per\n"
    "flight the precision (residual standard deviation of its planes on smooth\n"
    "cells). Verdicts against a USGS Lidar Base Specification quality level or\n"
    "figures of your own; a pair with fewer than --min-smooth-cells smooth cells is\n"
    "\"not tested\", with the resolution that would test it. All outputs appear\n"
    "together when all are complete, and never over a flight's files or the\n"
    "campaign's records.\n";
constexpr std::string_view kExitStatus =
    "Exit status: 0 every overlapping pair tested (at least --min-smooth-cells smooth\n"
    "cells) and every verdict a pass; 3 a pair or a flight fails its limits; 4 none\n"
    "fails but a pair or a flight was not tested (too few smooth cells: the table\n"
    "says what would test it); with 3 and 4 every output is written. 1 a flight is\n"
    "missing, unreadable or given twice, flights differ in heights or geodesy\n"
    "without --force, no two flights overlap, the memory bound is too small, or an\n"
    "output cannot be written (then no output is); 2 a wrong command line.\n";


[[noreturn]] void usage(const std::string& message) { text::usage_error(kProgram, message, kUsage); }

OverlapOptions parse_options(int argc, char** argv) {
    OverlapOptions o;
    o.program_path = argv[0];
    bool quality_given = false;
    // Any limit of one's own replaces the quality level's three.
    auto own_limit = [&o](const char* name, const char* help, double Limits::*field) {
        text::Option option = text::number_option(name, "M", help, o.limits.*field, 0, 1000);
        option.apply = [&o, field](const text::OptionValue& v) {
            if (!o.custom_limits) o.limits = Limits{"custom"};
            o.custom_limits = true;
            o.limits.*field = v.number;
            return std::string();
        };
        return option;
    };
    std::vector<text::Option> options = {
        text::text_option("--crs", "CRS",
                          "projected system known to PROJ for geographic inputs\n"
                          "[UTM zone of the campaign; LAS inputs in a projected\n"
                          "CRS: theirs]",
                          o.crs, text::refuse_empty("a coordinate system")),
        text::text_option("--input-crs", "CRS", "the CRS of LAS inputs that state none", o.input_crs,
                          text::refuse_empty("a coordinate system")),
        text::number_option("--resolution", "M", "cell size in metres, 0.1 to 1000 [2]", o.resolution, 0.1, 1000),
        text::number_option("--max-roughness", "M",
                            "largest plane residual standard deviation of a smooth\n"
                            "cell, metres [0.05]",
                            o.criteria.max_roughness, 0, 100),
        text::number_option("--max-slope", "DEG", "steepest smooth cell, degrees [10]", o.criteria.max_slope_deg, 0, 90),
        text::number_option("--min-points", "N", "fewest points of each strip in a smooth cell, 3 or more [4]",
                            o.criteria.min_points, 3, 1000000),
        text::number_option("--min-smooth-cells", "N",
                            "fewest cells smooth in both strips for a pair to be\n"
                            "tested; fewer: \"not tested\" [30]",
                            o.min_smooth_cells, 1, 1e12),
        text::value_option("--limits", "QL",
                           "inter-swath RMSDz, largest |dz| and precision limits\n"
                           "of a quality level, QL0, QL1, QL2 or QL3 (any case) [QL2]",
                           [&o, &quality_given](std::string_view value) {
                               const auto level = quality_level(std::string(value));
                               if (!level) return "'" + std::string(value) + "' is not one of QL0, QL1, QL2, QL3";
                               o.limits = *level;
                               quality_given = true;
                               return std::string();
                           }),
        own_limit("--max-rmsdz",
                  "a largest inter-swath RMSDz of your own (replaces the\n"
                  "quality level)",
                  &Limits::max_rmsdz),
        own_limit("--max-dz", "a largest |dz| of your own (replaces the quality level)", &Limits::max_dz),
        own_limit("--max-precision",
                  "a largest precision of your own (replaces the quality\n"
                  "level)",
                  &Limits::max_precision),
        text::flag_option("--force",
                          "compare flights with different heights (geoid grids) or\n"
                          "geodesy modes; the difference is listed as a warning",
                          o.force),
        text::text_option("--csv", "FILE", "every pair's figures as CSV", o.csv, text::refuse_empty("a file name")),
        text::text_option("--json", "FILE", "every figure of flights and pairs as JSON", o.json,
                          text::refuse_empty("a file name")),
        text::text_option("--rasters", "DIR",
                          "one difference GeoTIFF (COG, float32, nodata -999999 where\n"
                          "not smooth) per pair",
                          o.rasters, text::refuse_empty("a folder name")),
        text::text_option("--picture", "FILE.png", "map of every pair's dz with the flight lines, histograms",
                          o.picture, text::refuse_empty("a file name")),
        common::memory_option("memory the cells may take, e.g. 8G or 512M [three\n"
                              "quarters of the memory available]",
                              o.max_memory),
    };
    for (text::Option& f : common::point_filter_options(o.filter)) options.push_back(std::move(f));
    options.push_back(text::flag_option("--by-source-id",
                                        "a LAS input holds several flights: one per point\n"
                                        "source ID (named FILE#ID)",
                                        o.by_source_id));
    const text::Program program{kProgram, kUsage,
                                [&options] { return text::help_text({kUsage, kDescription, kExitStatus}, options); }};
    for (std::string_view input : text::parse_command_line(program, options, argc, argv)) o.inputs.emplace_back(input);
    if (quality_given && o.custom_limits) usage("option --limits and --max-rmsdz/--max-dz/--max-precision exclude each other");
    if (o.inputs.empty()) usage("missing CAMPAIGN_DIR or RUN_CONTROL");
    return o;
}

}  // namespace

int main(int argc, char** argv) {
    return common::run_companion(kProgram, [argc, argv] { return compare_flights(parse_options(argc, argv)); });
}
