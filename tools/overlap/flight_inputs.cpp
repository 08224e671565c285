#include "flight_inputs.hpp"

#include "las_reader.hpp"

#include <algorithm>
#include <filesystem>
#include <fstream>

#include <nlohmann/json.hpp>

#include "inputs/file_guard.hpp"
#include "inputs/run_control.hpp"
#include "unreadable.hpp"
#include "text/stop.hpp"
#include "text/text_reader.hpp"

namespace fs = std::filesystem;

namespace morva::overlap {

void fail(const std::string& message) { text::stop_run(message); }

namespace {

// The geodesy mode and morva version the campaign recorded for the flight,
// else what morva's standard error says (the exact mode announces itself).
void run_identity(const fs::path& folder, Flight& f) {
    std::ifstream record(folder / "morva.done.json");
    if (record) {
        const nlohmann::json j = nlohmann::json::parse(record, nullptr, false);
        if (j.is_object() && j.contains("identity") && j["identity"].is_object()) {
            const auto& id = j["identity"];
            if (id.contains("morva") && id["morva"].is_string()) f.morva_version = id["morva"].get<std::string>();
            if (id.contains("morva_args") && id["morva_args"].is_array()) {
                const auto& a = id["morva_args"];
                for (std::size_t i = 0; i + 1 < a.size(); ++i) {
                    if (a[i] == "--geodesy" && a[i + 1].is_string()) f.geodesy = a[i + 1].get<std::string>();
                }
            }
            return;
        }
    }
    std::ifstream err(folder / "morva.err");
    for (std::string line; std::getline(err, line);) {
        if (line.rfind("morva: geodesy ellipsoid", 0) == 0) f.geodesy = "ellipsoid";
    }
}

// The run control a campaign runs in each flight's folder: its settings'
// run_control (a plain file name), else run.in.
std::string campaign_run_control(const fs::path& top) {
    std::ifstream settings(top / "campaign.toml");
    for (std::string line; std::getline(settings, line);) {
        const std::size_t key = line.find_first_not_of(" \t");
        if (key == std::string::npos || line.compare(key, 11, "run_control") != 0) continue;
        const std::size_t eq = line.find('=', key + 11);
        const std::size_t open = line.find('"', eq == std::string::npos ? line.size() : eq);
        const std::size_t close = open == std::string::npos ? open : line.find('"', open + 1);
        if (close == std::string::npos) continue;
        const std::string name = line.substr(open + 1, close - open - 1);
        if (!name.empty() && name.find('/') == std::string::npos) return name;
    }
    return "run.in";
}

// The run control the campaign recorded for the flight's last run, when it
// lies beside the one found (a calibrated copy, run.boresight.in): its
// misalignment is the one the points were computed with.
std::string recorded_run_control(const fs::path& folder) {
    std::ifstream record(folder / "morva.done.json");
    if (!record) return {};
    const nlohmann::json j = nlohmann::json::parse(record, nullptr, false);
    if (!j.is_object() || !j.contains("run_control") || !j["run_control"].is_object()) return {};
    const auto& rc = j["run_control"];
    if (!rc.contains("name") || !rc["name"].is_string()) return {};
    const std::string name = rc["name"].get<std::string>();
    if (name.empty() || name.find('/') != std::string::npos) return {};
    std::error_code ec;
    return fs::is_regular_file(folder / name, ec) ? (folder / name).string() : std::string();
}

// A file's content as a 64-bit FNV-1a digest in hex: two geoid grids of one
// name are told apart by what they hold.
std::string content_digest(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::uint64_t h = 0xcbf29ce484222325ull;
    std::vector<char> buffer(1 << 16);
    while (in) {
        in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
        for (std::streamsize i = 0; i < in.gcount(); ++i) {
            h ^= static_cast<unsigned char>(buffer[static_cast<std::size_t>(i)]);
            h *= 0x100000001b3ull;
        }
    }
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(h));
    return text;
}

Flight open_flight(const std::string& name, const std::string& path, const std::string& input_crs) {
    std::error_code ec;
    if (!fs::is_regular_file(path, ec)) fail("flight " + name + ": " + common::unreadable(path));
    Flight f;
    f.name = name;
    f.input = path;
    f.source = common::open_source(path, input_crs);
    f.source.name = name;
    f.geodesy = georef::geodesy_name(f.source.geodesy.value_or(georef::Geodesy::Flat));
    if (f.source.kind == common::SourceKind::ScanPoints) {
        const fs::path folder = fs::path(path).parent_path().empty() ? fs::path(".") : fs::path(path).parent_path();
        const std::string used = recorded_run_control(folder);
        inputs::RunControl rc;
        text::TextReader in;
        if (text::open_in(in, used.empty() ? path : used)) {
            inputs::read_run_control(in, rc);
            f.misalignment = {rc.dpitch, rc.droll, rc.dheading};
        }
        if (!used.empty()) f.source.roles.push_back({used, "the run control the campaign ran"});
        run_identity(folder, f);
        for (const auto& file : f.source.roles) {
            if (file.role == "the run control's geoid grid") f.geoid_digest = content_digest(file.name);
        }
    }
    return f;
}

// The point source IDs of a LAS file's points that the filter keeps, in order.
std::vector<int> source_ids(const common::PointSource& s, common::PointFilter filter) {
    std::vector<bool> seen(65536, false);
    common::LasReader reader(s.points_file);
    std::vector<common::LasPoint> points;
    filter.source_id = -1;
    while (reader.read(points)) {
        for (const common::LasPoint& p : points)
            if (filter.keeps(p)) seen[p.source_id] = true;
    }
    std::vector<int> ids;
    for (int id = 0; id < 65536; ++id)
        if (seen[static_cast<std::size_t>(id)]) ids.push_back(id);
    return ids;
}

// One flight per point source ID of each LAS flight.
std::vector<Flight> split_by_source_id(const std::vector<Flight>& flights) {
    std::vector<Flight> split;
    for (const Flight& f : flights) {
        if (f.source.kind != common::SourceKind::Las) {
            split.push_back(f);
            continue;
        }
        for (int id : source_ids(f.source, f.source.filter)) {
            Flight one = f;
            one.name = f.name + "#" + std::to_string(id);
            one.source.name = one.name;
            one.source.filter.source_id = id;
            split.push_back(std::move(one));
        }
    }
    return split;
}

}  // namespace

std::vector<inputs::RunFile> files_of(const std::vector<Flight>& flights) {
    std::vector<inputs::RunFile> files;
    for (const auto& f : flights) {
        files.push_back({f.input, "the input of flight " + f.name + ","});
        for (const auto& r : f.source.roles) files.push_back({r.name, r.role + " of flight " + f.name + ","});
    }
    return files;
}

std::vector<Flight> find_flights(const std::vector<std::string>& arguments, const std::string& input_crs,
                                 const common::PointFilter& filter, bool by_source_id) {
    std::vector<Flight> flights;
    std::error_code ec;
    if (arguments.size() == 1 && fs::is_directory(arguments[0], ec)) {
        const fs::path top(arguments[0]);
        const std::string run_control = campaign_run_control(top);
        std::vector<std::string> found;
        for (auto it = fs::recursive_directory_iterator(top, fs::directory_options::skip_permission_denied, ec);
             it != fs::recursive_directory_iterator(); it.increment(ec)) {
            if (ec) break;
            if (it->is_directory() && it->path().filename().string().rfind('.', 0) == 0) {
                it.disable_recursion_pending();
                continue;
            }
            if (it->path().filename() == run_control && it.depth() > 0) {
                found.push_back(fs::relative(it->path().parent_path(), top).generic_string());
            }
        }
        std::sort(found.begin(), found.end());
        for (const auto& rel : found) flights.push_back(open_flight(rel, (top / rel / run_control).string(), input_crs));
        if (flights.empty()) fail("no flight in " + arguments[0] + ": no folder below it holds a " + run_control);
    } else {
        for (const auto& a : arguments) flights.push_back(open_flight(a, a, input_crs));
    }
    for (Flight& f : flights) f.source.filter = filter;
    if (by_source_id) flights = split_by_source_id(flights);
    for (std::size_t i = 0; i < flights.size(); ++i) {
        for (std::size_t k = 0; k < i; ++k) {
            const bool same = (inputs::same_file(flights[i].input, flights[k].input) ||
                               inputs::same_file(flights[i].source.points_file, flights[k].source.points_file)) &&
                              flights[i].source.filter.source_id == flights[k].source.filter.source_id;
            if (same) {
                fail("flights " + flights[k].name + " and " + flights[i].name +
                     " are one flight (the same points): it would be compared with itself");
            }
        }
    }
    if (flights.size() < 2) fail("one flight only (" + flights[0].name + "): there is nothing to compare it with");
    return flights;
}

}  // namespace morva::overlap
