#pragma once
// How a run's scan points become LAS records, as morva-las writes them and
// morva-ground classifies them: the options both take (flight date, vertical
// CRS, source ID, geodesy), the coordinate system PROJ makes of --crs, and
// the export's plan (scan_point_export.hpp) of one run.

#include <optional>
#include <string>
#include <vector>

#include "flight_time.hpp"
#include "georef/geodesy.hpp"
#include "point_source.hpp"
#include "scan_point_export.hpp"
#include "text/command_line.hpp"

namespace morva::common {

struct RunLasOptions {
    std::optional<Date> date;  // --date, when given
    bool time_of_day = false;
    std::string crs;           // --crs: the program sets its default
    std::string vertical_crs;
    std::uint16_t source_id = 0;
    std::optional<georef::Geodesy> geodesy;  // --geodesy, when given
};

// --date and --time-of-day.
std::vector<text::Option> flight_time_options(RunLasOptions& o);
// --vertical-crs, --source-id and --geodesy.
std::vector<text::Option> run_record_options(RunLasOptions& o);

// The coordinate system of the file for the points within bounds: the
// geographic one of the points, or a projected one (utm: the WGS 84 UTM zone
// of the bounds' centre) with the projection of every point, X and Y in 1 mm
// about offsets in whole kilometres near the centre, or about `offsets` (X,
// Y) when given. geoid_grid is the run's geoid grid as its run control names
// it (empty: ellipsoidal heights). Errors come back in .error.
CoordinateSystem run_coordinate_system(const std::string& crs, const std::string& vertical_crs,
                                       const std::string& geoid_grid, const GeoBounds& bounds,
                                       const double* offsets = nullptr);

// The flight date: --date, else the date that begins the time epoch of the
// scanner header in scanner_file (told as a note); none with --time-of-day
// when neither gives one. Otherwise a missing date stops, naming `program`.
std::optional<Date> flight_date(const std::string& program, const RunLasOptions& o, const std::string& scanner_file);

// The plan of one run's export (the caller sets output, compress, threads):
// GPS times on the flight date (or seconds of the day), the header's fixed
// fields as `generator` writes them, the WKT record's description from the
// geodesy. With --time-of-day it warns that readers take the times for
// seconds of the GPS week.
ExportPlan run_export_plan(const std::string& program, const std::string& generator, const RunLasOptions& o,
                           const std::optional<Date>& date, bool ellipsoidal, const PointSource& points);

}  // namespace morva::common
