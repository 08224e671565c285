#include "accuracy_run.hpp"

#include <cstdio>
#include <fstream>

#include "accuracy_report.hpp"
#include "checkpoint_crs.hpp"
#include "inputs/output_guard.hpp"
#include "las_crs.hpp"
#include "picture_script.hpp"
#include "staged_files.hpp"
#include "survey_points.hpp"
#include "terrain_triangulation.hpp"
#include "text/stop.hpp"
#include "unreadable.hpp"

namespace accuracy {

using morva::text::stop_run;

namespace {

std::vector<CheckPoint> read_checkpoint_file(const std::string& path) {
    std::ifstream in(path);
    if (!in) stop_run(morva::common::unreadable(path));
    return read_checkpoints(in, path);
}

// No output may replace an input (the check points, a run control or any
// file it names, a LAS file), a folder, device or pipe, nor another output.
void check_outputs(const AccuracyOptions& o, const SurveyInputs& in) {
    std::vector<morva::inputs::RunFile> files{{o.checkpoints, "the check points"}};
    for (const auto& s : in.sources) {
        files.push_back({s.name, "an input"});
        for (const auto& r : s.roles) files.push_back(r);
    }
    std::vector<std::string> taken;
    for (const std::string* out : {&o.json, &o.csv, &o.picture})
        if (!out->empty()) morva::common::check_output(*out, files, taken);
}

// Where the check points and the inputs meet: the inputs' projected CRS
// (the check points taken into it when they are in another and forced), or
// for geographic inputs the check points' CRS (the inputs' UTM zone when
// neither names one).
void settle_crs(const std::string& checkpoint_crs, const AccuracyOptions& o, SurveyInputs& in,
                std::vector<CheckPoint>& points, std::vector<std::string>& warnings) {
    if (checkpoint_crs.empty()) return;
    const morva::common::CrsFacts facts = morva::common::crs_facts(checkpoint_crs);
    if (!facts.error.empty()) stop_run("the check points' CRS " + checkpoint_crs + ": " + facts.error);
    if (facts.kind != morva::common::CrsKind::Projected)
        stop_run("the check points' CRS " + checkpoint_crs + " (" + facts.name +
                 ") is not projected: give easting and northing in metres");
    if (!in.projected) {
        in.crs = checkpoint_crs;
        return;
    }
    const auto& first = in.sources.front();
    if (same_crs(checkpoint_crs, first.crs)) return;
    const std::string line = "the check points are in " + checkpoint_crs + " (" + facts.name + "), the inputs in " +
                             first.crs_name;
    if (!o.force) stop_run(line + "; --force takes the check points into the inputs' CRS");
    warnings.push_back(line + ": the check points were taken into the inputs' CRS");
    transform_checkpoints(points, checkpoint_crs, first.crs);
}

}  // namespace

int check_accuracy(const AccuracyOptions& o) {
    AccuracyReport r;
    r.options = &o;
    r.surveyed = read_checkpoint_file(o.checkpoints);
    SurveyInputs in = open_inputs(o);
    r.warnings = in.warnings;
    check_outputs(o, in);
    r.checkpoint_crs = o.checkpoint_crs.empty() ? declared_crs(o.checkpoints) : o.checkpoint_crs;
    std::vector<CheckPoint> points = r.surveyed;  // in the comparison's CRS
    settle_crs(r.checkpoint_crs, o, in, points, r.warnings);
    // Heights of two systems differ by the geoid (tens of metres): a figure of them says nothing.
    r.checkpoint_vertical = declared_vertical(o.checkpoints);
    if (!r.checkpoint_vertical.empty() && !same_vertical(r.checkpoint_vertical, in.sources.front().vertical)) {
        const std::string line =
            "the check points' heights are " + r.checkpoint_vertical + ", the inputs' " + in.sources.front().vertical;
        if (!o.force) stop_run(line + "; --force compares them all the same");
        r.warnings.push_back(line);
    }

    r.survey = read_survey(in, points, o);
    {
        const TerrainTriangulation terrain(r.survey.x, r.survey.y, r.survey.z, o.max_edge);
        r.heights = measure_checkpoints(terrain, points);
    }
    r.figures = figures_of_measured(r.heights);
    r.verdicts = figure_verdicts(r.figures, o.limits, o.min_checkpoints);
    r.density = density_figures(r.survey.density, o.limits.density, o.required_share);
    if (o.limits.density <= 0) r.density_reason = "no density limit given";
    else if (r.density.cells_with_data == 0) r.density_reason = "no point counted";

    morva::common::StagedFiles staged;
    if (!o.json.empty()) morva::common::write_staged(staged, o.json, json_text(r));
    if (!o.csv.empty()) morva::common::write_staged(staged, o.csv, csv_text(r));
    if (!o.picture.empty()) {
        const std::string script = morva::common::picture_script_path(o.program_path, "morva_accuracy_picture.py",
                                                                     MORVA_ACCURACY_PICTURE_SCRIPT);
        morva::common::run_picture_script(script, picture_data(r), staged.add(o.picture), o.picture);
    }
    staged.commit();
    for (const std::string& w : r.warnings) std::fprintf(stderr, "morva-accuracy: warning: %s\n", w.c_str());
    const std::string t = table_text(r);
    std::fwrite(t.data(), 1, t.size(), stdout);
    if (std::fflush(stdout) != 0) return 1;
    return exit_status(r);
}

}  // namespace accuracy
