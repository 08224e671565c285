#pragma once
// The points a grid is made of: the scan-point records of a run (named by its
// run control) or a LAS or LAZ file, streamed in large blocks of coordinates.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "georef/geodesy.hpp"
#include "inputs/output_guard.hpp"
#include "point_filter.hpp"

namespace morva::common {

enum class SourceKind { ScanPoints, Las };

// Longitude and latitude (degrees) of a set of points.
struct GeoBounds {
    double lon_min = 0, lon_max = 0, lat_min = 0, lat_max = 0;
    bool empty = true;
};

struct PointSource {
    std::string name;          // as given on the command line
    SourceKind kind = SourceKind::ScanPoints;
    std::string points_file;   // the scan-point file (run control names resolved against its folder) or the LAS file
    std::vector<inputs::RunFile> roles;  // the input's files, each with its role, and the campaign's records beside it
    std::string vertical;      // what the heights are: "ellipsoidal height" or "height above geoid grid NAME"
    std::string vertical_crs;  // the vertical CRS the file states (WKT; a known system, e.g. NAVD88 height), else empty
    std::optional<georef::Geodesy> geodesy;  // how the run georeferenced, when the input says
    // Scan-point records
    std::string named_points_file;  // as the run control names it (for a check against the run's record)
    std::string named_geoid;        // the geoid grid as the run control names it; empty without one
    std::string geoid_file;         // the same, resolved against the run control's folder
    std::string scanner_file;       // the run's scanner file (its header's time epoch dates the flight)
    bool binary = false;
    bool with_group_size = false;
    // LAS
    double scale[3] = {1, 1, 1}, offset[3] = {0, 0, 0};
    std::uint64_t point_count = 0;
    // The CRS of a LAS file (its records, or --input-crs) as horizontal WKT:
    // projected (its points' lon and lat hold easting and northing, in the
    // CRS's units) or geographic; crs_name is PROJ's name of it.
    std::string crs, crs_name;
    bool projected = false;
    common::PointFilter filter;  // which of a LAS file's points are used
    GeoBounds bounds;          // from the LAS header; for scan points a sample of the records (approximate)
    std::uint64_t records = 0; // the LAS header's count, or the scan-point file's records (valid or not)
};

// Opens and checks one input: a LAS or LAZ file (by its signature) or a run
// control; input_crs is the CRS of a LAS file that states none. A problem
// stops with one line "NAME: what is wrong" (text::stop_run).
PointSource open_source(const std::string& name, const std::string& input_crs = "");

// Whether two files hold the same bytes (false when either cannot be read).
bool same_content(const std::string& a, const std::string& b);

// The largest magnitude a LAS field (0 X, 1 Y, 2 Z) can hold: 2^31 times its
// scale plus its offset's magnitude.
double las_field_limit(const PointSource& las, int field);

// The area a scan-point file covers, from a few hundred records spread over
// it (all records have one length): close to its bounds, without a pass.
GeoBounds sample_bounds(const PointSource& scan_points);

struct GeoPoint {
    double lon = 0, lat = 0;  // degrees (a projected LAS input: easting and northing)
    double h = 0;             // metres, as the run wrote it
};

struct PointBlock {
    std::uint32_t source = 0;        // index of the input
    std::vector<GeoPoint> points;
};

inline constexpr std::size_t kBlockPoints = 1 << 18;

struct StreamCounts {
    std::uint64_t points = 0;
    std::uint64_t not_points = 0;  // records without a time or position, skipped
    std::uint64_t filtered = 0;    // LAS points left out (withheld, by class or return)
};

// Every point of the source, in order, in blocks of at most kBlockPoints; the
// block is reused between calls, and the sink may take its points (swapping
// in a vector of its own). A read or format problem stops with one line.
StreamCounts stream_points(const PointSource& source, std::uint32_t source_index,
                           const std::function<void(PointBlock&)>& sink);

}  // namespace morva::common
