#pragma once
// A run's record (morva --metadata FILE) given with a run control: one that
// names other scan points or another geoid grid than the run control is the
// record of another run.

#include <string>

#include "geodesy_record.hpp"
#include "point_source.hpp"

namespace morva::common {

// Stops ("the run's record FILE is not of RUN: ...") when `record`, read by
// run_geodesy from `file`, is not of the run control `run`.
void check_record_of(const RunGeodesy& record, const std::string& file, const PointSource& run);

}  // namespace morva::common
