// morva-overlap: how well the flights of a campaign agree where their strips
// overlap. Every flight's points go onto one grid in one projected system;
// in each cell each strip's own plane is fitted, and on smooth cells the
// planes' heights at the cell's centre are compared.

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <set>
#include <string>
#include <future>
#include <vector>

#include "flight_inputs.hpp"
#include "inputs/file_guard.hpp"
#include "limits.hpp"
#include "overlap_outputs.hpp"
#include "plane_cells.hpp"
#include "point_pass.hpp"
#include "strip_compare.hpp"
#include "text/command_line.hpp"
#include "text/stop.hpp"

namespace {

using namespace morva;
using namespace morva::overlap;

constexpr std::string_view kProgram = "morva-overlap";
constexpr std::string_view kUsage = "morva-overlap [options] CAMPAIGN_DIR | RUN_CONTROL...";
constexpr std::string_view kDescription =
    "Compares the flights of a campaign where their strips overlap. Each flight is a\n"
    "run control (read as morva reads it, its names relative to its own folder), or\n"
    "every folder below CAMPAIGN_DIR holding a run.in. All points go onto one grid\n"
    "in one projected coordinate system; in every cell, each strip's plane is fitted\n"
    "to the strip's own points, and where both strips are smooth (enough points,\n"
    "plane residuals and slope within the limits below) dz = A - B is the difference\n"
    "of the two planes at the cell's centre. Per pair: overlap cells, smooth cells,\n"
    "mean, median, standard deviation, RMSDz, 95th percentile and largest |dz|, and\n"
    "the across-track gradient of dz right of each flight line (a roll error shows\n"
    "as a gradient, of opposite signs for opposite directions); per flight the\n"
    "precision (residual standard deviation of its planes on smooth cells). Verdicts\n"
    "against a USGS Lidar Base Specification quality level or figures of your own.\n";
constexpr std::string_view kExitStatus =
    "Exit status: 0 compared (whatever the verdicts); 1 a flight is missing or\n"
    "unreadable, flights differ in heights or geodesy without --force, no two\n"
    "flights overlap, or an output cannot be written; 2 a wrong command line.\n";

struct Options {
    std::vector<std::string> inputs;
    std::string crs, csv, json, rasters, picture;
    double resolution = 2;
    SmoothCriteria criteria;
    Limits limits = *quality_level("QL2");
    bool custom_limits = false;
    bool force = false;
};

[[noreturn]] void usage(const std::string& message) { text::usage_error(kProgram, message, kUsage); }

Options parse_options(int argc, char** argv) {
    using text::OptionKind;
    using text::OptionValue;
    Options o;
    bool quality_given = false;
    auto text_value = [](std::string& into, std::string_view what) {
        return [&into, what](const OptionValue& v) {
            into = v.text;
            return v.text.empty() ? "'' is not " + std::string(what) : std::string();
        };
    };
    // Any limit of one's own replaces the quality level's three.
    auto own_limit = [&o](double Limits::*field) {
        return [&o, field](const OptionValue& v) {
            if (!o.custom_limits) o.limits = Limits{"custom"};
            o.custom_limits = true;
            o.limits.*field = v.number;
            return std::string();
        };
    };
    const std::vector<text::Option> options = {
        {"--crs", "CRS", "projected system known to PROJ [UTM zone of the campaign]", OptionKind::Text, {}, {}, true,
         {}, text_value(o.crs, "a coordinate system")},
        {"--resolution", "M", "cell size in metres, 0.1 to 1000 [2]", OptionKind::Number, 0.1, 1000, false, {},
         [&o](const OptionValue& v) { o.resolution = v.number; return std::string(); }},
        {"--max-roughness", "M",
         "largest plane residual standard deviation of a smooth\n"
         "cell, metres [0.05]",
         OptionKind::Number, 0, 100, false, {},
         [&o](const OptionValue& v) { o.criteria.max_roughness = v.number; return std::string(); }},
        {"--max-slope", "DEG", "steepest smooth cell, degrees [10]", OptionKind::Number, 0, 90, false, {},
         [&o](const OptionValue& v) { o.criteria.max_slope_deg = v.number; return std::string(); }},
        {"--min-points", "N", "fewest points of each strip in a smooth cell, 3 or more [4]", OptionKind::Number, 3,
         1000000, true, {},
         [&o](const OptionValue& v) { o.criteria.min_points = static_cast<std::uint32_t>(v.number); return std::string(); }},
        {"--limits", "QL",
         "inter-swath RMSDz, largest |dz| and precision limits\n"
         "of a quality level, QL0, QL1, QL2 or QL3 [QL2]",
         OptionKind::Choice, {}, {}, true, {"QL0", "QL1", "QL2", "QL3"},
         [&o, &quality_given](const OptionValue& v) {
             o.limits = *quality_level(std::string(v.text));
             quality_given = true;
             return std::string();
         }},
        {"--max-rmsdz", "M", "a largest inter-swath RMSDz of your own (replaces the\n"
                             "quality level)",
         OptionKind::Number, 0, 1000, false, {}, own_limit(&Limits::max_rmsdz)},
        {"--max-dz", "M", "a largest |dz| of your own (replaces the quality level)", OptionKind::Number, 0, 1000,
         false, {}, own_limit(&Limits::max_dz)},
        {"--max-precision", "M", "a largest precision of your own (replaces the quality\n"
                                 "level)",
         OptionKind::Number, 0, 1000, false, {}, own_limit(&Limits::max_precision)},
        {"--force", "",
         "compare flights with different heights (geoid grids) or\n"
         "geodesy modes; the difference is listed as a warning",
         OptionKind::Flag, {}, {}, true, {}, [&o](const OptionValue&) { o.force = true; return std::string(); }},
        {"--csv", "FILE", "every pair's figures as CSV", OptionKind::Text, {}, {}, true, {},
         text_value(o.csv, "a file name")},
        {"--json", "FILE", "every figure of flights and pairs as JSON", OptionKind::Text, {}, {}, true, {},
         text_value(o.json, "a file name")},
        {"--rasters", "DIR",
         "one difference GeoTIFF (COG, float32, nodata -999999 where\n"
         "not smooth) per pair",
         OptionKind::Text, {}, {}, true, {}, text_value(o.rasters, "a folder name")},
        {"--picture", "FILE.png", "map of every pair's dz with the flight lines, histograms", OptionKind::Text, {}, {},
         true, {}, text_value(o.picture, "a file name")},
    };
    const text::Program program{kProgram, kUsage,
                                [&options] { return text::help_text({kUsage, kDescription, kExitStatus}, options); }};
    for (std::string_view input : text::parse_command_line(program, options, argc, argv)) o.inputs.emplace_back(input);
    if (quality_given && o.custom_limits) usage("option --limits and --max-rmsdz/--max-dz/--max-precision exclude each other");
    if (o.inputs.empty()) usage("missing CAMPAIGN_DIR or RUN_CONTROL");
    return o;
}

// Flights compared as one campaign must give heights in one system and be
// georeferenced in one mode; --force lists the difference instead.
void check_consistent(const std::vector<Flight>& flights, bool force, std::vector<std::string>& warnings) {
    for (const auto& f : flights) {
        if (f.source.vertical != flights[0].source.vertical) {
            const std::string why = "flights " + flights[0].name + " and " + f.name +
                                    " give heights in different systems (" + flights[0].source.vertical + ", " + f.source.vertical + ")";
            if (!force) fail(why + "; --force compares them all the same");
            warnings.push_back(why);
        }
        if (f.geodesy != flights[0].geodesy) {
            const std::string why = "flights " + flights[0].name + " and " + f.name +
                                    " were georeferenced in different geodesy modes (" + flights[0].geodesy + ", " +
                                    f.geodesy + ")";
            if (!force) fail(why + "; --force compares them all the same");
            warnings.push_back(why);
        }
    }
}

// No output may replace a file of a flight (its run control, its inputs, its
// scan points), nor a folder.
void check_outputs(const Options& o, const std::vector<Flight>& flights) {
    for (const std::string* out : {&o.csv, &o.json, &o.picture}) {
        if (out->empty()) continue;
        std::error_code ec;
        if (std::filesystem::is_directory(*out, ec)) fail("the output " + *out + " is a folder");
        for (const auto& f : flights) {
            for (const auto& file : f.source.files) {
                if (inputs::same_file(*out, file)) {
                    fail("the output " + *out + " is a file of flight " + f.name + " (" + file + "); choose another name");
                }
            }
        }
    }
}

int run(int argc, char** argv) {
    const Options o = parse_options(argc, argv);
    Campaign c;
    c.resolution = o.resolution;
    c.criteria = o.criteria;
    c.limits = o.limits;
    c.forced = o.force;
    const std::vector<Flight> flights = find_flights(o.inputs);
    check_consistent(flights, o.force, c.warnings);
    check_outputs(o, flights);

    // One pass over every flight's points: projected once, summed into the
    // strip's own cells of the one grid.
    std::vector<grid::PointSource> sources;
    for (const auto& f : flights) sources.push_back(f.source);
    grid::ProjectionRequest request;
    request.crs = o.crs.empty() ? "utm" : o.crs;
    grid::inputs_centre(sources, request.centre_lon, request.centre_lat);
    request.vertical = sources[0].vertical;
    std::future<grid::ProjectionSetup> pending = grid::start_projection(request);
    grid::ProjectionSetup setup;
    std::vector<StripCells> cells;
    cells.reserve(flights.size());
    for (std::size_t i = 0; i < flights.size(); ++i) cells.emplace_back(o.resolution);
    std::vector<TrackSums> tracks(flights.size());
    std::vector<double> order(flights.size(), 0);
    const grid::PassCounts counts = grid::project_points(sources, pending, setup, [&](const grid::ProjectedBlock& b) {
        StripCells& g = cells[b.source];
        TrackSums& t = tracks[b.source];
        double& k = order[b.source];
        for (std::size_t i = 0; i < b.n; ++i) {
            add_point(g, b.en[i].e, b.en[i].n, b.geo[i].h);
            // The record's place in the file stands for its time: the flight
            // line is position against progress along the recording.
            add_track(t, k, b.en[i].e, b.en[i].n);
            k += 1;
        }
    });
    c.crs = setup.crs_id.empty() ? request.crs : setup.crs_id;
    c.crs_name = setup.crs_name;
    c.crs_wkt = setup.wkt;
    c.strips.resize(flights.size());
    for (std::size_t i = 0; i < flights.size(); ++i) {
        if (counts.points_per_source[i] == 0) fail("flight " + flights[i].name + " has no scan points with a position");
        c.strips[i].flight = flights[i];
        c.strips[i].points = counts.points_per_source[i];
        summarise(c.strips[i], cells[i], tracks[i], o.criteria);
        cells[i] = StripCells(o.resolution);  // its sums are no longer needed
    }

    for (std::size_t a = 0; a < c.strips.size(); ++a) {
        for (std::size_t b = a + 1; b < c.strips.size(); ++b) {
            PairResult r;
            r.a = a;
            r.b = b;
            if (!compare(c.strips[a], c.strips[b], r)) continue;
            r.verdict = pair_verdict(c.limits, r.smooth_cells, r.rmsdz, r.max_abs);
            c.pairs.push_back(std::move(r));
        }
    }
    if (c.pairs.empty()) fail("no two of the " + std::to_string(flights.size()) + " flights overlap: their strips share no cell");

    std::vector<std::string> rasters;
    if (!o.rasters.empty()) rasters = write_rasters(c, o.rasters);
    if (!o.csv.empty()) write_csv(c, o.csv);
    if (!o.json.empty()) write_json(c, o.json, rasters);
    if (!o.picture.empty()) draw_picture(c, o.picture, argv[0]);
    const std::string t = table(c);
    std::fwrite(t.data(), 1, t.size(), stdout);
    return std::fflush(stdout) == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    try {
        return run(argc, argv);
    } catch (const text::RunStopped& stop) {
        std::string line = stop.line;
        if (line.rfind("*** ", 0) == 0) line.erase(0, 4);  // a stop of the core's run-control reader
        std::fprintf(stderr, "%s: %s\n", std::string(kProgram).c_str(), line.c_str());
        return 1;
    }
}
