#include "accuracy_report.hpp"

#include <cmath>
#include <cstdio>

#include <nlohmann/json.hpp>

#include "text/command_line.hpp"

namespace accuracy {

namespace {

using Json = nlohmann::ordered_json;

Json number_or_null(double v) { return std::isfinite(v) ? Json(v) : Json(nullptr); }
Json limit_or_null(double v) { return v > 0 ? Json(v) : Json(nullptr); }

std::string fixed(double v, int decimals) {
    if (!std::isfinite(v)) return "-";
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
    const std::string text = buf;
    // A value that rounds to zero is shown without a sign.
    return text.find_first_not_of("-0.") == std::string::npos && text[0] == '-' ? text.substr(1) : text;
}

std::string repr(double v) { return std::isfinite(v) ? morva::text::number_text(v) : std::string(); }

std::string csv_field(const std::string& s) {
    if (s.find_first_of(",\"\n\r") == std::string::npos) return s;
    std::string q = "\"";
    for (char ch : s) q += ch == '"' ? std::string("\"\"") : std::string(1, ch);
    return q + "\"";
}

bool measured(const CheckPointHeight& h) { return h.terrain.status == TerrainStatus::measured; }

Json summary_json(const DzSummary& s) {
    const bool any = s.count > 0;
    return Json{{"count", s.count},
                {"mean", any ? Json(s.mean) : Json(nullptr)},
                {"std", s.count > 1 ? Json(s.standard_deviation) : Json(nullptr)},
                {"rmse", any ? Json(s.rmse) : Json(nullptr)},
                {"standard_error", s.count > 1 ? Json(s.standard_error) : Json(nullptr)}};
}

std::string what_not_measured(TerrainStatus s, double max_edge) {
    switch (s) {
        case TerrainStatus::outside: return "outside the data";
        case TerrainStatus::far_from_ground: return "farther than " + morva::text::number_text(max_edge) + " m from a ground point";
        case TerrainStatus::long_edge: return "in a gap (a triangle edge longer than " + morva::text::number_text(max_edge) + " m)";
        case TerrainStatus::measured: break;
    }
    return "";
}

// "measured", "outside" or "far" (farther than max_edge from a ground point, or in a gap).
std::string status_word(TerrainStatus status) {
    switch (status) {
        case TerrainStatus::measured: return "measured";
        case TerrainStatus::outside: return "outside";
        case TerrainStatus::far_from_ground:
        case TerrainStatus::long_edge: return "far";
    }
    return "";
}

}  // namespace

int exit_status(const AccuracyReport& r) {
    bool failed = r.density.verdict == Verdict::fail, untested = r.density.verdict == Verdict::not_tested;
    for (const FigureVerdict& v : r.verdicts) {
        failed = failed || v.verdict == Verdict::fail;
        untested = untested || v.verdict == Verdict::not_tested;
    }
    return failed ? 3 : untested ? 4 : 0;
}

std::string table_text(const AccuracyReport& r) {
    const AccuracyOptions& o = *r.options;
    const AccuracyLimits& l = o.limits;
    std::string t;
    std::size_t count = 0;
    for (const auto& h : r.heights) count += measured(h);
    t += "check points: " + std::to_string(r.heights.size()) + ", measured " + std::to_string(count) +
         "; dz = lidar - surveyed, metres; " + r.survey.crs_name + ", " + r.survey.vertical + "\n";
    t += "limits: " + l.name + " (RMSEz " + (l.rmsez > 0 ? fixed(l.rmsez, 3) : "-") + ", NVA " +
         (l.nva > 0 ? fixed(l.nva, 3) : "-") + ", VVA " + (l.vva > 0 ? fixed(l.vva, 3) : "-") + ", density " +
         (l.density > 0 ? morva::text::number_text(l.density) : "-") + " points/m2)\n\n";
    char line[256];
    std::snprintf(line, sizeof line, "%-10s %6s %9s %9s %9s %9s\n", "cover", "count", "mean", "std", "RMSEz", "95%");
    t += line;
    auto row = [&](const char* name, const DzSummary& s, double p95, const char* which) {
        std::snprintf(line, sizeof line, "%-10s %6zu %9s %9s %9s %9s\n", name, s.count, fixed(s.count ? s.mean : NAN, 3).c_str(),
                      fixed(s.count > 1 ? s.standard_deviation : NAN, 3).c_str(), fixed(s.count ? s.rmse : NAN, 3).c_str(),
                      s.count ? (std::string(which) + " " + fixed(p95, 3)).c_str() : "-");
        t += line;
    };
    row("open", r.figures.open, r.figures.nva, "NVA");
    row("vegetated", r.figures.vegetated, r.figures.vva, "VVA");
    row("all", r.figures.all, NAN, "");
    t += "\n";
    std::snprintf(line, sizeof line, "%-8s %9s %9s  %s\n", "figure", "value", "limit", "verdict");
    t += line;
    for (const FigureVerdict& v : r.verdicts) {
        std::snprintf(line, sizeof line, "%-8s %9s %9s  %s", v.figure.c_str(), fixed(v.value, 3).c_str(),
                      v.limit > 0 ? fixed(v.limit, 3).c_str() : "-", std::string(verdict_text(v.verdict)).c_str());
        t += line + (v.reason.empty() ? std::string() : " (" + v.reason + ")") + "\n";
    }
    const DensityFigures& d = r.density;
    t += "\ndensity: " + std::to_string(d.points) + " points in " + std::to_string(d.cells_with_data) + " cells of " +
         morva::text::number_text(o.density_cell) + " m holding points and " + std::to_string(d.void_cells) + " empty between them; mean " +
         fixed(d.mean_density, 2) + " points/m2; ";
    if (l.density > 0)
        t += fixed(100 * d.share_meeting, 1) + " % of the cells at " + morva::text::number_text(l.density) +
             " points/m2 or more (required " + fixed(100 * o.required_share, 0) + " %): ";
    t += std::string(verdict_text(d.verdict)) + (r.density_reason.empty() ? "" : " (" + r.density_reason + ")") + "\n";
    bool header = false;
    for (const auto& h : r.heights) {
        if (measured(h)) continue;
        if (!header) t += "\nnot measured:\n";
        header = true;
        t += "  " + h.point->id + " (" + std::string(land_cover_name(h.point->cover)) + "): " +
             what_not_measured(h.terrain.status, o.max_edge) + "\n";
    }
    return t;
}

std::string json_text(const AccuracyReport& r) {
    const AccuracyOptions& o = *r.options;
    Json j;
    j["program"] = "morva-accuracy";
    j["version"] = std::string(morva::text::project_version());
    j["checkpoints_file"] = o.checkpoints;
    j["inputs"] = o.inputs;
    Json epsg = nullptr;
    if (r.survey.crs_id.rfind("EPSG:", 0) == 0) epsg = std::stoi(r.survey.crs_id.substr(5));
    j["crs"] = {{"horizontal", {{"name", r.survey.crs_name}, {"epsg", epsg}}},
                {"vertical", {{"name", r.survey.vertical}, {"epsg", nullptr}}}};
    if (!r.checkpoint_crs.empty()) j["checkpoint_crs"] = r.checkpoint_crs;
    if (!r.checkpoint_vertical.empty()) j["checkpoint_vertical"] = r.checkpoint_vertical;
    j["limits"] = {{"name", o.limits.name}, {"rmse", limit_or_null(o.limits.rmsez)}, {"nva", limit_or_null(o.limits.nva)},
                   {"vva", limit_or_null(o.limits.vva)}, {"density", limit_or_null(o.limits.density)}};
    j["max_edge"] = o.max_edge;
    j["checkpoints"] = Json::array();
    std::size_t outside = 0, far = 0;
    for (std::size_t i = 0; i < r.heights.size(); ++i) {
        const CheckPointHeight& h = r.heights[i];
        const CheckPoint& p = r.surveyed[i];
        const bool m = measured(h);
        outside += h.terrain.status == TerrainStatus::outside;
        far += !m && h.terrain.status != TerrainStatus::outside;
        j["checkpoints"].push_back({{"id", p.id}, {"easting", p.easting}, {"northing", p.northing}, {"height", p.height},
                                    {"land_cover", land_cover_name(p.cover)},
                                    {"lidar_height", m ? Json(h.terrain.height) : Json(nullptr)},
                                    {"dz", m ? Json(h.dz) : Json(nullptr)}, {"status", status_word(h.terrain.status)},
                                    {"reason", what_not_measured(h.terrain.status, o.max_edge)}});
    }
    j["not_measured"] = {{"outside", outside}, {"far", far}};
    Json open = summary_json(r.figures.open), vegetated = summary_json(r.figures.vegetated);
    open["nva"] = r.figures.open.count ? Json(r.figures.nva) : Json(nullptr);
    vegetated["vva"] = r.figures.vegetated.count ? Json(r.figures.vva) : Json(nullptr);
    j["open"] = open;
    j["vegetated"] = vegetated;
    j["all"] = summary_json(r.figures.all);
    j["verdicts"] = Json::array();
    for (const FigureVerdict& v : r.verdicts)
        j["verdicts"].push_back({{"figure", v.figure}, {"value", number_or_null(v.value)}, {"limit", limit_or_null(v.limit)},
                                 {"verdict", verdict_text(v.verdict)}, {"reason", v.reason}});
    const DensityFigures& d = r.density;
    j["density"] = {{"cell_size", o.density_cell},
                    {"required", limit_or_null(o.limits.density)},
                    {"cells", d.cells_with_data},
                    {"mean", d.cells_with_data ? Json(d.mean_density) : Json(nullptr)},
                    {"share_meeting", d.cells_with_data && o.limits.density > 0 ? Json(d.share_meeting) : Json(nullptr)},
                    {"required_share", o.required_share},
                    {"verdict", verdict_text(d.verdict)},
                    {"reason", r.density_reason},
                    {"points", d.points},
                    {"cells_meeting", d.cells_meeting},
                    {"empty_cells", d.empty_cells},
                    {"void_cells", d.void_cells},
                    {"returns", o.filter.returns == morva::common::Returns::First  ? "first"
                                : o.filter.returns == morva::common::Returns::Last ? "last"
                                : o.filter.returns == morva::common::Returns::Only ? "only"
                                                                                   : "all"}};
    j["min_checkpoints"] = o.min_checkpoints;
    j["warnings"] = r.warnings;
    j["exit_status"] = exit_status(r);
    return j.dump(2) + "\n";
}

std::string csv_text(const AccuracyReport& r) {
    std::string t = "id,easting,northing,height,land_cover,lidar_height,dz,status,reason\n";
    for (std::size_t i = 0; i < r.heights.size(); ++i) {
        const CheckPointHeight& h = r.heights[i];
        const CheckPoint& p = r.surveyed[i];
        const bool m = measured(h);
        t += csv_field(p.id) + "," + repr(p.easting) + "," + repr(p.northing) + "," + repr(p.height) + "," +
             std::string(land_cover_name(p.cover)) + "," + (m ? repr(h.terrain.height) : "") + "," + (m ? repr(h.dz) : "") +
             "," + status_word(h.terrain.status) + "," + csv_field(what_not_measured(h.terrain.status, r.options->max_edge)) + "\n";
    }
    return t;
}

std::string picture_data(const AccuracyReport& r) {
    Json j;
    j["crs"] = r.survey.crs_name;
    j["limits"] = {{"name", r.options->limits.name}, {"nva", limit_or_null(r.options->limits.nva)},
                   {"vva", limit_or_null(r.options->limits.vva)}};
    j["checkpoints"] = Json::array();
    for (const CheckPointHeight& h : r.heights)
        j["checkpoints"].push_back({{"id", h.point->id}, {"e", h.point->easting}, {"n", h.point->northing},
                                    {"cover", land_cover_name(h.point->cover)}, {"status", status_word(h.terrain.status)},
                                    {"dz", measured(h) ? Json(h.dz) : Json(nullptr)}});
    const HeightRaster& t = r.survey.terrain;
    j["terrain"] = {{"cell_size", t.cell_size}, {"west", t.west}, {"north", t.north}, {"columns", t.columns}, {"rows", t.rows}};
    std::string out = j.dump() + "\n";
    out.append(reinterpret_cast<const char*>(t.height.data()), t.height.size() * sizeof(double));
    return out;
}

}  // namespace accuracy
