#include "run_las.hpp"

#include <cmath>
#include <memory>

#include "crs_wkt.hpp"
#include "geodesy_record.hpp"
#include "heights.hpp"
#include "projection.hpp"
#include "scanner/byte_reader.hpp"
#include "scanner/scanner_header.hpp"
#include "text/stop.hpp"
#include "text/warning.hpp"
#include "unreadable.hpp"

namespace morva::common {
namespace {

// X and Y projected through the lattice, in 1 mm about the offsets.
ProjectXY projector(std::shared_ptr<Projection> projection, std::string crs_name, double ox, double oy) {
    return [projection, crs_name, ox, oy](const ScanPointRecord* p, std::size_t n, std::int32_t* x, std::int32_t* y,
                                          std::string& why) {
        thread_local std::vector<GeoPoint> geo;
        thread_local std::vector<Projected> en;
        geo.resize(n);
        en.resize(n);
        for (std::size_t k = 0; k < n; ++k) geo[k] = {p[k].lon_e7 * 1e-7, p[k].lat_e7 * 1e-7, 0};
        std::size_t bad = 0;
        const bool ok = project(*projection, geo.data(), en.data(), n, &bad);
        for (std::size_t k = 0; ok && k < n; ++k) {
            const double ex = std::round((en[k].e - ox) * 1000), ny = std::round((en[k].n - oy) * 1000);
            if (!(std::fabs(ex) < 2147483647.0 && std::fabs(ny) < 2147483647.0)) {
                why = point_at(geo[k]) + " lies more than 2147 km from the others in " + crs_name;
                return false;
            }
            x[k] = static_cast<std::int32_t>(ex);
            y[k] = static_cast<std::int32_t>(ny);
        }
        if (!ok) why = point_at(geo[bad]) + " has no coordinates in " + crs_name;
        return ok;
    };
}

}  // namespace

std::vector<text::Option> flight_time_options(RunLasOptions& o) {
    return {
        text::value_option("--date", "YYYY-MM-DD",
                           "flight date (GPS); default: the date that begins the\n"
                           "scanner header's time epoch, if it holds a valid one",
                           [&o](std::string_view value) {
                               o.date = parse_date(value);
                               return o.date ? std::string()
                                             : "'" + std::string(value) + "' is not a date YYYY-MM-DD from 1980-01-06 on";
                           }),
        text::flag_option("--time-of-day",
                          "write seconds of the day as GPS Time (no date needed;\n"
                          "readers will take them for seconds of the GPS week)",
                          o.time_of_day),
    };
}

std::vector<text::Option> run_record_options(RunLasOptions& o) {
    return {
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
    };
}

CoordinateSystem run_coordinate_system(const std::string& crs, const std::string& vertical_crs,
                                       const std::string& geoid_grid, const GeoBounds& bounds,
                                       const double* offsets) {
    CoordinateSystem c;
    if (crs != "utm" && (crs == "EPSG:4979" || !is_projected_crs(crs))) {
        CrsResult made = make_crs_wkt({.crs = crs, .geoid_grid = geoid_grid, .vertical_crs = vertical_crs});
        c.error = std::move(made.error);
        c.wkt = std::move(made.wkt);
        return c;
    }
    ProjectionRequest request;
    request.crs = crs;
    if (!bounds.empty) {
        request.centre_lon = 0.5 * (bounds.lon_min + bounds.lon_max);
        request.centre_lat = 0.5 * (bounds.lat_min + bounds.lat_max);
    }
    request.vertical = common::vertical_meaning(geoid_grid);
    ProjectionSetup projected = make_projection(request);
    if (!projected.error.empty()) {
        c.error = projected.error;
        return c;
    }
    c.wkt = projected.compound_wkt;
    if (!vertical_crs.empty()) {
        CrsResult named = name_vertical_crs(projected.wkt, vertical_crs, geoid_grid);
        c.error = std::move(named.error);
        c.wkt = std::move(named.wkt);
        if (!c.error.empty()) return c;
    }
    c.scale_xy = 0.001;
    if (offsets != nullptr) {
        c.offset_x = offsets[0];
        c.offset_y = offsets[1];
    } else {
        // Offsets near the points, in whole kilometres: X and Y then reach 2147 km either side.
        const Projected centre = project_exact(*projected.projection, request.centre_lon, request.centre_lat);
        if (std::isfinite(centre.e) && std::fabs(centre.e) < 1e9 && std::fabs(centre.n) < 1e9) {
            c.offset_x = std::round(centre.e / 1000) * 1000;
            c.offset_y = std::round(centre.n / 1000) * 1000;
        }
    }
    c.project_xy = projector(projected.projection, projected.crs_name, c.offset_x, c.offset_y);
    return c;
}

std::optional<Date> flight_date(const std::string& program, const RunLasOptions& o, const std::string& scanfile) {
    char day[11];
    if (o.date) {
        text::note("flight date " + std::string(format_date(*o.date, day)) + " from --date");
        return o.date;
    }
    std::string why;
    scanner::ByteReader in;
    if (scanner::open_bytes(in, scanfile)) {
        scanner::scanner_header header;
        scanner::readhdr_quiet(in, header);
        const std::string epoch(header.epoch_text, sizeof header.epoch_text);
        if (const auto date = parse_date(std::string_view(epoch).substr(0, 10))) {
            text::note("flight date " + std::string(format_date(*date, day)) +
                       " from the time epoch of the scanner header in " + scanfile);
            return date;
        }
        why = "the time epoch of the scanner header in " + scanfile + " does not begin with a date YYYY-MM-DD";
    } else {
        why = "the scanner file " + common::unreadable(scanfile);
    }
    if (!o.time_of_day) {
        text::stop_run(program + ": no flight date for the GPS times: " + why +
                       "; give the date with --date YYYY-MM-DD (or write seconds of the day with --time-of-day)");
    }
    return std::nullopt;
}

ExportPlan run_export_plan(const std::string& program, const std::string& generator, const RunLasOptions& o,
                           const std::optional<Date>& date, bool ellipsoidal, const PointSource& points) {
    if (o.time_of_day) {
        text::warn("GPS Time holds seconds of the day (--time-of-day); readers will take them for seconds "
                   "of the GPS week");
    }
    ExportPlan plan;
    plan.program = program;
    plan.scan_points = points.points_file;
    plan.binary = points.binary;
    plan.with_group_size = points.with_group_size;
    plan.time = o.time_of_day ? time_of_day_base() : adjusted_gps_time_base(*date);
    plan.header.file_source_id = o.source_id;
    plan.header.global_encoding = kGlobalWkt | (o.time_of_day ? 0 : kGlobalAdjustedGpsTime);
    plan.header.generating_software = generator + " " + std::string(text::project_version());
    if (date) {
        plan.header.creation_day = static_cast<std::uint16_t>(day_of_year(*date));
        plan.header.creation_year = static_cast<std::uint16_t>(date->year);
    }
    plan.wkt_description = ellipsoidal ? "exact ellipsoidal georeferencing" : "flat-earth georeferencing";
    plan.point_source_id = o.source_id;
    plan.geographic = o.crs == "EPSG:4979";
    return plan;
}

}  // namespace morva::common
