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
constexpr std::string_view kHelp =
    "usage: morva-overlap [options] CAMPAIGN_DIR | RUN_CONTROL...\n"
    "\n"
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
    "against a USGS Lidar Base Specification quality level or figures of your own.\n"
    "\n"
    "  --crs CRS             projected system known to PROJ [UTM zone of the campaign]\n"
    "  --resolution M        cell size in metres, 0.1 to 1000 [2]\n"
    "  --max-roughness M     largest plane residual standard deviation of a smooth\n"
    "                        cell, metres [0.05]\n"
    "  --max-slope DEG       steepest smooth cell, degrees [10]\n"
    "  --min-points N        fewest points of each strip in a smooth cell, 3 or more [4]\n"
    "  --limits QL0|QL1|QL2|QL3   inter-swath RMSDz, largest |dz| and precision limits\n"
    "                        of that quality level [QL2]\n"
    "  --max-rmsdz M, --max-dz M, --max-precision M   limits of your own (any of them\n"
    "                        replaces the quality level)\n"
    "  --force               compare flights with different heights (geoid grids) or\n"
    "                        geodesy modes; the difference is listed as a warning\n"
    "  --csv FILE            every pair's figures as CSV\n"
    "  --json FILE           every figure of flights and pairs as JSON\n"
    "  --rasters DIR         one difference GeoTIFF (COG, float32, nodata -999999 where\n"
    "                        not smooth) per pair\n"
    "  --picture FILE.png    map of every pair's dz with the flight lines, histograms\n"
    "  --help, -h            this text\n"
    "  --version             version and commit\n"
    "\n"
    "Exit status:\n"
    "  0  compared (whatever the verdicts)\n"
    "  1  a flight is missing or unreadable, flights differ in heights or geodesy\n"
    "     without --force, no two flights overlap, or an output cannot be written\n"
    "  2  a wrong command line\n";

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

double number(const std::string& option, const std::string& value, double lo, double hi) {
    double v = 0;
    const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), v);
    if (ec != std::errc() || end != value.data() + value.size() || !std::isfinite(v)) {
        usage("option " + option + ": '" + value + "' is not a number");
    }
    if (v < lo || v > hi) {
        char range[96];
        std::snprintf(range, sizeof range, " is out of range (%g to %g)", lo, hi);
        usage("option " + option + ": " + value + range);
    }
    return v;
}

Options parse_options(int argc, char** argv) {
    Options o;
    const std::set<std::string> valued = {"--crs", "--resolution", "--max-roughness", "--max-slope", "--min-points",
                                          "--limits", "--max-rmsdz", "--max-dz", "--max-precision", "--csv",
                                          "--json", "--rasters", "--picture"};
    bool quality_given = false;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--help" || a == "-h") text::exit_with_text(kHelp);
        if (a == "--version") text::exit_with_text(text::version_line(kProgram) + "\n");
        if (a == "--force") {
            o.force = true;
            continue;
        }
        if (a == "--") {
            for (++i; i < argc; ++i) o.inputs.push_back(argv[i]);
            break;
        }
        if (a.size() < 2 || a[0] != '-') {
            o.inputs.push_back(a);
            continue;
        }
        std::string value;
        const std::size_t eq = a.find('=');
        const bool inline_value = eq != std::string::npos;
        if (inline_value) {
            value = a.substr(eq + 1);
            a.resize(eq);
        }
        if (!valued.count(a)) usage("unknown option " + a);
        if (!inline_value) {
            if (i + 1 >= argc) usage("option " + a + " needs a value");
            value = argv[++i];
        }
        if (a == "--crs") {
            if (value.empty()) usage("option --crs needs a value");
            o.crs = value;
        } else if (a == "--resolution") {
            o.resolution = number(a, value, 0.1, 1000);
        } else if (a == "--max-roughness") {
            o.criteria.max_roughness = number(a, value, 0, 100);
        } else if (a == "--max-slope") {
            o.criteria.max_slope_deg = number(a, value, 0, 90);
        } else if (a == "--min-points") {
            o.criteria.min_points = static_cast<std::uint32_t>(number(a, value, 3, 1000000));
        } else if (a == "--limits") {
            const auto q = quality_level(value);
            if (!q) usage("option --limits: '" + value + "' is not one of QL0, QL1, QL2, QL3");
            o.limits = *q;
            quality_given = true;
        } else if (a == "--max-rmsdz" || a == "--max-dz" || a == "--max-precision") {
            if (!o.custom_limits) o.limits = Limits{"custom"};
            o.custom_limits = true;
            const double v = number(a, value, 0, 1000);
            (a == "--max-rmsdz" ? o.limits.max_rmsdz : a == "--max-dz" ? o.limits.max_dz : o.limits.max_precision) = v;
        } else if (a == "--csv") {
            o.csv = value;
        } else if (a == "--json") {
            o.json = value;
        } else if (a == "--rasters") {
            o.rasters = value;
        } else {
            o.picture = value;
        }
    }
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
