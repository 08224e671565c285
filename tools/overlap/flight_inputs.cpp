#include "flight_inputs.hpp"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>

#include <nlohmann/json.hpp>

#include "inputs/run_control.hpp"
#include "las_export.hpp"
#include "scanner/byte_reader.hpp"
#include "text/stop.hpp"
#include "text/text_reader.hpp"

namespace fs = std::filesystem;

namespace morva::overlap {

void fail(const std::string& message) { text::stop_run("morva-overlap: " + message); }

namespace {

constexpr std::size_t kChunk = 65536;

// A name of the run control, as morva opens it from the run control's folder.
std::string beside(const fs::path& folder, const std::string& name) {
    const fs::path p(inputs::trimmed(name));
    return p.is_absolute() ? p.string() : (folder / p).lexically_normal().string();
}

// The geodesy mode and morva version the campaign recorded for the flight,
// else what morva's standard error says (the exact mode announces itself).
void run_identity(const fs::path& folder, Flight& f) {
    f.geodesy = "flat";
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
                for (const auto& v : a) {
                    if (v.is_string() && v.get<std::string>().rfind("--geodesy=", 0) == 0) f.geodesy = v.get<std::string>().substr(10);
                }
            }
            return;
        }
    }
    std::ifstream err(folder / "morva.err");
    std::string line;
    while (std::getline(err, line)) {
        if (line.rfind("morva: geodesy ellipsoid", 0) == 0) f.geodesy = "ellipsoid";
    }
}

Flight read_flight(const std::string& name, const fs::path& run_control) {
    Flight f;
    f.name = name;
    f.run_control = run_control.string();
    std::error_code ec;
    if (!fs::is_regular_file(run_control, ec)) fail("flight " + name + ": " + las::unreadable(f.run_control));
    inputs::RunControl rc;
    try {
        text::TextReader in;
        if (!text::open_in(in, f.run_control)) fail("flight " + name + ": " + las::unreadable(f.run_control));
        inputs::read_run_control(in, rc);
        inputs::derive(rc);
    } catch (const text::RunStopped& stop) {
        fail("flight " + name + ": the run control " + f.run_control + " is refused: " + stop.line);
    }
    if (!rc.scanpt_wanted) fail("flight " + name + ": its run control names no scan-point file (0)");
    if (!rc.full_georef || rc.iout_type > 3) {
        fail("flight " + name + ": its scan points hold no positions (simplified computation or iout_type " +
             std::to_string(rc.iout_type) + ")");
    }
    const fs::path folder = run_control.parent_path().empty() ? fs::path(".") : run_control.parent_path();
    f.scan_points = beside(folder, rc.scanptfile);
    f.binary = rc.binary_output;
    f.with_group_size = !rc.binary_output && rc.navg > 1;
    f.vertical = rc.geoid_wanted ? "geoid grid " + fs::path(inputs::trimmed(rc.geoidfile)).filename().string()
                                 : "ellipsoid";
    f.misalignment = {rc.dpitch, rc.droll, rc.dheading};
    if (!fs::is_regular_file(f.scan_points, ec)) {
        fail("flight " + name + ": its scan-point file " + f.scan_points + " is missing (" +
             las::unreadable(f.scan_points) + "): has the flight been processed?");
    }
    run_identity(folder, f);
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
        for (const auto& rel : found) flights.push_back(read_flight(rel, top / rel / "run.in"));
        if (flights.empty()) fail("no flight in " + arguments[0] + " (no folder below it holds a run.in)");
    } else {
        for (const auto& a : arguments) flights.push_back(read_flight(a, fs::path(a)));
    }
    if (flights.size() < 2) fail("one flight only (" + flights[0].name + "): there is nothing to compare it with");
    return flights;
}

void read_points(const Flight& f, const std::function<void(const las::ScanPoint*, std::size_t)>& chunk) {
    std::vector<las::ScanPoint> points(kChunk);
    std::size_t held_points = 0;
    auto flush = [&] {
        if (held_points > 0) chunk(points.data(), held_points);
        held_points = 0;
    };
    if (f.binary) {
        scanner::ByteReader in;
        if (!scanner::open_bytes(in, f.scan_points)) fail("cannot read " + f.scan_points + ": " + las::unreadable(f.scan_points));
        for (;;) {
            const std::size_t held = scanner::ensure(in, las::kBinaryRecord);
            if (held < las::kBinaryRecord) {
                if (held > 0) fail(f.scan_points + ": size is not a multiple of 18 bytes");
                break;
            }
            const unsigned char* r = in.buffer.get() + in.begin;
            const std::size_t whole = held / las::kBinaryRecord;
            for (std::size_t i = 0; i < whole; ++i, r += las::kBinaryRecord) {
                if (las::decode_binary(r, points[held_points]) == las::Decoded::Point && ++held_points == kChunk) flush();
            }
            in.begin += whole * las::kBinaryRecord;
        }
    } else {
        text::TextReader in;
        if (!text::open_in(in, f.scan_points)) fail("cannot read " + f.scan_points + ": " + las::unreadable(f.scan_points));
        char line[65];
        std::int64_t number = 0;
        while (text::read_line_field(in, line, 64)) {
            ++number;
            std::size_t length = 64;
            while (length > 0 && line[length - 1] == ' ') --length;
            const las::Decoded d = las::decode_text(line, std::max(length, las::text_record_length(f.with_group_size)),
                                                    f.with_group_size, points[held_points]);
            if (d == las::Decoded::Point) {
                if (++held_points == kChunk) flush();
            } else if (d != las::Decoded::NotAPoint) {
                fail(f.scan_points + ", line " + std::to_string(number) + ": not a scan-point record of the run's form");
            }
        }
    }
    flush();
}

GeoBounds geographic_bounds(const Flight& f) {
    GeoBounds b;
    read_points(f, [&](const las::ScanPoint* p, std::size_t n) {
        for (std::size_t i = 0; i < n; ++i) {
            b.lon_min = std::min(b.lon_min, p[i].lon_e7);
            b.lon_max = std::max(b.lon_max, p[i].lon_e7);
            b.lat_min = std::min(b.lat_min, p[i].lat_e7);
            b.lat_max = std::max(b.lat_max, p[i].lat_e7);
        }
        b.points += n;
    });
    return b;
}

}  // namespace morva::overlap
