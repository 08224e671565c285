#include "checkpoints.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <set>

#include "text/stop.hpp"

namespace accuracy {
namespace {

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
    return s;
}

std::vector<std::string_view> fields_of(std::string_view line) {
    std::vector<std::string_view> fields;
    for (;;) {
        const auto comma = line.find(',');
        fields.push_back(trimmed(line.substr(0, comma)));
        if (comma == std::string_view::npos) return fields;
        line.remove_prefix(comma + 1);
    }
}

[[noreturn]] void refuse(std::string_view source, long line_number, const std::string& why) {
    morva::text::stop_run("*** " + std::string(source) + " line " + std::to_string(line_number) + ": " + why);
}

double number_of(std::string_view field, std::string_view what, std::string_view source, long line_number) {
    double value = 0;
    const auto [end, error] = std::from_chars(field.data(), field.data() + field.size(), value);
    if (field.empty() || error != std::errc() || end != field.data() + field.size() || !std::isfinite(value))
        refuse(source, line_number, "the " + std::string(what) + " '" + std::string(field) + "' is not a number");
    return value;
}

}  // namespace

std::string_view land_cover_name(LandCover cover) { return cover == LandCover::open ? "open" : "vegetated"; }

std::vector<CheckPoint> read_checkpoints(std::istream& in, std::string_view source) {
    static constexpr std::string_view header[] = {"id", "easting", "northing", "height", "land_cover"};
    std::vector<CheckPoint> points;
    std::set<std::string, std::less<>> ids;
    bool header_seen = false;
    long line_number = 0;
    std::string line;
    while (std::getline(in, line)) {
        ++line_number;
        const std::string_view text = trimmed(line);
        if (text.empty() || text.front() == '#') continue;
        const auto fields = fields_of(text);
        if (fields.size() != 5)
            refuse(source, line_number, "expected 5 fields (id,easting,northing,height,land_cover), found " +
                                            std::to_string(fields.size()));
        if (!header_seen) {
            if (!std::ranges::equal(fields, header))
                refuse(source, line_number, "expected the header id,easting,northing,height,land_cover");
            header_seen = true;
            continue;
        }
        CheckPoint point;
        point.id = std::string(fields[0]);
        if (point.id.empty()) refuse(source, line_number, "the id is empty");
        if (!ids.insert(point.id).second) refuse(source, line_number, "the id '" + point.id + "' is repeated");
        point.easting = number_of(fields[1], "easting", source, line_number);
        point.northing = number_of(fields[2], "northing", source, line_number);
        point.height = number_of(fields[3], "height", source, line_number);
        if (fields[4] == "open")
            point.cover = LandCover::open;
        else if (fields[4] == "vegetated")
            point.cover = LandCover::vegetated;
        else
            refuse(source, line_number, "the land cover '" + std::string(fields[4]) + "' is neither open nor vegetated");
        points.push_back(std::move(point));
    }
    if (in.bad()) morva::text::stop_run("*** cannot read " + std::string(source));
    if (points.empty()) morva::text::stop_run("*** " + std::string(source) + " holds no check point");
    return points;
}

}  // namespace accuracy
