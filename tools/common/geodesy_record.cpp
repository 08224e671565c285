#include "geodesy_record.hpp"

#include <fstream>

#include <nlohmann/json.hpp>

#include "point_source.hpp"
#include "text/stop.hpp"
#include "unreadable.hpp"

namespace morva::common {
namespace {

// The "name" of a file entry ({"name": ..., "size": ...}), empty for null or absent.
std::string entry_name(const nlohmann::json& record, const char* group, const char* role, std::string* form = nullptr) {
    const auto g = record.find(group);
    if (g == record.end() || !g->is_object()) return "";
    const auto e = g->find(role);
    if (e == g->end() || !e->is_object()) return "";
    if (form != nullptr) *form = e->value("form", "");
    return e->value("name", "");
}

}  // namespace

std::vector<std::string> geodesy_choices() {
    return {georef::geodesy_name(georef::Geodesy::Flat), georef::geodesy_name(georef::Geodesy::Ellipsoid)};
}

RunGeodesy run_geodesy(const std::string& record_file, std::optional<georef::Geodesy> option) {
    RunGeodesy r;
    if (record_file.empty()) {
        r.mode = option;
        return r;
    }
    std::ifstream in(record_file);
    if (!in) {
        r.error = "cannot read the run's record: " + unreadable(record_file);
        return r;
    }
    const nlohmann::json record = nlohmann::json::parse(in, nullptr, false);
    if (record.is_discarded() || !record.is_object()) {
        r.error = "the run's record " + record_file + " is not JSON";
        return r;
    }
    const auto geodesy = record.find("geodesy");
    const std::optional<georef::Geodesy> recorded =
        geodesy != record.end() && geodesy->is_string() ? georef::parse_geodesy(geodesy->get<std::string>())
                                                        : std::nullopt;
    if (record.value("program", "") != "morva" || !recorded) {
        r.error = "the run's record " + record_file + " is not a morva record with a geodesy (morva --metadata FILE)";
        return r;
    }
    if (option && *option != *recorded) {
        r.error = std::string("--geodesy ") + georef::geodesy_name(*option) + " contradicts the run's record " +
                  record_file + ": the run used --geodesy " + georef::geodesy_name(*recorded);
        return r;
    }
    r.mode = recorded;
    r.from_record = true;
    r.record_scan_points = entry_name(record, "outputs", "scan_points", &r.record_scan_points_form);
    r.record_geoid = entry_name(record, "inputs", "geoid");
    return r;
}

std::string record_mismatch(const RunGeodesy& g, const std::string& scan_points, bool binary,
                            const std::string& geoid) {
    const std::string form = binary ? "binary" : "text";
    if (g.record_scan_points != scan_points || g.record_scan_points_form != form) {
        return "it names the scan points " +
               (g.record_scan_points.empty() ? std::string("of no run")
                                             : g.record_scan_points + " (" + g.record_scan_points_form + ")") +
               ", the run control " + scan_points + " (" + form + ")";
    }
    if (g.record_geoid != geoid) {
        const auto grid = [](const std::string& name) {
            return name.empty() ? std::string("no geoid grid") : "the geoid grid " + name;
        };
        return "it names " + grid(g.record_geoid) + ", the run control " + grid(geoid);
    }
    return {};
}

void check_record_of(const RunGeodesy& record, const std::string& file, const PointSource& run) {
    const std::string mismatch = record_mismatch(record, run.named_points_file, run.binary, run.named_geoid);
    if (!mismatch.empty()) text::stop_run("the run's record " + file + " is not of " + run.name + ": " + mismatch);
}

}  // namespace morva::common
