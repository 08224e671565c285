#include "run/main_sequence.hpp"
#include "run/run_options.hpp"
#include "text/out_stream.hpp"
#include "text/stop.hpp"

int main(int argc, char** argv) {
    using namespace morva;
    const run::RunOptions options = run::parse_run_options(argc, argv);
    // A stop anywhere (a worker thread's included) ends here, once.
    try {
        run::run_survey(options);
        text::flush(text::console());
    } catch (const text::RunStopped& stop) {
        return text::report_stop(stop);
    }
    return 0;
}
