#pragma once
// The points a calibration recomputes, written as morva writes its scan
// points: the check that the recomputation is morva's own, for any navg.

#include <array>
#include <string>

#include "flight.hpp"

namespace morva::boresight {

// "run.in.points" for "run.in": beside the run control.
std::string dump_name(const std::string& run_control);

// Why the dump cannot be written (it exists, or is a file of any flight's
// run); empty when it can.
std::string dump_refusal(const std::vector<Flight>& flights, const Flight& flight);

// Every output point of the flight at the misalignment `angles`, in the
// form of morva's scan-point file for its run control (binary for iout_type
// 2, text otherwise, with the group size when it averages), in morva's order.
std::string dump_points(const Flight& flight, const std::array<double, 3>& angles);

}  // namespace morva::boresight
