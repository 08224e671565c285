#pragma once
// The scan loop's pipeline: every scan record in turn, skipped before the
// window, ended by the first scan after it or by the end of the file,
// thinned, read in batches, georeferenced on a pool of threads and written
// by one ordered stage in the original order of the scans.

#include "georef/scan_processing.hpp"
#include "regression/normal_sums.hpp"
#include "run/progress.hpp"
#include "run/scan_record.hpp"
#include "scanner/byte_reader.hpp"
#include "scanner/scan_stream.hpp"
#include "scanner/scanner_header.hpp"

namespace morva::run {

// How one processed scan is georeferenced and recorded (record_scan; the
// tests put a stop in its way).
using ScanWork = std::int32_t (*)(const georef::SurveyInputs&, const scanner::ScanStream&, const std::uint8_t*,
                                  std::int32_t, scanner::ScanTables&, ScanResults&, ScanMarks&);

struct LoopOptions {
    int threads = 0;                     // 0 or 1: one
    std::size_t batch_measurements = 0;  // 0: the most the memory bound allows
    ScanWork work = record_scan;
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
                   const georef::SurveyInputs& inputs, const SurveyOutputs& outputs, RunState& state,
                   regression::NormalSums& sums, const LoopOptions& options);

// The number of CPUs this process may run on (its affinity mask), at least 1.
int available_cpus();

}  // namespace morva::run
