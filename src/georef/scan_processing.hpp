#pragma once
// The georeferencing stage of the scan loop, in two halves so that scans can
// be georeferenced on several threads while the run stays what one thread
// makes of it:
// - georeference_scan: for each measurement of one scan the road from its
//   ten bytes to an output point, its records and diagnostics, formatted into
//   memory (ScanResults) together with a log of the order of every write;
// - replay_scan: in the original order of the scans, everything whose result
//   depends on what came before (centre points and their console lines, the
//   time-gap test of a scan's first point, the writes themselves), plus
//   merge_results for the statistics; the regression's points are handed on
//   in order for their sums.

#include <cstdint>
#include <vector>

#include "georef/georeference.hpp"
#include "georef/output_point.hpp"
#include "georef/run_stats.hpp"
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

// Measurements whose time lies before the trajectory's first record or after
// its last: their positions hold that end record.
struct OutsideSpan {
    std::int64_t before = 0, after = 0;
    double before_min = 0, before_max = 0;  // their times, decimal hours
    double after_min = 0, after_max = 0;
};

// What lives from the first scan to the report, carried in scan order.
struct RunState {
    double alpha_prev = 999.0;  // alpha of the previous output point
    double tlast_centre = 0.0;  // time of the last centre line on the console
    bool arcsine_warned = false;  // the calibration's warning, once in a run
    RunStats stats;
    OutsideSpan outside;
};

enum class ScanDecision { End, Skip, Process };

// For a scan not before the window: end of the loop after tend, thinning.
ScanDecision scan_test(const scanner::ScanStream& scan, const inputs::RunControl& rc);

// The forward-only trajectory cursor after the measurements of one processed
// scan, from where it stood before it (what georeference_scan does to it,
// without the rest): the reader carries it so that any scan can start from
// the position the sequential loop would have.
std::int32_t advance_over_scan(const SurveyInputs& in, const scanner::ScanStream& scan, const std::uint8_t* raw,
                               std::int32_t jtraj);

// The memory outputs of the scans one worker georeferences.
enum Sink : std::uint8_t { kScanpt, kPcorr, kTest, kConsole, kSinks };

struct LogEntry {
    enum Kind : std::uint8_t { Bytes, Point, ArcsineWarning } kind;
    Sink sink;       // Bytes: where
    std::uint32_t n; // Bytes: how many; Point: index in ScanResults::points
};

// An output point the ordered stage must look at: the first of its scan
// (centre test against the previous scan's last point, time-gap test), or a
// later one where the beam passed the nadir.
struct PointEvent {
    scanpt p;
    double gap_t;         // time and index of its measurement, for the gap test
    std::int32_t gap_i;
    std::int32_t nscan, scanno;
    std::uint8_t gpsflags;
    bool first;
};

// How one scan ended in ScanResults.
struct ScanMarks {
    std::size_t log_end = 0;  // end of its entries in the log
    bool has_points = false;
    double last_alpha = 0, last_thr = 0;  // of its last output point
};

struct ScanResults {
    text::OutStream bytes[kSinks];      // memory streams
    std::vector<LogEntry> log;
    std::vector<PointEvent> points;
    std::vector<double> regression;     // (h, xscan) of every output point, in order
    RunStats stats;                     // from the sentinels, over these scans only
    OutsideSpan outside;                // over these scans only
    std::int32_t npts = 0;
    // The run of bytes being written to one sink, not yet in the log.
    Sink current = kSinks;
    std::size_t mark = 0;
};

// Empties the results, keeping their memory.
void clear_results(ScanResults& r);

// Georeferences one processed scan from its raw measurement bytes, the
// cursor where the scan starts, into `r`; `tables` is working memory. A stop
// (the calibration's) leaves `marks` at the entries written before it.
std::int32_t georeference_scan(const SurveyInputs& in, const scanner::ScanStream& scan, const std::uint8_t* raw,
                       std::int32_t jtraj, scanner::ScanTables& tables, ScanResults& r, ScanMarks& marks);
// The same from its decoded measurements. Both return the cursor after the scan.
std::int32_t georeference_tables(const SurveyInputs& in, const scanner::ScanStream& scan, const scanner::ScanTables& tables,
                         std::int32_t jtraj, ScanResults& r, ScanMarks& marks);

// Writes the scan's entries [from, marks.log_end) in order; `offsets` holds
// for each sink how far its bytes have been written.
void replay_scan(const SurveyOutputs& out, RunState& state, const ScanResults& r, std::size_t from,
                 const ScanMarks& marks, std::size_t offsets[kSinks]);

// Adds the results' statistics, point count and measurements outside the
// trajectory to the run's.
void merge_results(RunState& state, const ScanResults& r);

}  // namespace morva::georef
