#pragma once
// The scan loop: every scan record in turn, skipped before the window,
// ended by the first scan after it or by the end of the file, thinned, and
// handed to georeferencing and the outputs; and everything of a run from the
// scanner header to the end, which the program and the fuzz harness share.

#include "georef/scan_processing.hpp"
#include "inputs/geoid.hpp"
#include "inputs/run_control.hpp"
#include "inputs/trajectory.hpp"
#include "regression/normal_sums.hpp"
#include "regression/report.hpp"
#include "run/progress.hpp"
#include "scanner/byte_reader.hpp"
#include "scanner/scan_stream.hpp"
#include "scanner/scanner_header.hpp"

namespace morva::run {

// How one processed scan is georeferenced (georef::georeference_scan; the
// tests put a stop in its way).
using ScanWork = std::int32_t (*)(const georef::SurveyInputs&, const scanner::ScanStream&, const std::uint8_t*,
                                  std::int32_t, scanner::ScanTables&, georef::ScanResults&, georef::ScanMarks&);

struct LoopOptions {
    int threads = 0;                     // 0 or 1: one
    std::size_t batch_measurements = 0;  // 0: the most the memory bound allows
    ScanWork work = georef::georeference_scan;
    Progress* progress = nullptr;        // the progress line, when drawn
    bool warnings = true;                // the warnings after the scan loop (standard error)
    georef::Geodesy geodesy = georef::Geodesy::Flat;  // from metres to degrees in the full mode
};

// The scan loop on `threads` threads (1 or more): this thread reads the scan
// records in batches and does, batch after batch in the original order,
// everything whose result depends on order; batches are georeferenced and
// formatted on the others (and on this one while it waits). Every output
// byte, console line and stop is what one thread makes of the run.
void run_scan_loop(scanner::ByteReader& scan, const scanner::scanner_header& header, scanner::ScanStream& stream,
                   const georef::SurveyInputs& inputs, const georef::SurveyOutputs& outputs, georef::RunState& state,
                   regression::NormalSums& sums, const LoopOptions& options);

// What a run's end-of-run report said, for its record (--metadata).
struct RunSummary {
    bool outputs_named = false;    // the scan loop began: the outputs hold this run's results
    bool reported = false;         // the final report was printed
    std::int64_t scans_read = 0;
    georef::RunStats stats;
    georef::OutsideSpan outside;
    bool regression_reported = false;
    regression::RegressionFit fit;
};

// From the scanner header to the end of the run: header and time base, the
// outputs kept on a stop from here on (see keep_staged_outputs_on_stop), the scan loop, the
// warnings after it, the final report and the regression when it is on. The
// caller opened the scanner file and the outputs and closes them afterwards.
// `summary`, when given, is filled as the run goes.
void process_scanner_file(scanner::ByteReader& scan, const inputs::RunControl& rc,
                          const inputs::TrajectoryTable& trajectory, const inputs::GeoidGrid* geoid,
                          const georef::SurveyOutputs& outputs, const LoopOptions& options,
                          RunSummary* summary = nullptr);

// The number of CPUs this process may run on (its affinity mask), at least 1.
int available_cpus();

}  // namespace morva::run
