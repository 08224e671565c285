#pragma once
// A simulated survey, built once from its options: the header, the run
// control, the trajectory as written and as the run will load it, the geoid
// grid, the surface, and the scanner's fixed pattern of angles and timer
// offsets. Everything here is what the run will hold, value for value, so
// that the ranges computed against it put the run's points on the surface.

#include <cstdint>
#include <string>
#include <vector>

#include "inputs/geoid.hpp"
#include "inputs/run_control.hpp"
#include "inputs/trajectory.hpp"
#include "scanner/scanner_header.hpp"
#include "scanner_writer.hpp"
#include "scene_objects.hpp"
#include "sim_options.hpp"

namespace morva::sim {

// The true surface: a height (metres, above the geoid when there is one)
// over latitude and longitude, in a local frame at the surface origin. It
// depends on the surface options and the seed only, never on the flight,
// so that every flight over one origin sees the same ground.
struct Surface {
    SurfaceKind kind = SurfaceKind::Flat;
    double lat0 = 0, lon0 = 0;         // the surface origin
    double metres_per_degree_lon = 0;  // east metres per degree of longitude at lat0
    double ground = 0;
    double slope_north = 0, slope_east = 0;
    double amplitude = 0, wavenumber = 0, phase_north = 0, phase_east = 0;
    double roof_cell = 0;       // metres: one block at most per cell of this size
    std::uint64_t roof_seed = 0;
    Scene scene;                // objects standing on the ground (none unless --objects)
};

double surface_height(const Surface& s, double lat, double lon);
// The ground under whatever stands on it: what the flying height is
// measured from.
double terrain_height(const Surface& s, double lat, double lon);
// The same in metres north and east of the surface origin.
double ground_height(const Surface& s, double north, double east);

// What a beam meets at a horizontal position: the surface with the scene's
// objects, and which of them is on top, as a beam that `sees` them.
SceneHit surface_hit(const Surface& s, double lat, double lon, Sees sees = Sees::Everything);

// A gable-roofed (or flat-roofed) block standing in one cell of a grid of
// `cell` metres, drawn from the seed and the cell's indices.
struct Block {
    bool present = false;
    double north = 0, east = 0;  // centre, metres from the origin
    double cos_t = 1, sin_t = 0; // ridge direction from north
    double half_length = 0, half_width = 0;
    double tan_pitch = 0;
    double eave = 0;             // height of the eaves (top of the walls)
};
Block block_of(const Surface& s, double cell, std::uint64_t seed, std::int64_t row, std::int64_t col,
               double flat_share = 0.0);
// The block's roof and walls at a position (below the ground far from it).
double block_height(const Block& b, double north, double east);

// File names inside the survey folder.
inline constexpr const char* kScanFile = "scan.bin";
inline constexpr const char* kTrajectoryFile = "trajectory.txt";
inline constexpr const char* kGeoidFile = "geoid.txt";
inline constexpr const char* kRunControlFile = "run.in";
inline constexpr const char* kDescriptionFile = "survey.sim";
inline constexpr const char* kCentreFile = "centre.txt";
inline constexpr const char* kPointsText = "points.txt";
inline constexpr const char* kPointsBinary = "points.bin";

struct Survey {
    SimOptions opt;

    LongHeader header;            // as written
    scanner::scanner_header hdr;  // as the run will hold it
    inputs::RunControl rc;           // as written to run.in (and read back)
    inputs::RunControl rc_truth;     // the same with the misalignment the recording is made with
    double epoch = 0;             // hours, as the run derives it

    std::vector<inputs::TrajectoryRecord> track;  // every record written
    inputs::TrajectoryTable table;                // those the run keeps, with speeds
    bool has_geoid = false;
    inputs::GeoidGrid geoid;
    Surface surface;
    double metres_per_degree_lon = 0;  // the flight's: at its start latitude
    // The range noise belongs to the flight, not the ground: its seed mixes
    // the start and heading into the survey's seed, so that flights over
    // one surface carry unrelated noise.
    std::uint64_t noise_seed = 0;

    // Scans.
    std::int64_t nscans = 0;
    std::int32_t nsector = 0;      // encoder counts per sector
    std::int64_t cps = 0;          // timer counts per second
    std::int64_t first_count = 0;  // scanner clock of the first scan, counts from the epoch
    double period_counts = 0;      // timer counts per scan
    std::uint8_t gps_flags = 0;

    // Measurement i (index i-1) of every scan.
    std::vector<std::uint32_t> angle_count;  // within the sector
    std::vector<double> scan_angle;          // gon, as decoded
    std::vector<std::uint32_t> timer_count;  // from the trailer time
    std::vector<double> timer_seconds;       // as decoded
    std::vector<double> xscan;               // across-scan position
    std::vector<double> distortion;          // height added by the distortion
    std::vector<double> alpha;               // nadir angle, radians
};

// Builds the survey; false with `error` set when it cannot be simulated
// consistently (options out of range, a clock the reader cannot follow,
// a grid too large, ...).
bool build_survey(const SimOptions& opt, Survey& s, std::string& error);
// Flights of one campaign get one geoid grid, covering them all: the same
// model over every flight's area, so that their heights stand above one grid.
void share_one_geoid(std::vector<Survey>& surveys);

// The scanner clock of scan k (0-based), in counts from the file epoch.
inline std::int64_t scan_count(const Survey& s, std::int64_t k) {
    return s.first_count + static_cast<std::int64_t>(static_cast<double>(k) * s.period_counts + 0.5);
}

// Trailer of scan k and the time values the run decodes from it.
struct ScanTime {
    Trailer trailer;
    double tsec, tfrac;  // seconds, as the run holds them
    double tscan;        // hours
};
ScanTime scan_time(const Survey& s, std::int64_t k);

}  // namespace morva::sim
