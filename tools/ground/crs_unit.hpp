#pragma once
// The length unit of a projected coordinate system, so that lengths given in
// metres can be put in the points' own units (a state plane system in feet).

#include <string>

namespace morva::ground_program {

// Metres per unit of the CRS's first axis (1 for metres, 0.3048006 for US
// survey feet); 0 when PROJ cannot tell.
double metres_per_unit(const std::string& crs);

}  // namespace morva::ground_program
