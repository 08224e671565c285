#include "checkpoint_crs.hpp"

#include <cmath>
#include <filesystem>
#include <fstream>

#include "proj_objects.hpp"
#include "text/stop.hpp"

namespace accuracy {

using morva::common::ProjContext;
using morva::common::ProjObject;
using morva::text::stop_run;

namespace {

ProjObject make(const ProjContext& c, const std::string& crs) {
    ProjObject o(proj_create(c.ctx, crs.c_str()));
    if (!o) stop_run("the check points: PROJ does not know the coordinate system '" + crs + "'");
    return o;
}

// The comment lines above the header.
std::vector<std::string> comment_lines(const std::string& csv_path) {
    std::vector<std::string> lines;
    std::ifstream in(csv_path);
    for (std::string line; std::getline(in, line);) {
        const auto start = line.find_first_not_of(" \t");
        if (start == std::string::npos) continue;
        if (line[start] != '#') break;
        lines.push_back(line);
    }
    return lines;
}

}  // namespace

std::string declared_crs(const std::string& csv_path) {
    for (const std::string& line : comment_lines(csv_path)) {
        const auto at = line.find("EPSG:");
        if (at == std::string::npos) continue;
        auto end = at + 5;
        while (end < line.size() && line[end] >= '0' && line[end] <= '9') ++end;
        if (end > at + 5) return line.substr(at, end - at);
    }
    return {};
}

std::string declared_vertical(const std::string& csv_path) {
    static constexpr std::string_view kGeoid = "geoid grid ";
    for (const std::string& line : comment_lines(csv_path)) {
        if (const auto at = line.find(kGeoid); at != std::string::npos) {
            const auto start = at + kGeoid.size();
            const auto end = line.find_first_of(" \t,;)", start);
            const std::string name = line.substr(start, end == std::string::npos ? std::string::npos : end - start);
            if (!name.empty()) return "height above geoid grid " + name;
        }
        if (line.find("ellipsoid") != std::string::npos) return "ellipsoidal height";
    }
    return {};
}

bool same_vertical(const std::string& declared, const std::string& inputs) {
    static constexpr std::string_view kGeoid = "height above geoid grid ";
    const bool geoid_declared = declared.rfind(kGeoid, 0) == 0, geoid_inputs = inputs.rfind(kGeoid, 0) == 0;
    if (geoid_declared && geoid_inputs)  // one grid by its file's name, wherever each names it from
        return std::filesystem::path(declared.substr(kGeoid.size())).filename() ==
               std::filesystem::path(inputs.substr(kGeoid.size())).filename();
    if (!geoid_inputs && inputs != "ellipsoidal height") return true;  // heights as a LAS file stores them: unknown
    return declared == inputs;
}

bool same_crs(const std::string& a, const std::string& b) {
    const ProjContext c;
    const ProjObject pa = make(c, a), pb = make(c, b);
    return proj_is_equivalent_to_with_ctx(c.ctx, pa.get(), pb.get(), PJ_COMP_EQUIVALENT_EXCEPT_AXIS_ORDER_GEOGCRS) != 0;
}

void transform_checkpoints(std::vector<CheckPoint>& points, const std::string& from, const std::string& to) {
    const ProjContext c;
    const ProjObject raw(proj_create_crs_to_crs(c.ctx, from.c_str(), to.c_str(), nullptr));
    const ProjObject normalized(raw ? proj_normalize_for_visualization(c.ctx, raw.get()) : nullptr);
    if (!normalized) stop_run("PROJ finds no transformation from the check points' " + from + " to the inputs' CRS");
    for (CheckPoint& p : points) {
        const PJ_COORD out = proj_trans(normalized.get(), PJ_FWD, proj_coord(p.easting, p.northing, 0, 0));
        if (!std::isfinite(out.xy.x) || !std::isfinite(out.xy.y))
            stop_run("check point " + p.id + " cannot be taken from " + from + " into the inputs' CRS");
        p.easting = out.xy.x;
        p.northing = out.xy.y;
    }
}

}  // namespace accuracy
