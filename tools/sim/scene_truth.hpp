#pragma once
// What the simulator knows of a scene's points, written beside the survey:
// truth.bin, what every point hit, and checkpoints.csv, true ground heights
// with surveying noise at open and vegetated places.

#include <cstdint>
#include <string>

#include "scan_chunks.hpp"
#include "survey.hpp"

namespace morva::sim {

inline constexpr const char* kTruthFile = "truth.bin";
inline constexpr const char* kCheckpointFile = "checkpoints.csv";

// One 40-byte little-endian record per measurement, in the order of the
// run's points: latitude, longitude (degrees), height, ground height
// (metres, 4 doubles), class (1 byte: the values of Cover), 7 bytes of zero.
inline constexpr std::size_t kTruthRecordBytes = 40;

// The records of a chunk computed with its truth, appended to `out`.
void append_truth_records(const Chunk& c, std::string& out);

// The check points of the survey (opt.checkpoints of them) as CSV text, in
// the UTM zone of the surface origin; an error text in `error` when they
// cannot be placed or projected.
std::string checkpoints_text(const Survey& s, std::string& error);

// The truth on a grid over the swath, in the UTM zone of the surface
// origin, as ESRI ASCII grids (which GDAL reads) with their projection:
// the bare ground's height and the class of what stands on top at every
// cell centre, `spacing` metres apart.
inline constexpr const char* kGroundGridFile = "ground.asc";
inline constexpr const char* kCoverGridFile = "cover.asc";
struct TruthGrids {
    std::string ground, cover, projection;  // the texts of the two grids and of their .prj
};
TruthGrids truth_grids(const Survey& s, double spacing, std::string& error);

}  // namespace morva::sim
