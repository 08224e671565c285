// morva-las: a run's scan points as a LAS 1.4 file (point format 6) with its
// coordinate system and GPS times, for point-cloud viewers and GIS.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <cmath>
#include <future>
#include <memory>

#include "companion_main.hpp"
#include "crs_wkt.hpp"
#include "point_source.hpp"
#include "projection.hpp"
#include "flight_time.hpp"
#include "inputs/output_guard.hpp"
#include "inputs/run_control.hpp"
#include "scan_point_export.hpp"
#include "las_writer.hpp"
#include "geodesy_record.hpp"
#include "heights.hpp"
#include "unreadable.hpp"
#include "scanner/byte_reader.hpp"
#include "scanner/scanner_header.hpp"
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
    std::optional<common::Date> date;
    bool time_of_day = false;
    std::string crs = "EPSG:4979";
    std::string vertical_crs;
    std::uint16_t source_id = 0;
    std::optional<georef::Geodesy> geodesy;  // --geodesy, when given
    std::string metadata;             // the run's record, when given
    bool compress = false;            // LAZ whatever the output's name
};

[[noreturn]] void usage(const std::string& message) { text::usage_error(kProgram, message, kUsage); }

Options parse_options(int argc, char** argv) {
    Options o;
    const std::vector<text::Option> options = {
        text::value_option("--date", "YYYY-MM-DD",
                           "flight date (GPS); default: the date that begins the\n"
                           "scanner header's time epoch, if it holds a valid one",
                           [&o](std::string_view value) {
                               o.date = common::parse_date(value);
                               return o.date ? std::string()
                                             : "'" + std::string(value) + "' is not a date YYYY-MM-DD from 1980-01-06 on";
                           }),
        text::flag_option("--time-of-day",
                          "write seconds of the day as GPS Time (no date needed;\n"
                          "readers will take them for seconds of the GPS week)",
                          o.time_of_day),
        text::text_option("--crs", "CRS",
                          "a geographic 3D coordinate system known to PROJ in\n"
                          "place of WGS 84 (EPSG:4979), e.g. EPSG:7912; or utm\n"
                          "(the WGS 84 UTM zone of the points' centre) or a\n"
                          "projected CRS, e.g. EPSG:25832: X and Y are then\n"
                          "easting and northing (1 mm), projected by PROJ",
                          o.crs, text::refuse_empty("a coordinate system")),
        text::text_option("--vertical-crs", "CRS",
                          "the vertical CRS the run's geoid grid gives heights in,\n"
                          "e.g. EPSG:5703 (NAVD88 height), EPSG:3855 (EGM2008\n"
                          "height): named in the file's compound CRS; the heights\n"
                          "are written as the run made them, not converted",
                          o.vertical_crs, text::refuse_empty("a vertical coordinate system")),
        text::number_option("--source-id", "N",
                            "point source ID and file source ID, 1 to 65535\n"
                            "(default 0, unassigned)",
                            o.source_id, 1, 65535),
        text::choice_option("--geodesy", "MODE",
                            "how the run georeferenced: flat (default) or ellipsoid\n"
                            "(morva --geodesy ellipsoid); recorded in the file",
                            common::geodesy_choices(), o.geodesy),
        text::flag_option("--compress",
                          "write LAZ (compressed) whatever the output's name;\n"
                          "an output ending in .laz is LAZ without it",
                          o.compress),
        text::text_option("--metadata", "FILE",
                          "the run's record (morva --metadata FILE): the geodesy is\n"
                          "taken from it, and a --geodesy that contradicts it is\n"
                          "refused",
                          o.metadata, text::refuse_empty("a file name")),
    };
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
    std::vector<inputs::RunFile> files = inputs::run_control_roles(rc, o.run_control, folder_of(o.run_control));
    if (!o.metadata.empty()) files.push_back({o.metadata, "the run's record"});
    const std::string refusal = inputs::output_refusal(o.output, files);
    if (!refusal.empty()) fail("the output " + refusal + "; choose another name");
}

// How the run went from metres to degrees: from its record when given (a
// --geodesy that says otherwise is refused), else --geodesy, else flat.
bool run_was_ellipsoidal(const Options& o) {
    const common::RunGeodesy g = common::run_geodesy(o.metadata, o.geodesy);
    if (!g.error.empty()) fail(g.error);
    return g.mode == georef::Geodesy::Ellipsoid;
}

// X and Y projected through the lattice, in 1 mm about the offsets.
common::ProjectXY projector(std::shared_ptr<common::Projection> projection, std::string crs_name, double ox, double oy) {
    return [projection, crs_name, ox, oy](const records::ScanPointRecord* p, std::size_t n, std::int32_t* x, std::int32_t* y,
                                          std::string& why) {
        thread_local std::vector<common::GeoPoint> geo;
        thread_local std::vector<common::Projected> en;
        geo.resize(n);
        en.resize(n);
        for (std::size_t k = 0; k < n; ++k) geo[k] = {p[k].lon_e7 * 1e-7, p[k].lat_e7 * 1e-7, 0};
        std::size_t bad = 0;
        const bool ok = common::project(*projection, geo.data(), en.data(), n, &bad);
        for (std::size_t k = 0; ok && k < n; ++k) {
            const double ex = std::round((en[k].e - ox) * 1000), ny = std::round((en[k].n - oy) * 1000);
            if (!(std::fabs(ex) < 2147483647.0 && std::fabs(ny) < 2147483647.0)) {
                bad = k;
                why = "a point at longitude " + std::to_string(geo[bad].lon) + ", latitude " +
                      std::to_string(geo[bad].lat) + " lies more than 2147 km from the others in " + crs_name;
                return false;
            }
            x[k] = static_cast<std::int32_t>(ex);
            y[k] = static_cast<std::int32_t>(ny);
        }
        if (!ok) {
            why = "a point at longitude " + std::to_string(geo[bad].lon) + ", latitude " + std::to_string(geo[bad].lat) +
                  " has no coordinates in " + crs_name;
        }
        return ok;
    };
}

// The coordinate system of the file: the geographic one of the points, or a
// projected one with the projection of every point. Made on a thread of its
// own (PROJ's start-up, opening its database, takes about 0.1 s).
common::CoordinateSystem choose_crs(const std::string& crs, const std::string& vertical_crs, const std::string& geoid_grid,
                                 const common::PointSource& points) {
    common::CoordinateSystem c;
    if (crs != "utm" && (crs == "EPSG:4979" || !las::is_projected_crs(crs))) {
        las::CrsRequest request;
        request.crs = crs;
        request.geoid_grid = geoid_grid;
        request.vertical_crs = vertical_crs;
        las::CrsResult made = las::make_crs_wkt(request);
        c.error = std::move(made.error);
        c.wkt = std::move(made.wkt);
        return c;
    }
    common::ProjectionRequest request;
    request.crs = crs;
    const common::GeoBounds b = common::sample_bounds(points);
    if (!b.empty) {
        request.centre_lon = 0.5 * (b.lon_min + b.lon_max);
        request.centre_lat = 0.5 * (b.lat_min + b.lat_max);
    }
    request.vertical = common::vertical_meaning(geoid_grid);
    common::ProjectionSetup projected = common::make_projection(request);
    if (!projected.error.empty()) {
        c.error = projected.error;
        return c;
    }
    c.wkt = projected.compound_wkt;
    if (!vertical_crs.empty()) {
        las::CrsResult named = las::name_vertical_crs(projected.wkt, vertical_crs, geoid_grid);
        c.error = std::move(named.error);
        c.wkt = std::move(named.wkt);
        if (!c.error.empty()) return c;
    }
    c.scale_xy = 0.001;
    // Offsets near the points, in whole kilometres: X and Y then reach 2147 km either side.
    const common::Projected centre = common::project_exact(*projected.projection, request.centre_lon, request.centre_lat);
    if (std::isfinite(centre.e) && std::fabs(centre.e) < 1e9 && std::fabs(centre.n) < 1e9) {
        c.offset_x = std::round(centre.e / 1000) * 1000;
        c.offset_y = std::round(centre.n / 1000) * 1000;
    }
    c.project_xy = projector(projected.projection, projected.crs_name, c.offset_x, c.offset_y);
    return c;
}

// The flight date: --date, else the date that begins the scanner header's time epoch.
std::optional<common::Date> flight_date(const Options& o, const inputs::RunControl& rc) {
    char day[11];
    if (o.date) {
        text::note("flight date " + std::string(common::format_date(*o.date, day)) + " from --date");
        return o.date;
    }
    const std::string scanfile = beside(o.run_control, inputs::trimmed(rc.scanfile));
    std::string why;
    scanner::ByteReader in;
    if (scanner::open_bytes(in, scanfile)) {
        scanner::scanner_header header;
        scanner::readhdr_quiet(in, header);
        const std::string epoch(header.epoch_text, sizeof header.epoch_text);
        if (const auto date = common::parse_date(std::string_view(epoch).substr(0, 10))) {
            text::note("flight date " + std::string(common::format_date(*date, day)) +
                 " from the time epoch of the scanner header in " + scanfile);
            return date;
        }
        why = "the time epoch of the scanner header in " + scanfile + " does not begin with a date YYYY-MM-DD";
    } else {
        why = "the scanner file " + common::unreadable(scanfile);
    }
    if (!o.time_of_day) {
        fail("no flight date for the GPS times: " + why +
             "; give the date with --date YYYY-MM-DD (or write seconds of the day with --time-of-day)");
    }
    return std::nullopt;
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
    std::future<common::CoordinateSystem> crs = std::async(std::launch::async, choose_crs, o.crs, o.vertical_crs,
                                                        rc.geoid_wanted ? inputs::trimmed(rc.geoidfile) : std::string(), points);
    check_output(o, rc);
    const bool ellipsoidal = run_was_ellipsoidal(o);

    const std::optional<common::Date> date = flight_date(o, rc);
    if (o.time_of_day) {
        text::warn("GPS Time holds seconds of the day (--time-of-day); readers will take them for seconds "
             "of the GPS week");
    }

    common::ExportPlan plan;
    plan.program = std::string(kProgram);
    plan.scan_points = points.points_file;
    plan.binary = rc.binary_output;
    plan.with_group_size = !rc.binary_output && rc.navg > 1;
    plan.output = o.output;
    plan.compress = o.compress || common::is_laz_name(o.output);
    plan.time = o.time_of_day ? common::time_of_day_base() : common::adjusted_gps_time_base(*date);
    plan.header.file_source_id = o.source_id;
    plan.header.global_encoding = common::kGlobalWkt | (o.time_of_day ? 0 : common::kGlobalAdjustedGpsTime);
    plan.header.generating_software = "morva-las " + std::string(text::project_version());
    if (date) {
        plan.header.creation_day = static_cast<std::uint16_t>(common::day_of_year(*date));
        plan.header.creation_year = static_cast<std::uint16_t>(date->year);
    }
    plan.wkt_description = ellipsoidal ? "exact ellipsoidal georeferencing" : "flat-earth georeferencing";
    plan.point_source_id = o.source_id;
    plan.geographic = o.crs == "EPSG:4979";

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
