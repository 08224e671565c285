#pragma once
// Scans georeferenced on several threads while the run stays what one thread
// makes of it: a worker records what each of its scans hands on (ScanRecorder)
// in memory, together with a log of the order of every write (ScanResults);
// the ordered stage replays the scans in their original order (replay_scan),
// doing everything whose result depends on what came before: centre points
// and their console lines, the time-gap test of a scan's first point, the
// writes themselves; merge_results adds the statistics. The regression's
// points are handed on in order for their sums.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "georef/run_stats.hpp"
#include "georef/scan_processing.hpp"
#include "scanner/scan_stream.hpp"
#include "text/out_stream.hpp"

namespace morva::run {

struct SurveyOutputs {
    text::OutStream* scanpt;  // null when no scan-point file is wanted
    text::OutStream* cent;
    text::OutStream* pcorr;   // "test_pcorr.out"
    text::OutStream* test;    // "test.out"
};

// What lives from the first scan to the report, carried in scan order.
struct RunState {
    double alpha_prev = 999.0;  // alpha of the previous output point
    double tlast_centre = 0.0;  // time of the last centre line on the console
    bool arcsine_warned = false;  // the calibration's warning, once in a run
    georef::RunStats stats;
    georef::OutsideSpan outside;
};

struct LogEntry {
    enum Kind : std::uint8_t { Bytes, Point, ArcsineWarning } kind;
    georef::ScanOutput sink;  // Bytes: where
    std::uint32_t n;          // Bytes: how many; Point: index in ScanResults::points
};

// How one scan ended in ScanResults.
struct ScanMarks {
    std::size_t log_end = 0;  // end of its entries in the log
    bool has_points = false;
    double last_alpha = 0, last_thr = 0;  // of its last output point
};

// The memory outputs of the scans one worker georeferences.
struct ScanResults {
    text::OutStream bytes[georef::kScanOutputs];  // memory streams
    std::vector<LogEntry> log;
    std::vector<georef::PointEvent> points;
    std::vector<double> regression;  // (h, xscan) of every output point, in order
    georef::ScanTally tally;         // over these scans only
    // The run of bytes being written to one output, not yet in the log.
    georef::ScanOutput current = georef::kScanOutputs;
    std::size_t mark = 0;
};

// The sink that records one scan into `results`; its end, also by a stop
// part way, closes the scan's entries in `marks`.
struct ScanRecorder {
    ScanResults& results;
    ScanMarks& marks;

    ScanRecorder(ScanResults& r, ScanMarks& m) : results(r), marks(m) {}
    ScanRecorder(const ScanRecorder&) = delete;
    ScanRecorder& operator=(const ScanRecorder&) = delete;
    ~ScanRecorder() {
        close_run();
        marks.log_end = results.log.size();
    }

    // The memory stream of `o`, its bytes logged after everything before. A
    // run stays below 4 GiB for the log's count: a batch never holds that much.
    text::OutStream& bytes(georef::ScanOutput o) {
        if (results.current != o) {
            close_run();
            results.current = o;
            results.mark = results.bytes[o].used;
        }
        return results.bytes[o];
    }
    void point(const georef::PointEvent& e) {
        close_run();
        results.log.push_back({LogEntry::Point, georef::kScanpt, static_cast<std::uint32_t>(results.points.size())});
        results.points.push_back(e);
    }
    void arcsine_warning() {
        close_run();
        results.log.push_back({LogEntry::ArcsineWarning, georef::kConsole, 0});
    }
    void regression_pair(double h, double xscan) {
        results.regression.push_back(h);
        results.regression.push_back(xscan);
    }
    void last_point(double alpha, double thr) {
        marks.has_points = true;
        marks.last_alpha = alpha;
        marks.last_thr = thr;
    }
    georef::ScanTally& tally() { return results.tally; }

private:
    // Ends the run of bytes of the current output with its log entry.
    void close_run() {
        if (results.current == georef::kScanOutputs) return;
        const std::size_t n = results.bytes[results.current].used - results.mark;
        if (n > 0) results.log.push_back({LogEntry::Bytes, results.current, static_cast<std::uint32_t>(n)});
        results.current = georef::kScanOutputs;
    }
};

// Georeferences one processed scan (georef::georeference_scan) into `r`. A
// stop (the calibration's) leaves `marks` at the entries written before it.
std::int32_t record_scan(const georef::SurveyInputs& in, const scanner::ScanStream& scan, const std::uint8_t* raw,
                         std::int32_t jtraj, scanner::ScanTables& tables, ScanResults& r, ScanMarks& marks);

// Empties the results, keeping their memory.
void clear_results(ScanResults& r);

// Writes the scan's entries [from, marks.log_end) in order; `offsets` holds
// for each output how far its bytes have been written.
void replay_scan(const SurveyOutputs& out, RunState& state, const ScanResults& r, std::size_t from,
                 const ScanMarks& marks, std::size_t offsets[georef::kScanOutputs]);

// Adds the results' statistics, point count and measurements outside the
// trajectory to the run's.
void merge_results(RunState& state, const ScanResults& r);

}  // namespace morva::run
