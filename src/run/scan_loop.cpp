#include "run/scan_loop.hpp"

#include <memory>

#include "text/layout.hpp"
#include "text/out_stream.hpp"

namespace morva::run {

void run_scan_loop(scanner::ByteReader& scan, const scanner::scanner_header& header, scanner::ScanStream& stream,
                   const georef::SurveyInputs& inputs, const georef::SurveyOutputs& outputs, georef::RunState& state,
                   Progress* progress) {
    static const text::Layout skipped = text::layout(R"(" " 2I6 F9.5 " skipped, before t1")");
    const inputs::RunControl& rc = *inputs.rc;
    auto tables = std::make_unique<scanner::ScanTables>();
    while (scanner::read_scan(scan, header, stream, *tables)) {
        if (progress != nullptr) count_scan(*progress, scan);
        if (stream.tscan < rc.tstart) {
            if (stream.nscan % 10000 == 0) {
                text::write_fixed(text::console(), skipped, {stream.nscan, stream.scanno, stream.tscan});
            }
            // The gap test of the first output point compares with the last skipped scan.
            state.stats.tprev = stream.tscan;
            continue;
        }
        const georef::ScanDecision decision = georef::scan_test(stream, rc);
        if (decision == georef::ScanDecision::End) break;
        if (decision == georef::ScanDecision::Process) {
            georef::process_scan(inputs, outputs, state, stream, *tables, header.nmeas);
        }
    }
    if (progress != nullptr) end_progress(*progress);
}

}  // namespace morva::run
