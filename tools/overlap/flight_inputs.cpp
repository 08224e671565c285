#include "flight_inputs.hpp"

#include <algorithm>
#include <filesystem>
#include <fstream>

#include <nlohmann/json.hpp>

#include "inputs/run_control.hpp"
#include "las_export.hpp"
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

Flight open_flight(const std::string& name, const std::string& path) {
    std::error_code ec;
    if (!fs::is_regular_file(path, ec)) fail("flight " + name + ": " + las::unreadable(path));
    Flight f;
    f.name = name;
    f.input = path;
    f.source = grid::open_source(path);
    f.source.name = name;
    f.geodesy = f.source.geodesy.empty() ? "flat" : f.source.geodesy;
    if (f.source.kind == grid::SourceKind::ScanPoints) {
        inputs::RunControl rc;
        text::TextReader in;
        if (text::open_in(in, path)) {
            inputs::read_run_control(in, rc);
            f.misalignment = {rc.dpitch, rc.droll, rc.dheading};
        }
        const fs::path folder = fs::path(path).parent_path().empty() ? fs::path(".") : fs::path(path).parent_path();
        run_identity(folder, f);
    }
    return f;
}

}  // namespace

std::vector<Flight> find_flights(const std::vector<std::string>& arguments) {
    std::vector<Flight> flights;
    std::error_code ec;
    if (arguments.size() == 1 && fs::is_directory(arguments[0], ec)) {
        const fs::path top(arguments[0]);
        std::vector<std::string> found;
        for (auto it = fs::recursive_directory_iterator(top, fs::directory_options::skip_permission_denied, ec);
             it != fs::recursive_directory_iterator(); it.increment(ec)) {
            if (ec) break;
            if (it->is_directory() && it->path().filename().string().rfind('.', 0) == 0) {
                it.disable_recursion_pending();
                continue;
            }
            if (it->path().filename() == "run.in" && it.depth() > 0) {
                found.push_back(fs::relative(it->path().parent_path(), top).generic_string());
            }
        }
        std::sort(found.begin(), found.end());
        for (const auto& rel : found) flights.push_back(open_flight(rel, (top / rel / "run.in").string()));
        if (flights.empty()) fail("no flight in " + arguments[0] + ": no folder below it holds a run.in");
    } else {
        for (const auto& a : arguments) flights.push_back(open_flight(a, a));
    }
    if (flights.size() < 2) fail("one flight only (" + flights[0].name + "): there is nothing to compare it with");
    return flights;
}

}  // namespace morva::overlap
