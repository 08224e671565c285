#pragma once
// Surveyed check points from the CSV that morva-sim --checkpoints writes and
// a surveyor can write by hand: '#' comment lines, the header
// id,easting,northing,height,land_cover, then one point a line, land cover
// `open` or `vegetated`.

#include <istream>
#include <string>
#include <string_view>
#include <vector>

namespace accuracy {

enum class LandCover { open, vegetated };

struct CheckPoint {
    std::string id;
    double easting = 0;
    double northing = 0;
    double height = 0;
    LandCover cover = LandCover::open;
};

// Reads every check point; a bad line (wrong field count, a number that is
// not one, an unknown land cover, a repeated id) stops the run with one line
// naming `source` and the line number. No check point at all is a stop too.
std::vector<CheckPoint> read_checkpoints(std::istream& in, std::string_view source);

std::string_view land_cover_name(LandCover cover);

}  // namespace accuracy
