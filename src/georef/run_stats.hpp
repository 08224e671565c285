#pragma once
// Running statistics of the run, the time-gap watch on the output points and
// the end-of-run report.

#include <cmath>
#include <cstdint>

#include "inputs/run_control.hpp"
#include "text/out_stream.hpp"

namespace morva::georef {

struct RunStats {
    double range_min = 9999.0, range_max = -9999.0;
    double elevation_min = 9999.0, elevation_max = -9999.0;
    double correction_min = 9999.0, correction_max = -9999.0;
    double height_min = 9999.0, height_max = -9999.0;
    double lat_min = 9999.0, lat_max = -9999.0;
    double lon_min = 9999.0, lon_max = -9999.0;
    std::int32_t npts = 0;
    double tprev = 0.0;  // time of the last output point or skipped scan
};

// A minimum moves only for a strictly smaller value, a maximum only for a
// strictly larger one.
inline void track(double value, double& min, double& max) {
    min = value < min ? value : min;
    max = value > max ? value : max;
}

// Prints the time-gap line.
void report_time_gap(text::OutStream& out, double t, double delta, std::int32_t i, std::int32_t nscan);

// The time-gap rule: a spacing delta (hours) above 0.36 s from the previous
// output point is a gap, except at measurement 1 of scan 1.
inline bool is_time_gap(double delta, std::int32_t i, std::int32_t nscan) {
    constexpr double kGapHours = 0.0001f;  // single precision, about 0.36 s
    return delta > kGapHours && (i > 1 || nscan > 1);
}

// Reports a time gap from the previous output point; then remembers t.
inline void time_gap_test(RunStats& stats, double t, std::int32_t i, std::int32_t nscan) {
    const double delta = std::fabs(t - stats.tprev);
    if (is_time_gap(delta, i, nscan)) report_time_gap(text::console(), t, delta, i, nscan);
    stats.tprev = t;
}

void print_report(const RunStats& stats, std::int32_t scans_read, const inputs::RunControl& rc);

}  // namespace morva::georef
