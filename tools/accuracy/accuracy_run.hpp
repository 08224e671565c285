#pragma once
// morva-accuracy's one sequence: the check points, the survey's points, the
// bare-earth heights at the check points, the figures and every output.

#include "accuracy_options.hpp"

namespace accuracy {

// The exit status (accuracy_report.hpp's exit_status); a stop ends with one line.
int check_accuracy(const AccuracyOptions& o);

}  // namespace accuracy
