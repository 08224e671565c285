// morva-ground: every point of its inputs classified as ground (2), low noise
// (7) or unclassified (1) and written as LAS or LAZ with every other field
// unchanged; a thin command line over the classifier library.

#include <limits>
#include <string>
#include <string_view>
#include <vector>

#include "companion_main.hpp"
#include "ground_run.hpp"
#include "memory_budget.hpp"
#include "text/command_line.hpp"
#include "text/warning.hpp"

namespace {

using namespace morva;
using namespace morva::ground_program;

constexpr std::string_view kProgram = "morva-ground";
constexpr std::string_view kUsage = "morva-ground [options] INPUT... OUTPUT.las|.laz";
constexpr std::string_view kDescription =
    "Classifies every point of its inputs as ground (2), low noise (7: an isolated\n"
    "point well below the surface around it, as multipath gives) or unclassified\n"
    "(1), and writes them with every other field unchanged (the records are copied;\n"
    "only the class is set, the flags beside it kept). An input is a LAS or LAZ\n"
    "file or a morva run control: a run's scan points become the records morva-las\n"
    "writes with the same --crs (utm by default), --date, --source-id and the\n"
    "like, then classified. Several inputs make one output (they must share point\n"
    "format, record length, scale and coordinate system; runs take the offsets of\n"
    "the first LAS input, or of the runs' centre), or with --each one output per\n"
    "input.\n"
    "The method: a morphological filter on the lowest-point surface with low-noise\n"
    "removal and terrain-step recovery (docs/ground.md). LAS inputs must be in a\n"
    "projected coordinate system; every length below is in its units, and the\n"
    "defaults, given in metres, are converted (a system in feet takes 3.28 ft for\n"
    "1 m). Points already of class 7 or 18 keep it and take no part. The work goes\n"
    "tile by tile on every core; the classes are the same whatever --threads and\n"
    "--tile-size. Points beyond --max-memory are spilled to temporary files beside\n"
    "the output and classified tile by tile from there (the same output, more slowly).\n"
    "Outputs appear together when all are complete, never over an input.\n";
constexpr std::string_view kExitStatus =
    "Exit status: 0 every output was written; 1 none was (the last line on standard\n"
    "error says why: an input unreadable, without points or without a coordinate\n"
    "system, settings that make no sense, an output over an input); 2 a wrong\n"
    "option or argument.\n";

[[noreturn]] void usage(const std::string& message) { text::usage_error(kProgram, message, kUsage); }

GroundOptions parse_options(int argc, char** argv) {
    GroundOptions o;
    o.run.crs = "utm";
    ground::GroundSettings& s = o.settings;
    const double unset = std::numeric_limits<double>::quiet_NaN();
    for (double* length : {&s.cell_size, &s.max_window, &s.height_threshold, &s.low_noise_depth, &s.low_noise_radius,
                           &s.fill_distance, &s.tile_size})
        *length = unset;
    std::vector<text::Option> options = {
        text::flag_option("--each",
                          "one output per input: OUTPUT is a pattern in which {}\n"
                          "stands for the input's name without folder and\n"
                          "extension, e.g. ground/{}.laz",
                          o.each),
        text::flag_option("--keep-existing",
                          "classify only points of class 0 or 1; every other point\n"
                          "keeps its class, and of those only ground (2) points\n"
                          "take part in the terrain",
                          s.keep_existing),
        text::text_option("--input-crs", "CRS", "the CRS of LAS inputs that state none", o.input_crs,
                          text::refuse_empty("a coordinate system")),
        text::text_option("--crs", "CRS",
                          "the CRS run controls' points are projected into: utm\n"
                          "(default: the WGS 84 UTM zone of the runs' centre) or a\n"
                          "projected CRS PROJ knows, e.g. EPSG:25832 (X and Y in\n"
                          "1 mm, as morva-las --crs writes them)",
                          o.run.crs, text::refuse_empty("a coordinate system")),
        text::number_option("--cell-size", "L", "side of the lowest-point cells [1 m]", s.cell_size, 0.001, 1e6),
        text::number_option("--max-window", "L",
                            "radius of the widest opening: more than half the\n"
                            "widest building [24 m]",
                            s.max_window, 0.001, 1e6),
        text::number_option("--slope", "S", "steepest terrain slope kept, rise over run [0.2]", s.slope, 0.001, 100),
        text::number_option("--height-threshold", "L", "a point is ground within this of the terrain ... [0.5 m]",
                            s.height_threshold, 0, 1e6),
        text::number_option("--slope-scale", "F", "... plus this times the terrain's slope [1]", s.slope_scale, 0, 1000),
        text::number_option("--low-noise-depth", "L",
                            "low noise lies this far below every cell around ...\n"
                            "[1 m]",
                            s.low_noise_depth, 0, 1e6),
        text::number_option("--low-noise-radius", "L", "... within this distance [3 m]", s.low_noise_radius, 0.001, 1e6),
        text::number_option("--fill-distance", "L", "farthest a cell takes the terrain from [20 m]", s.fill_distance, 0,
                            1e6),
        text::number_option("--tile-size", "L", "side of the tiles worked on at once [750 m]", s.tile_size, 0.001, 1e9),
        text::number_option("--threads", "N", "threads classifying tiles and compressing LAZ;\n"
                            "0: every core [0]",
                            s.threads, 0, 1024),
    };
    for (std::vector<text::Option> more : {common::flight_time_options(o.run), common::run_record_options(o.run)})
        for (text::Option& r : more) options.push_back(std::move(r));
    options.push_back(text::text_option("--metadata", "FILE",
                                        "the run's record (morva --metadata FILE) of the one run\n"
                                        "control among the inputs: the geodesy is taken from\n"
                                        "it, and a --geodesy that contradicts it is refused",
                                        o.metadata, text::refuse_empty("a file name")));
    options.push_back(
        common::memory_option("memory the points and tiles may take, e.g. 8G; beyond\n"
                              "it the points go to disk, a tile at a time [three\n"
                              "quarters of the memory available]",
                              o.max_memory));
    const text::Program program{kProgram, kUsage,
                                [&options] { return text::help_text({kUsage, kDescription, kExitStatus}, options); }};
    const std::vector<std::string_view> positional = text::parse_command_line(program, options, argc, argv);
    if (positional.size() < 2) usage(positional.empty() ? "missing INPUT" : "missing OUTPUT.las");
    for (std::size_t k = 0; k + 1 < positional.size(); ++k) o.inputs.emplace_back(positional[k]);
    o.output = positional.back();
    if (o.each && o.output.find("{}") == std::string::npos)
        usage("with --each, OUTPUT is a pattern holding {} for each input's name, e.g. ground/{}.laz");
    if (!o.each && o.output.find("{}") != std::string::npos)
        usage("OUTPUT holds {}: give --each for one output per input");
    return o;
}

}  // namespace

int main(int argc, char** argv) {
    text::set_program_name(kProgram);
    return common::run_companion(kProgram, [argc, argv] { return classify_inputs(parse_options(argc, argv)); });
}
