#pragma once
// The run's record (morva --metadata FILE): one JSON object saying what ran
// (version, command line, geodesy, threads), on what (every input with its
// size), what it made (every output with its size), what its report said
// (every figure, as numbers), its warnings and how it ended (exit status,
// stop line). Written whole under a temporary name and renamed, also after a
// stop, so that a campaign can read why a flight failed.

#include <string>

#include <cstdint>

#include "georef/run_stats.hpp"
#include "georef/scan_processing.hpp"
#include "inputs/run_control.hpp"
#include "regression/report.hpp"
#include "run/run_options.hpp"

namespace morva::run {

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

// Filled as the run goes; what a stop leaves unfilled is written as null.
struct RunRecord {
    bool control_read = false;  // rc holds the run control (names and values)
    inputs::RunControl rc;
    int threads = 0;            // the scan loop's, once known
    RunSummary summary;
    std::string stop;           // the stop's line; empty: the run ended normally
};

// Writes it to options.metadata; returns an empty string, or why it could
// not be written.
std::string write_metadata(const RunOptions& options, const RunRecord& record, int exit_status);

}  // namespace morva::run
