#include "run/main_sequence.hpp"

#include <cerrno>
#include <cstring>
#include <unistd.h>

#include "georef/scan_processing.hpp"
#include "inputs/file_guard.hpp"
#include "run/progress.hpp"
#include "run/run_warnings.hpp"
#include "regression/normal_sums.hpp"
#include "regression/report.hpp"
#include "scanner/scan_stream.hpp"
#include "scanner/scanner_header.hpp"
#include "text/free_output.hpp"
#include "text/layout.hpp"
#include "text/out_stream.hpp"
#include "text/stop.hpp"
#include "text/text_reader.hpp"
#include "text/warning.hpp"

namespace morva::run {
namespace {

using inputs::RunControl;
using inputs::trimmed;

using text::console;
using text::write_fixed;
using text::write_free;

// The run's streams, by unit number.
struct RunFiles {
    RunFiles() = default;
    RunFiles(const RunFiles&) = delete;
    RunFiles& operator=(const RunFiles&) = delete;
    // The outputs in the order they were opened, also when a stop unwinds
    // the run (a write error met on the way is printed before the stop's line).
    ~RunFiles() {
        for (text::OutStream* out : {&scanpt, &cent, &pcorr, &test}) text::close_quietly(*out);
    }

    scanner::ByteReader scan;  // 10
    text::TextReader gps;      // 12
    text::OutStream scanpt;    // 20
    text::OutStream cent;      // 21
    text::OutStream pcorr;     // 22, "test_pcorr.out"
    text::OutStream test;      // 23, "test.out"
};

// Written under a temporary name until the run ends (see open_out_staged).
void open_output(text::OutStream& out, const std::string& name) {
    if (!text::open_out_staged(out, name)) text::stop_cannot_open(name, errno);
}

// Standard input, or the file the command line names; a file that cannot be
// opened stops the run as an unreadable standard input would.
void attach_run_control(text::TextReader& control, const RunOptions& options) {
    if (options.run_control.empty()) {
        text::attach_in(control, 0, "standard input");
        if (::isatty(0)) {
            text::note("reading the run control from the terminal (end it with Ctrl-D); morva --help tells more");
        }
        return;
    }
    errno = 0;
    const int fd = text::open_input_file(options.run_control);
    const int error = errno;
    text::attach_in(control, fd, options.run_control);
    // A folder opens but is refused without an error of the system's own.
    if (fd < 0) text::read_error(control, std::strerror(error == 0 ? EISDIR : error));
}

bool progress_wanted(const RunOptions& options) {
    if (options.progress == ProgressMode::Auto) return ::isatty(2) != 0;
    return options.progress == ProgressMode::On;
}

void print_banner(const RunControl& rc) {
    static const text::Layout banner = text::layout(R"(/" === MORVA === output Q240 scanner surface points")");
    static const text::Layout echo = text::layout(
        R"(" Offset/misalignment parameters used: " 6F6.2 / " Polynomial coefficients used: " 4F9.4)");
    write_fixed(console(), banner, {});
    if (!rc.scanpt_wanted) write_free(console(), {"*** only vertical output"});
    if (rc.nthin > 1) write_free(console(), {"- Thinned output, every:", rc.nthin, " scan"});
    write_fixed(console(), echo,
                {rc.offx, rc.offy, rc.offz, rc.dpitch, rc.droll, rc.dheading, rc.pcoef[0], rc.pcoef[1],
                 rc.pcoef[2], rc.pcoef[3]});
}

// The exact geodesy names itself on standard error (the console report
// stays as it is); the default flat earth, as every run before it, adds
// nothing there.
void tell_geodesy(const inputs::RunControl& rc, georef::Geodesy mode) {
    if (mode == georef::Geodesy::Flat) return;
    text::note(rc.full_georef
                   ? "geodesy ellipsoid: exact positions on the WGS 84 ellipsoid"
                   : "geodesy ellipsoid: not used, the run control asks for the simplified vertical computation");
}

}  // namespace

void run_survey(const RunOptions& options, LoopOptions loop, RunRecord* record) {
    RunRecord unused;
    RunRecord& told = record != nullptr ? *record : unused;
    // 1. Run control.
    RunControl& rc = told.rc;
    {
        text::TextReader control;
        attach_run_control(control, options);
        inputs::read_run_control(control, rc);
        told.control_read = true;
        warn_cut_names(rc, control.name);
        warn_reversed_window(rc, control.name);
    }

    // 2. The scanner file first of all.
    RunFiles files;
    const std::string scan_name = trimmed(rc.scanfile);
    if (!scanner::open_bytes(files.scan, scan_name)) text::stop_cannot_open(scan_name, errno);

    // 3. Output form and regression size.
    if (rc.iout_type > 3) {
        text::note("iout_type " + std::to_string(rc.iout_type) +
                   " is not an output form: 0 or 1 text records, 2 binary records, 3 text records with the scan "
                   "angle reversed");
        text::stop_run("*** iout_type wrong, check input");
    }
    if (rc.icalib > 5) text::stop_run("*** icalib too large");
    if (rc.icalib < 0) text::stop_run("*** icalib negative, check input");
    inputs::derive(rc);

    // 4. The trajectory, then the outputs, none of which may be an input.
    const std::string gps_name = trimmed(rc.gpsfile);
    if (!text::open_in(files.gps, gps_name)) text::stop_cannot_open(gps_name, errno);
    inputs::check_output_names(rc, options.run_control, options.metadata);
    if (rc.scanpt_wanted) open_output(files.scanpt, trimmed(rc.scanptfile));
    open_output(files.cent, trimmed(rc.centfile));
    open_output(files.pcorr, "test_pcorr.out");
    open_output(files.test, "test.out");

    // 5. Banner and parameter echo.
    print_banner(rc);

    // 6. Geoid grid.
    inputs::GeoidGrid geoid;
    if (rc.geoid_wanted) inputs::load_geoid(trimmed(rc.geoidfile), geoid);

    // 7. Trajectory inside the window.
    inputs::TrajectoryTable trajectory;
    inputs::load_trajectory(files.gps, rc, trajectory);
    warn_short_trajectory(trajectory, rc);

    // 8. The scan-angle sign follows from iout_type (derived with the run control).

    // 9.
    write_free(console(), {});
    write_free(console(), {"Reading scanner data from: ", rc.scanfile});

    // 10 to 12. Scanner header and the file's time base; the outputs take
    // their names; the scan loop, the warnings after it, the final report and
    // the regression when it is on.
    const SurveyOutputs outputs{rc.scanpt_wanted ? &files.scanpt : nullptr, &files.cent, &files.pcorr,
                                        &files.test};
    Progress progress;
    if (loop.threads == 0) loop.threads = options.threads > 0 ? options.threads : available_cpus();
    loop.geodesy = options.geodesy;
    loop.progress = progress_wanted(options) ? &progress : nullptr;
    told.threads = loop.threads;
    process_scanner_file(files.scan, rc, trajectory, &geoid, outputs, loop, &told.summary);

    // 13. The outputs are closed in the order they were opened (a write that
    // fails now still stops the run) and take their names.
    for (text::OutStream* out : {&files.scanpt, &files.cent, &files.pcorr, &files.test}) text::close_out(*out);
    std::string failed;
    if (!text::commit_staged_outputs(failed)) text::stop_cannot_open(failed, errno);
}

void process_scanner_file(scanner::ByteReader& scan, const inputs::RunControl& rc,
                          const inputs::TrajectoryTable& trajectory, const inputs::GeoidGrid* geoid,
                          const SurveyOutputs& outputs, const LoopOptions& options,
                          RunSummary* summary) {
    RunSummary unused;
    RunSummary& told = summary != nullptr ? *summary : unused;
    scanner::scanner_header header;
    scanner::readhdr(scan, header);
    scanner::ScanStream stream;
    scanner::begin_scans(header, rc, stream);

    tell_geodesy(rc, options.geodesy);
    // From here on a stop leaves what was written under the outputs' names;
    // they take them at the end of the run (a killed run leaves the earlier files).
    text::keep_staged_outputs_on_stop();
    told.outputs_named = true;

    RunState state;
    regression::NormalSums sums;
    const georef::SurveyInputs inputs{&rc, &trajectory, rc.geoid_wanted ? geoid : nullptr, &header, options.geodesy};
    if (options.progress != nullptr) begin_progress(*options.progress, true, scan, header.nmeas);
    run_scan_loop(scan, header, stream, inputs, outputs, state, sums, options);
    if (options.warnings) warn_after_scans(state, sums, trajectory, rc);

    georef::print_report(state.stats, static_cast<std::int32_t>(stream.records_read), rc);
    told.reported = true;
    told.scans_read = static_cast<std::int64_t>(stream.records_read);
    told.stats = state.stats;
    told.outside = state.outside;
    if (rc.regression_on) {
        told.fit = regression::report_regression(sums, rc.nparams);
        told.regression_reported = true;
    }
}

}  // namespace morva::run
