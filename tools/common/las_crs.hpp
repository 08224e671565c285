#pragma once
// The coordinate system a LAS file states: its OGC WKT record (2112), or
// else the EPSG codes of its GeoTIFF keys (34735), handed to PROJ to learn
// whether it is projected or geographic and what it is called.

#include <string>
#include <vector>

#include "las_reader.hpp"

namespace morva::common {

struct PointSource;

// The CRS as PROJ takes it (WKT, or "EPSG:N"); empty when the file states
// none. Sets `from` to the record it came from. A GeoTIFF key directory
// with a user-defined CRS (no EPSG code) stops with one line naming
// --input-crs.
std::string las_crs_text(const LasHeader& header, std::string& from);

enum class CrsKind { Projected, Geographic };

struct CrsFacts {
    CrsKind kind = CrsKind::Projected;
    std::string name;        // PROJ's name of the horizontal CRS
    std::string horizontal;  // the horizontal CRS as WKT (a compound CRS's first part)
    std::string vertical;    // a compound CRS's vertical part as WKT when it or its datum has an
                             // identifier (e.g. EPSG:5703), else empty
    std::string heights;     // what its heights are, e.g. "NAVD88 height in US survey foot"; empty without it
    std::string error;  // PROJ does not know it, or it is neither projected nor geographic
};

// What PROJ makes of a CRS text (a compound CRS by its horizontal part).
CrsFacts crs_facts(const std::string& crs);

struct CompoundCrs {
    std::string wkt;    // WKT1 (GDAL flavour), one line, as LAS readers and GeoTIFF writers take it
    std::string name;   // the vertical CRS's name, e.g. "NAVD88 height"
    std::string unit;   // its unit as PROJ names it, e.g. "metre", "US survey foot"
    double unit_in_metres = 1;
    std::string error;  // why not, else empty
};

// The compound CRS of crs's horizontal part (a compound's first part, a 3D
// CRS's 2D part) and the vertical CRS `vertical` (e.g. "EPSG:5703"), which
// must be one PROJ knows. `note`, when given, is added to the compound's name
// in brackets (e.g. how the heights were made).
CompoundCrs compound_crs(const std::string& crs, const std::string& vertical, const std::string& note = {});

// The raster's CRS (WKT1): the horizontal CRS (WKT) alone, or compound
// with the vertical CRS --vertical-crs names (vertical_option), else with
// the one the inputs state. Refused (error: "NAME: why"): inputs stating
// different vertical systems; a vertical_option PROJ does not know as
// vertical, or one that contradicts an input's own, names ellipsoidal
// heights, or is not in metres for heights morva made.
CompoundCrs raster_crs(const std::string& horizontal, const std::string& vertical_option,
                       const std::vector<PointSource>& sources);

}  // namespace morva::common
