#pragma once
// One flight of a calibration: its run control (names relative to its own
// folder), trajectory, geoid grid and scanner header loaded by the core's
// readers, and every accepted measurement kept as the core's
// georeferencing sees it (time, range, scan angle, scan number, trajectory
// interval), so that a trial misalignment re-runs only the georeferencing.
// The calibration works on the flight's output points (its shots), each
// formed from its measurements by the core's output stage: one measurement,
// or with the run control's navg above 1 the mean of its averaging group.

#include <cstdint>
#include <string>
#include <vector>

#include "georef/georeference.hpp"
#include "georef/output_point.hpp"
#include "inputs/geoid.hpp"
#include "inputs/run_control.hpp"
#include "inputs/trajectory.hpp"
#include "scanner/scanner_header.hpp"

namespace morva::boresight {

// A measurement that passed the range and area tests.
struct Measurement {
    double thr;        // decimal hours
    double range;      // metres
    double angle_gon;  // scan angle as decoded
    double f;          // trajectory interval and its factor
    std::int32_t j;
    std::int32_t scanno;
    std::int32_t i;    // index in its scan, 1-based
    std::int32_t ampl;  // 0 to 255
};

// One output point of the flight, as morva writes it: the measurements
// averaged into it (indices first to first + count - 1, consecutive) and the
// measurement that closes the group and gives the point its index. Without
// averaging, one measurement that is both.
struct Shot {
    std::uint32_t first, count, closer;
};

struct Flight {
    std::string name;    // the run control as given
    std::string folder;  // its folder, "" or ending in '/'
    inputs::RunControl rc;
    inputs::TrajectoryTable trajectory;
    inputs::GeoidGrid geoid;
    scanner::scanner_header header;
    georef::Geodesy geodesy = georef::Geodesy::Flat;
    std::vector<Measurement> measurements;
    std::vector<Shot> shots;  // the output points, in morva's order
    double heading = 0;  // mean track heading, degrees
    double height = 0;   // mean aircraft height, metres
};

// Loads the flight and its measurements; a problem stops with one line
// "NAME: what is wrong" (text::stop_run).
void load_flight(const std::string& run_control, georef::Geodesy geodesy, Flight& flight);

// Accepted measurement k of the flight, index i in its scan, passed through
// the core's output stage (`group`: the scan's, emptied at each scan): when
// it closes an output point, the point's shot is appended.
void note_measurement(std::vector<Shot>& shots, georef::OutputGroup& group, std::int32_t navg, std::int32_t i,
                      std::uint32_t k);

// The output point of a shot with the misalignment `angles` (dpitch, droll,
// dheading in degrees), through the core's georeferencing and output stage:
// exactly the point morva writes for it with those angles.
// `range_change` (metres) is added to every member's range: the point moved
// along its beams, for their direction.
georef::scanpt output_point(const Flight& flight, const Shot& shot, const double angles[3], double range_change = 0);

// Its latitude, longitude (degrees) and height (metres) after the geoid and
// the across-scan correction.
struct Geo {
    double lat, lon, h;
};
Geo georeference_shot(const Flight& flight, const Shot& shot, const double angles[3], double range_change = 0);

}  // namespace morva::boresight
