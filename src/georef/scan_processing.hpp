#pragma once
// The georeferencing stage of the scan loop: which scans are processed, and
// for each measurement of a processed scan the road from its ten bytes to an
// output point, a centre point, the diagnostics and the statistics.

#include <cstdint>

#include "georef/georeference.hpp"
#include "georef/output_point.hpp"
#include "georef/run_stats.hpp"
#include "regression/normal_sums.hpp"
#include "inputs/geoid.hpp"
#include "inputs/run_control.hpp"
#include "inputs/trajectory.hpp"
#include "scanner/scan_stream.hpp"
#include "scanner/scanner_header.hpp"
#include "text/out_stream.hpp"

namespace morva::georef {

// Read-only inputs of the scan loop.
struct SurveyInputs {
    const inputs::RunControl* rc;
    const inputs::TrajectoryTable* trajectory;
    const inputs::GeoidGrid* geoid;             // null when no grid is loaded
    const scanner::scanner_header* header;
    Geodesy geodesy = Geodesy::Flat;  // from metres to degrees in the full mode
};

struct SurveyOutputs {
    text::OutStream* scanpt;  // null when no scan-point file is wanted
    text::OutStream* cent;
    text::OutStream* pcorr;   // "test_pcorr.out"
    text::OutStream* test;    // "test.out"
};

// Everything that lives from the first scan to the report.
// Measurements whose time lies before the trajectory's first record or after
// its last: their positions hold that end record.
struct OutsideSpan {
    std::int64_t before = 0, after = 0;
    double before_min = 0, before_max = 0;  // their times, decimal hours
    double after_min = 0, after_max = 0;
};

struct RunState {
    std::int32_t jtraj = 1;     // trajectory cursor, forward only
    OutputGroup group;
    double alpha_prev = 999.0;  // alpha of the previous output point
    double tlast_centre = 0.0;  // time of the last centre line on the console
    RunStats stats;
    regression::NormalSums sums;
    OutsideSpan outside;
};

enum class ScanDecision { End, Skip, Process };

// For a scan not before the window: end of the loop after tend, thinning.
ScanDecision scan_test(const scanner::ScanStream& scan, const inputs::RunControl& rc);

void process_scan(const SurveyInputs& in, const SurveyOutputs& out, RunState& state,
                  const scanner::ScanStream& scan, const scanner::ScanTables& tables, std::int32_t nmeas);

}  // namespace morva::georef
