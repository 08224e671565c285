#pragma once
// The check points' coordinate and height systems: given on the command
// line, or named by their file ("... in EPSG:32631 ..., heights above the
// geoid grid geoid.txt" on a comment line above the header, as morva-sim
// writes it); compared with the inputs' and, when they differ and the user
// forces it, the check points taken into the inputs' CRS.

#include <string>
#include <vector>

#include "checkpoints.hpp"

namespace accuracy {

// The first "EPSG:N" on the comment lines above the header; empty when none.
std::string declared_crs(const std::string& csv_path);

// The heights' system the comment lines name: "height above geoid grid NAME"
// ("... the geoid grid NAME ...", as morva-sim writes it), "ellipsoidal
// height" ("... ellipsoid ..."), or empty when they name none.
std::string declared_vertical(const std::string& csv_path);

// Whether the check points' declared heights are in the inputs' system (as
// PointSource::vertical says it): one geoid grid by its file's name, or both
// ellipsoidal. Inputs whose heights are unknown (a LAS file of another
// writer) are taken as agreeing.
bool same_vertical(const std::string& declared, const std::string& inputs);

// Whether PROJ takes the two CRSs for the same (axis order aside); a CRS PROJ
// does not know stops with one line.
bool same_crs(const std::string& a, const std::string& b);

// Transforms every check point's easting and northing from one projected CRS
// to another (heights untouched); a point PROJ cannot transform stops with one line.
void transform_checkpoints(std::vector<CheckPoint>& points, const std::string& from, const std::string& to);

}  // namespace accuracy
