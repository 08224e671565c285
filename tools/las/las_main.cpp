// morva-las: a run's scan points as a LAS 1.4 file (point format 6) with its
// coordinate system and GPS times, for point-cloud viewers and GIS.

#include <future>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "campaign_records.hpp"
#include "companion_main.hpp"
#include "point_source.hpp"
#include "run_las.hpp"
#include "flight_time.hpp"
#include "inputs/output_guard.hpp"
#include "inputs/run_control.hpp"
#include "scan_point_export.hpp"
#include "las_writer.hpp"
#include "geodesy_record.hpp"
#include "unreadable.hpp"
#include "text/command_line.hpp"
#include "text/out_stream.hpp"
#include "text/stop.hpp"
#include "text/text_reader.hpp"
#include "text/warning.hpp"

namespace {

using namespace morva;

constexpr std::string_view kProgram = "morva-las";
constexpr std::string_view kUsage = "morva-las [options] RUN_CONTROL OUTPUT.las";
constexpr std::string_view kDescription =
    "Writes the scan points of a morva run as a LAS 1.4 file (point format 6) for\n"
    "point-cloud viewers and GIS. The run control is read as morva reads it; it\n"
    "names the scan-point file and its form (binary records for iout_type 2, else\n"
    "text, with the group size when navg is above 1) and whether a geoid grid was\n"
    "used. X is longitude and Y latitude (1e-7 degree), Z the height (1 mm), exactly\n"
    "the values of the scan-point records; GPS Time is Adjusted Standard GPS Time on\n"
    "the flight date. Records without a time or position, or with a latitude beyond\n"
    "+-90 degrees, are skipped and counted.\n"
    "An output ending in .laz (or --compress) is written as LAZ: the same header,\n"
    "records and points, compressed losslessly (LASzip chunks of 50000 points,\n"
    "on every core).\n"
    "The names inside the run control are taken relative to its own folder (as\n"
    "morva reads them when run there). The file appears only when it is complete;\n"
    "an output that is a link writes the file the link names.\n";
constexpr std::string_view kExitStatus =
    "Exit status: 0 the file was written; 1 it was not (the last line on standard\n"
    "error says why); 2 a wrong option or argument.\n";

struct Options {
    std::string run_control, output;
    common::RunLasOptions run;           // --date, --time-of-day, --crs, --vertical-crs, --source-id, --geodesy
    std::string metadata;             // the run's record, when given
    bool compress = false;            // LAZ whatever the output's name
};

[[noreturn]] void usage(const std::string& message) { text::usage_error(kProgram, message, kUsage); }

Options parse_options(int argc, char** argv) {
    Options o;
    o.run.crs = "EPSG:4979";
    std::vector<text::Option> options = common::flight_time_options(o.run);
    options.push_back(text::text_option("--crs", "CRS",
                                        "a geographic 3D coordinate system known to PROJ in\n"
                                        "place of WGS 84 (EPSG:4979), e.g. EPSG:7912; or utm\n"
                                        "(the WGS 84 UTM zone of the points' centre) or a\n"
                                        "projected CRS, e.g. EPSG:25832: X and Y are then\n"
                                        "easting and northing (1 mm), projected by PROJ",
                                        o.run.crs, text::refuse_empty("a coordinate system")));
    for (text::Option& r : common::run_record_options(o.run)) options.push_back(std::move(r));
    for (text::Option& r : std::vector<text::Option>{
        text::flag_option("--compress",
                          "write LAZ (compressed) whatever the output's name;\n"
                          "an output ending in .laz is LAZ without it",
                          o.compress),
        text::text_option("--metadata", "FILE",
                          "the run's record (morva --metadata FILE): the geodesy is\n"
                          "taken from it, and a --geodesy that contradicts it is\n"
                          "refused",
                          o.metadata, text::refuse_empty("a file name")),
         })
        options.push_back(std::move(r));
    const text::Program program{kProgram, kUsage,
                                [&options] { return text::help_text({kUsage, kDescription, kExitStatus}, options); }};
    const std::vector<std::string_view> positional = text::parse_command_line(program, options, argc, argv);
    if (positional.size() < 2) usage(positional.empty() ? "missing RUN_CONTROL" : "missing OUTPUT.las");
    if (positional.size() > 2) usage("unexpected argument '" + std::string(positional[2]) + "'");
    o.run_control = positional[0];
    o.output = positional[1];
    return o;
}

[[noreturn]] void fail(const std::string& message) { text::stop_run("morva-las: " + message); }

// The run control's folder, "" or ending in '/': the names inside a run
// control are taken relative to it, as morva reads them when run there.
std::string folder_of(const std::string& run_control) {
    const std::size_t slash = run_control.rfind('/');
    return slash == std::string::npos ? std::string() : run_control.substr(0, slash + 1);
}

// A name inside the run control, as this program opens it.
std::string beside(const std::string& run_control, const std::string& name) {
    if (name.empty() || name[0] == '/') return name;
    return folder_of(run_control) + name;
}

// The output must not replace any file of the run, nor a folder or device.
void check_output(const Options& o, const inputs::RunControl& rc) {
    std::vector<inputs::RunFile> files = common::run_files(rc, o.run_control, folder_of(o.run_control));
    if (!o.metadata.empty()) files.push_back({o.metadata, "the run's record"});
    const std::string refusal = inputs::output_refusal(o.output, files);
    if (!refusal.empty()) fail("the output " + refusal + "; choose another name");
}

// How the run went from metres to degrees: from its record when given (a
// --geodesy that says otherwise is refused), else --geodesy, else flat.
bool run_was_ellipsoidal(const Options& o) {
    const common::RunGeodesy g = common::run_geodesy(o.metadata, o.run.geodesy);
    if (!g.error.empty()) fail(g.error);
    return g.mode == georef::Geodesy::Ellipsoid;
}

void export_run(const Options& o) {
    inputs::RunControl rc;
    {
        text::TextReader in;
        if (!text::open_in(in, o.run_control)) fail("cannot read the run control: " + common::unreadable(o.run_control));
        inputs::read_run_control(in, rc);
        inputs::derive(rc);
    }
    if (!rc.scanpt_wanted) fail("the run control names no scan-point file (0): there are no points to convert");
    if (rc.iout_type > 3) fail("the run control's iout_type " + std::to_string(rc.iout_type) + " is not a form morva writes");
    if (!rc.full_georef) {
        // The simplified vertical computation stores along-track time and
        // across-track offset per speed in those fields: no position to place a point at.
        fail("the run control's full_georef is F (the simplified vertical computation): its scan points hold "
             "along-track time and across-track offset in place of latitude and longitude, not positions");
    }
    // PROJ's start-up (opening its database) runs on a thread of its own
    // while the run's files are checked and, in the geographic default, the
    // first points converted.
    common::PointSource points;
    points.points_file = beside(o.run_control, inputs::trimmed(rc.scanptfile));
    points.binary = rc.binary_output;
    points.with_group_size = !rc.binary_output && rc.navg > 1;
    std::future<common::CoordinateSystem> crs =
        std::async(std::launch::async, [&o, points, geoid = rc.geoid_wanted ? inputs::trimmed(rc.geoidfile) : std::string()] {
            return common::run_coordinate_system(o.run.crs, o.run.vertical_crs, geoid, common::sample_bounds(points));
        });
    check_output(o, rc);
    const bool ellipsoidal = run_was_ellipsoidal(o);

    const std::optional<common::Date> date =
        common::flight_date(std::string(kProgram), o.run, beside(o.run_control, inputs::trimmed(rc.scanfile)));
    common::ExportPlan plan = common::run_export_plan(std::string(kProgram), std::string(kProgram), o.run, date, ellipsoidal, points);
    plan.output = o.output;
    plan.compress = o.compress || common::is_laz_name(o.output);

    const common::ExportCounts counts = common::export_las(plan, std::move(crs));

    text::note(std::to_string(counts.points) + " points written to " + o.output);
    if (counts.not_points > 0) {
        text::warn(std::to_string(counts.not_points) +
             " records skipped: their time, latitude, longitude or height was not written (asterisks, NaN or "
             "the overflow marker), or their latitude lies beyond +-90 degrees");
    }
    if (counts.unknown_amplitude > 0) {
        text::warn(std::to_string(counts.unknown_amplitude) +
             " points have intensity 0: their amplitude (-100 to -128 as a signed byte) does not fit the text "
             "record; use binary output (iout_type 2) where intensity matters");
    }
}

}  // namespace

int main(int argc, char** argv) {
    const Options o = parse_options(argc, argv);
    // Everything this program tells, the stops of the shared readers included, goes to standard error.
    text::attach_out(text::console(), 2, "standard error");
    text::set_program_name(kProgram);
    // A stop is told through the console, as the last line of what the run told.
    auto tell_stop = [](const text::RunStopped& stop) {
        // A failed write has been told with its reason, as "morva-las: cannot
        // write NAME: REASON": the core's own line for it would repeat it.
        const bool told = stop.has_line && stop.line.starts_with("*** write error on file: ");
        return text::report_stop(told ? text::RunStopped{"", false, false} : stop, false);
    };
    return common::run_companion(kProgram, [&o] {
        export_run(o);
        text::flush(text::console());
        return 0;
    }, tell_stop);
}
