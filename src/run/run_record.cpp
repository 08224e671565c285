#include "run/run_record.hpp"

#include <sys/stat.h>

#include <vector>

#include "inputs/file_guard.hpp"
#include "inputs/output_guard.hpp"
#include "text/command_line.hpp"
#include "text/json_writer.hpp"
#include "text/out_stream.hpp"
#include "text/stop.hpp"
#include "text/warning.hpp"

namespace morva::run {
namespace {

using text::JsonWriter;
using text::key;
using text::value;

// {"name": ..., "size": bytes, or null for what is not a regular file},
// plus the scan points' form.
void file_entry(JsonWriter& w, std::string_view role, const std::string& name, const char* form = nullptr) {
    key(w, role);
    text::begin_object(w);
    key(w, "name");
    value(w, name);
    key(w, "size");
    struct stat st{};
    if (::stat(name.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
        value(w, static_cast<std::int64_t>(st.st_size));
    } else {
        text::null_value(w);
    }
    if (form != nullptr) {
        key(w, "form");
        value(w, form);
    }
    text::end_object(w);
}

void no_entry(JsonWriter& w, std::string_view role) {
    key(w, role);
    text::null_value(w);
}

// The text, or null when there is none.
void text_or_null(JsonWriter& w, std::string_view name, std::string_view s) {
    key(w, name);
    if (s.empty()) {
        text::null_value(w);
    } else {
        value(w, s);
    }
}

void number(JsonWriter& w, std::string_view name, double x) {
    key(w, name);
    value(w, x);
}

void count(JsonWriter& w, std::string_view name, std::int64_t n) {
    key(w, name);
    value(w, n);
}

void write_inputs(JsonWriter& w, const RunOptions& options, const RunRecord& r) {
    key(w, "inputs");
    text::begin_object(w);
    if (options.run_control.empty()) {
        no_entry(w, "run_control");
    } else {
        file_entry(w, "run_control", options.run_control);
    }
    if (r.control_read) {
        file_entry(w, "scanner", inputs::trimmed(r.rc.scanfile));
        file_entry(w, "trajectory", inputs::trimmed(r.rc.gpsfile));
        if (!inputs::is_none(r.rc.geoidfile)) {
            file_entry(w, "geoid", inputs::trimmed(r.rc.geoidfile));
        } else {
            no_entry(w, "geoid");
        }
    }
    text::end_object(w);
}

// Only what this run wrote: before its scan loop began the names still
// hold an earlier run's files.
void write_outputs(JsonWriter& w, const RunRecord& r) {
    key(w, "outputs");
    text::begin_object(w);
    if (r.control_read && r.summary.outputs_named) {
        if (r.rc.scanpt_wanted) {
            file_entry(w, "scan_points", inputs::trimmed(r.rc.scanptfile), r.rc.binary_output ? "binary" : "text");
        } else {
            no_entry(w, "scan_points");
        }
        file_entry(w, "centre_points", inputs::trimmed(r.rc.centfile));
        file_entry(w, "test_out", "test.out");
        file_entry(w, "test_pcorr_out", "test_pcorr.out");
    }
    text::end_object(w);
}

void write_report(JsonWriter& w, const RunRecord& r) {
    key(w, "report");
    const RunSummary& s = r.summary;
    if (!s.reported) {
        text::null_value(w);
        return;
    }
    text::begin_object(w);
    count(w, "scans_read", s.scans_read);
    count(w, "points_output", s.stats.npts);
    number(w, "range_min_m", s.stats.range_min);
    number(w, "range_max_m", s.stats.range_max);
    number(w, "flight_elevation_min_m", s.stats.elevation_min);
    number(w, "flight_elevation_max_m", s.stats.elevation_max);
    number(w, "ground_height_min_m", s.stats.height_min);
    number(w, "ground_height_max_m", s.stats.height_max);
    number(w, "correction_min_m", s.stats.correction_min);
    number(w, "correction_max_m", s.stats.correction_max);
    number(w, "lat_min_deg", s.stats.lat_min);
    number(w, "lat_max_deg", s.stats.lat_max);
    number(w, "lon_min_deg", s.stats.lon_min);
    number(w, "lon_max_deg", s.stats.lon_max);
    count(w, "measurements_before_trajectory", s.outside.before);
    count(w, "measurements_after_trajectory", s.outside.after);
    key(w, "regression");
    if (!s.regression_reported) {
        text::null_value(w);
    } else {
        text::begin_object(w);
        count(w, "points_used", s.fit.points);
        count(w, "parameters", s.fit.parameters);
        count(w, "singularities", s.fit.singularities);
        number(w, "bias_m", s.fit.coefficients[0]);
        number(w, "roll_slope_deg", s.fit.slope_degrees);
        key(w, "coefficients");
        text::begin_array(w);
        for (const double c : s.fit.coefficients) value(w, c);
        text::end_array(w);
        text::end_object(w);
    }
    text::end_object(w);
}

// The record as JSON text.
std::string metadata_json(const RunOptions& options, const RunRecord& r, int exit_status) {
    JsonWriter w;
    text::begin_object(w);
    key(w, "program");
    value(w, "morva");
    key(w, "version");
    value(w, text::project_version());
    text_or_null(w, "commit", text::build_commit());
    key(w, "command_line");
    text::begin_array(w);
    for (const std::string& arg : options.command_line) value(w, arg);
    text::end_array(w);
    key(w, "run_control");
    value(w, options.run_control.empty() ? std::string("-") : options.run_control);
    key(w, "geodesy");
    value(w, georef::geodesy_name(options.geodesy));
    key(w, "threads");
    if (r.threads > 0) {
        value(w, r.threads);
    } else {
        text::null_value(w);
    }
    key(w, "exit_status");
    value(w, exit_status);
    text_or_null(w, "stop", r.stop);
    write_inputs(w, options, r);
    write_outputs(w, r);
    write_report(w, r);
    key(w, "warnings");
    text::begin_array(w);
    for (const std::string& line : text::warnings_told()) value(w, line);
    text::end_array(w);
    text::end_object(w);
    return w.text;
}

}  // namespace

std::string write_metadata(const RunOptions& options, const RunRecord& record, int exit_status) {
    // The run refuses such a name before it starts; the record must not
    // replace the file either.
    std::vector<std::string> files;
    if (record.control_read) {
        files = inputs::run_control_files(record.rc, options.run_control);
    } else {
        files = {"test.out", "test_pcorr.out"};
        if (!options.run_control.empty()) files.push_back(options.run_control);
    }
    for (const std::string& name : files) {
        if (inputs::same_file(options.metadata, name)) return options.metadata + " is a file of the run";
    }
    struct stat in{}, record_file{};
    if (options.run_control.empty() && ::fstat(0, &in) == 0 && S_ISREG(in.st_mode) &&
        ::stat(options.metadata.c_str(), &record_file) == 0 && in.st_dev == record_file.st_dev &&
        in.st_ino == record_file.st_ino) {
        return options.metadata + " is the run control on standard input";
    }
    const std::string json = metadata_json(options, record, exit_status);
    text::OutStream out;
    if (!text::open_out_staged(out, options.metadata)) return "cannot open file: " + options.metadata;
    try {
        text::put_bytes(out, json.data(), json.size());
        text::close_out(out);
    } catch (const text::RunStopped& stop) {
        text::discard_staged_outputs();
        return stop.line.starts_with("*** ") ? stop.line.substr(4) : stop.line;
    }
    std::string failed;
    if (!text::commit_staged_outputs(failed)) return "cannot open file: " + failed;
    return {};
}

}  // namespace morva::run
