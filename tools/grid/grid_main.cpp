// morva-grid: scan points of one or more runs (or LAS files) as a gridded
// elevation model in a projected CRS: a Cloud Optimized GeoTIFF with one band
// per statistic.

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "companion_main.hpp"
#include "geodesy_record.hpp"
#include "grid_run.hpp"
#include "memory_budget.hpp"
#include "point_filter.hpp"
#include "text/command_line.hpp"
#include "text/warning.hpp"

namespace {

using namespace morva;
using namespace morva::grid;

constexpr std::string_view kProgram = "morva-grid";
constexpr std::string_view kUsage = "morva-grid [options] INPUT... OUTPUT.tif";
constexpr std::string_view kDescription =
    "Grids the scan points of morva runs into an elevation model in a projected\n"
    "coordinate system, written as a Cloud Optimized GeoTIFF (tiled, compressed,\n"
    "overviews; tiles without points left out) with one band per statistic, each\n"
    "band described by its name.\n"
    "An INPUT is a run control (its scan-point file and form as morva wrote them;\n"
    "the names inside are taken relative to the run control's folder) or a LAS or\n"
    "LAZ file (LAS 1.0 to 1.4, point formats 0 to 10) with the CRS its records\n"
    "state (or --input-crs). Inputs in one projected CRS make a raster in that\n"
    "CRS, heights as stored; geographic ones are projected. Several inputs\n"
    "make one raster over their union. Cells are square; the raster's west and\n"
    "north edges are multiples of the resolution; a point at easting E, northing N\n"
    "lies in column floor((E - x0) / r) and row floor((y1 - N) / r). Heights stay\n"
    "as the runs wrote them (the metadata item VERTICAL says which, GEODESY how\n"
    "the runs georeferenced when --geodesy or --metadata says).\n"
    "The outputs appear only when all are complete.\n";
constexpr std::string_view kExitStatus =
    "Exit status: 0 the raster was written; 1 it was not (an input or output\n"
    "problem: one line on standard error, no output left); 2 a usage error.\n";

[[noreturn]] void usage(const std::string& message) { text::usage_error(kProgram, message, kUsage); }

GridOptions parse_options(int argc, char** argv) {
    GridOptions o;
    o.max_memory = common::default_memory_bound();
    std::vector<text::Option> options = {
        text::number_option("--resolution", "M",
                            "cell side in metres (default 1); in the CRS's units\nfor inputs in a projected CRS",
                            o.resolution, 0.001, 100000),
        text::value_option("--output-type", "LIST",
                           "bands, from min,max,mean,idw,count,stdev,dtm in the\n"
                           "order given (default min,max,mean,count,stdev); stdev\n"
                           "is the population standard deviation, idw weights the\n"
                           "points within the radius by 1/d^2 from the cell\n"
                           "centre; dtm is the terrain model: the ground points\n"
                           "(class 2 of LAS inputs; a run's points classified on\n"
                           "the fly) triangulated and sampled at the cell centre",
                           [&o](std::string_view list) {
                               std::string bad;
                               if (parse_statistics(list, o.types, bad)) return std::string();
                               return "'" + bad + "' is not one of min, max, mean, idw, count, stdev, dtm";
                           }),
        text::number_option("--radius", "R",
                            "every statistic from the points within R metres of the\n"
                            "cell centre instead of those inside the cell (idw\n"
                            "alone: default r*sqrt(2))",
                            o.radius, 0.001, 100000),
        text::number_option("--max-edge", "D",
                            "dtm: cells in a triangle with an edge longer than D\n"
                            "(CRS units, default 50) stay empty: gaps in the ground\n"
                            "wider than D are not bridged",
                            o.max_edge, 0.001, 1e6),
        text::number_option("--dtm-tile", "L",
                            "dtm: side of the tiles triangulated at once (CRS\n"
                            "units, default ten times --max-edge); the heights do\n"
                            "not depend on it, the memory does",
                            o.dtm_tile, 0.001, 1e9),
        text::number_option("--threads", "N", "dtm: threads triangulating tiles (0: every processor;\ndefault 0)",
                            o.threads, 0, 256),
        text::number_option("--fill", "N",
                            "fill an empty cell of a height band (min, max, mean,\n"
                            "idw, dtm) by inverse-distance weighting of the\n"
                            "non-empty cells within N cells (1 to 100)",
                            o.fill, 1, 100),
        text::number_option("--nodata", "V", "value of empty cells (default -9999; count: 0)", o.nodata, -3.4e38, 3.4e38),
        text::choice_option("--compress", "C",
                            "zstd (default) or deflate: deflate writes slower and\n"
                            "smaller, and every TIFF reader decodes it",
                            {"zstd", "deflate"}, o.compression),
        text::choice_option("--data-type", "T", "float32 (default) or float64", {"float32", "float64"}, o.data_type),
        text::text_option("--crs", "CRS",
                          "the raster's CRS for geographic inputs: utm (default:\n"
                          "the WGS 84 UTM zone of the inputs' centre, EPSG:326zz\n"
                          "or 327zz) or a projected CRS PROJ knows, e.g.\n"
                          "EPSG:25832; LAS inputs in a projected CRS are gridded\n"
                          "in that CRS",
                          o.crs, text::refuse_empty("a coordinate system")),
        text::text_option("--input-crs", "CRS", "the CRS of LAS inputs that state none, e.g. EPSG:2994", o.input_crs,
                          text::refuse_empty("a coordinate system")),
        text::text_option("--vertical-crs", "CRS",
                          "the vertical CRS of the heights, e.g. EPSG:5703 (NAVD88\n"
                          "height): named in the GeoTIFF keys (default: the one\n"
                          "LAS inputs state); the heights are not converted",
                          o.vertical_crs, text::refuse_empty("a vertical coordinate system")),
        text::text_option("--hillshade", "FILE",
                          "also a shaded relief of the dtm band, else of the\n"
                          "first height band (min, max, mean, idw): a\n"
                          "GeoTIFF when FILE ends in .tif or .tiff, else a PNG\n"
                          "with its world file (FILE's name, extension .pgw)",
                          o.hillshade, text::refuse_empty("a file name")),
        text::choice_option("--geodesy", "MODE",
                            "how the runs georeferenced: flat or ellipsoid (morva\n"
                            "--geodesy); recorded in the metadata item GEODESY",
                            common::geodesy_choices(), o.geodesy),
        text::text_option("--metadata", "FILE",
                          "the run's record (morva --metadata FILE) of the one\n"
                          "input: the geodesy is taken from it, and a --geodesy\n"
                          "or run control that contradicts it is refused",
                          o.metadata, text::refuse_empty("a file name")),
    };
    for (text::Option& f : common::point_filter_options(o.filter)) options.push_back(std::move(f));
    options.push_back(common::memory_option("the memory the cells and the raster may take, e.g.\n"
                                            "8G or 512M (default three quarters of the memory\n"
                                            "available, now " + common::memory_text(o.max_memory) + "); a run that needs more\n"
                                            "stops before it takes it",
                                            o.max_memory));
    const text::Program program{kProgram, kUsage,
                                [&options] { return text::help_text({kUsage, kDescription, kExitStatus}, options); }};
    const std::vector<std::string_view> positional = text::parse_command_line(program, options, argc, argv);
    if (positional.size() < 2) usage(positional.empty() ? "missing INPUT" : "missing OUTPUT");
    o.inputs.assign(positional.begin(), positional.end() - 1);
    o.output = positional.back();
    if (!o.hillshade.empty() && std::ranges::none_of(o.types, is_height))
        usage("option --hillshade needs a height band (min, max, mean, idw or dtm) in --output-type");
    return o;
}

}  // namespace

int main(int argc, char** argv) {
    return common::run_companion(kProgram, [argc, argv] {
        const GridOptions o = parse_options(argc, argv);
        text::set_program_name(kProgram);
        make_grid(o);
        return 0;
    });
}
