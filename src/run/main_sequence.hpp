#pragma once

#include "inputs/geoid.hpp"
#include "inputs/run_control.hpp"
#include "inputs/trajectory.hpp"
#include "run/pipeline.hpp"
#include "run/run_options.hpp"
#include "run/run_record.hpp"
#include "run/scan_record.hpp"
#include "scanner/byte_reader.hpp"

namespace morva::run {

// One run: run control from standard input (or the options' file), every
// file of the survey, the console report on standard output, warnings and
// progress on standard error; the scan loop as `loop` says (its thread count,
// when 0, from the options or the CPUs the process may run on). Returns at
// the normal end; a stop leaves by throwing text::RunStopped. `record`, when
// given, is filled as the run goes (for --metadata).
void run_survey(const RunOptions& options = {}, LoopOptions loop = {}, RunRecord* record = nullptr);

// From the scanner header to the end of the run: header and time base, the
// outputs kept on a stop from here on (see keep_staged_outputs_on_stop), the scan loop, the
// warnings after it, the final report and the regression when it is on. The
// caller opened the scanner file and the outputs and closes them afterwards.
// `summary`, when given, is filled as the run goes.
void process_scanner_file(scanner::ByteReader& scan, const inputs::RunControl& rc,
                          const inputs::TrajectoryTable& trajectory, const inputs::GeoidGrid* geoid,
                          const SurveyOutputs& outputs, const LoopOptions& options,
                          RunSummary* summary = nullptr);

}  // namespace morva::run
