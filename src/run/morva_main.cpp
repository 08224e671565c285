#include "run/main_sequence.hpp"
#include "run/run_options.hpp"
#include "run/run_record.hpp"
#include "text/out_stream.hpp"
#include "text/stop.hpp"
#include "text/warning.hpp"

int main(int argc, char** argv) {
    using namespace morva;
    const run::RunOptions options = run::parse_run_options(argc, argv);
    run::RunRecord record;
    int status = 0;
    // A stop anywhere (a worker thread's included) ends here, once.
    try {
        run::run_survey(options, {}, &record);
        text::flush(text::console());
    } catch (const text::RunStopped& stop) {
        record.stop = text::stop_line(stop);
        status = text::report_stop(stop);
    }
    if (!options.metadata.empty()) {
        const std::string failed = run::write_metadata(options, record, status);
        if (!failed.empty()) {
            text::note("the run's record was not written: " + failed);
            status = 1;
        }
    }
    return status;
}
