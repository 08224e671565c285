#include "survey_harness.hpp"

#include <cstdlib>
#include <memory>

#include "georef/run_stats.hpp"
#include "run/scan_record.hpp"
#include "harness.hpp"
#include "regression/report.hpp"
#include "run/main_sequence.hpp"
#include "scanner/byte_reader.hpp"
#include "scanner/scan_stream.hpp"
#include "scanner/scanner_header.hpp"
#include "text/layout.hpp"
#include "text/out_stream.hpp"
#include "text/stop.hpp"
#include "text/text_reader.hpp"

namespace morva::fuzz {
namespace {

// The run's output streams, opened once on /dev/null and kept open for every
// input.
struct NullOutputs {
    text::OutStream scanpt, cent, pcorr, test;
    NullOutputs() {
        for (text::OutStream* out : {&scanpt, &cent, &pcorr, &test}) {
            if (!text::open_out(*out, "/dev/null")) std::abort();
        }
    }
};

NullOutputs& null_outputs() {
    static NullOutputs* outputs = new NullOutputs;
    return *outputs;
}

Survey* load_fixture() {
    auto* s = new Survey;
    const int status = run_one([&] {
        text::TextReader control;
        if (!text::open_in(control, fixture("run.in"))) std::abort();
        inputs::read_run_control(control, s->rc);
        inputs::derive(s->rc);
        inputs::load_geoid(fixture("geoid.txt"), s->geoid);
        text::TextReader gps;
        if (!text::open_in(gps, fixture("trajectory.txt"))) std::abort();
        inputs::load_trajectory(gps, s->rc, s->trajectory);
    });
    if (status != 0) std::abort();  // the fixture itself must load
    return s;
}

}  // namespace

const Survey& fixture_survey() {
    static const Survey* survey = load_fixture();
    return *survey;
}

std::string fixture_scanner_file() { return fixture("scan.bin"); }

void process_scanner_file(const inputs::RunControl& rc, const inputs::TrajectoryTable& trajectory,
                          const inputs::GeoidGrid* geoid, const std::string& path) {
    NullOutputs& files = null_outputs();
    scanner::ByteReader scan;
    if (!scanner::open_bytes(scan, path)) text::stop_run("*** cannot open file: " + path);
    const run::SurveyOutputs outputs{rc.scanpt_wanted ? &files.scanpt : nullptr, &files.cent, &files.pcorr,
                                        &files.test};
    run::LoopOptions loop;
    loop.threads = kFuzzThreads;
    loop.warnings = false;  // standard error is the fuzzer's
    run::process_scanner_file(scan, rc, trajectory, geoid, outputs, loop);
    for (text::OutStream* out : {&files.scanpt, &files.cent, &files.pcorr, &files.test}) text::flush(*out);
}

}  // namespace morva::fuzz
