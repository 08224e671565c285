#pragma once
// What a simulated survey looks like: the flight, the scanner, the surface,
// the geoid and the run that processes it. One table of options drives the
// command line, the help text and the survey description written next to
// the files (which --verify reads back to rebuild the same survey).

#include <charconv>
#include <cstdint>
#include <functional>
#include <string_view>
#include <limits>
#include <span>
#include <string>
#include <vector>

#include "georef/geodesy.hpp"
#include "text/command_line.hpp"

namespace morva::sim {

// A smooth attitude angle: bias + amplitude * sin(2 pi t / period + phase).
struct Motion {
    double bias = 0;       // degrees
    double amplitude = 0;  // degrees
    double period = 10;    // seconds
};

// An option left unset (its word in the help: "start", "same").
inline constexpr double kUnset = std::numeric_limits<double>::quiet_NaN();
inline bool is_set(const double* v) { return v[0] == v[0]; }

enum class SurfaceKind : int { Flat, Tilt, Waves, Roofs };
enum class TimeSource : int { Gps, Rtc, None };
enum class Clock : int { Synced, Free };

struct SimOptions {
    std::uint64_t seed = 1;

    // Flight.
    double lat = 52.0, lon = 5.0;         // start position, degrees
    double heading = 30.0;                // track, degrees clockwise from north
    double speed = 60.0;                  // m/s
    double height = 300.0;                // metres above the surface at the start
    double climb = 0.0;                   // m/s
    double duration = 10.0;               // seconds of scanning
    std::int32_t start[3] = {10, 30, 0};  // file epoch, hh mm ss
    double first_scan = 0.25;             // seconds from the file epoch to the first scan
    double traj_rate = 10.0;              // trajectory records per second
    bool attitude = true;                 // trajectory with pitch, roll, heading
    Motion pitch{0, 0, 11}, roll{0, 0, 7}, yaw{0, 0, 13};
    double lever[3] = {0, 0, 0};     // offx, offy, offz, metres
    double misalign[3] = {0, 0, 0};  // dpitch, droll, dheading, degrees
    // The misalignment the recording is made with; unset: as misalign.
    double misalign_truth[3] = {kUnset, kUnset, kUnset};

    // Scanner.
    std::int32_t nmeas = 250;    // measurements per scan
    double scan_rate = 40.0;     // scans per second
    double fov = 60.0;           // full field of view, degrees
    float range_unit = 0.002f;   // metres per count
    float angle_unit = 0.01f;    // gon per count
    float timer_unit = 1.0e-6f;  // seconds per count
    std::int32_t polar_id = 4;
    TimeSource time_source = TimeSource::Gps;
    Clock clock = Clock::Synced;
    std::int32_t scan_number = 1;  // raw number of the first scan
    bool calibration = false;      // non-trivial calibration values in the header
    bool use_cal = false;          // the run georeferences through the calibration
    double dtsec = 0.0;            // seconds the run adds to every scanner time
    double range_noise = 0.0;      // metres, standard deviation of the noise on every range

    // Surface.
    SurfaceKind surface = SurfaceKind::Flat;
    // Where the surface (and the geoid's undulation) is laid out from;
    // unset: the start position.
    double surface_origin[2] = {kUnset, kUnset};
    double ground = 10.0;                 // metres, at the surface origin
    double tilt[2] = {0.02, -0.01};       // slope north, slope east
    double waves[2] = {1.0, 80.0};        // amplitude, wavelength (m)
    double roofs = 40.0;                  // spacing of the roofed blocks' cells (m)
    double distortion[4] = {0, 0, 0, 0};  // across-scan height distortion p1..p4

    // The scene on the ground (flat, tilt or waves): objects as bits of
    // scene_objects.hpp, 0 for none.
    unsigned objects = 0;
    double scene_cover[3] = {0.3, 0.2, 0.15};  // shares of the cells with trees, buildings, low vegetation
    double openness = 0.25;                    // share of the beams through the crowns
    double outliers = 0.002;                   // share of the beams returned from below the ground
    double truth_grid = 1.0;                   // metres between the truth grids' cells, 0 for none
    std::int32_t checkpoints = 0;              // check points written beside the survey
    double checkpoint_noise = 0.01;            // metres, their surveying noise

    // Geoid.
    bool geoid = true;
    double geoid_height = 45.0;   // metres at the start position
    double geoid_spacing = 0.01;  // degrees

    // The run.
    georef::Geodesy geodesy = georef::Geodesy::Flat;  // the model the truth follows
    bool binary = true;  // binary scan points (else text)
    std::int32_t icalib = 0;
    double pcoef[4] = {0, 0, 0, 0};

    std::int32_t threads = 0;  // 0: one per processor
};

// The bundled sample survey.
SimOptions sample_options();

// A survey option's value, read once: applying it sets its member (lists
// given in part set only their first values).
using SurveySetting = std::function<void(SimOptions&)>;
struct GivenSetting {
    std::string_view option;  // "--geodesy"
    SurveySetting apply;
};

// Parses "--name value" pairs onto `opt`; false with `error` set on an
// unknown option or a malformed value. Other words are returned in `rest`.
bool parse_options(const std::vector<std::string>& args, SimOptions& opt, std::vector<std::string>& rest,
                   std::string& error);

// The survey options as rows of the shared command-line table: each reads
// its value and adds what it sets to `given`, to be applied in order onto
// the survey they change (the sample's or the default one).
std::vector<text::Option> survey_command_line(std::vector<GivenSetting>& given);

// Checks the survey can be simulated consistently; empty when it can (a
// number outside its range is refused in the command line's own words).
std::string check_options(const SimOptions& opt);

// Every option with its value, one "--name value" per line: parsing it
// gives back exactly `opt` (reals are written in their shortest exact form).
std::string describe_options(const SimOptions& opt);

// The option part of the help text.
std::string options_help();

// Shortest text that reads back to exactly v (a double or a float).
template <class Real>
std::string exact(Real v) {
    char buf[64];
    auto [end, ec] = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, end);
}

// The exact texts of `values` joined by `sep`.
std::string join_exact(std::span<const double> values, char sep);

}  // namespace morva::sim
