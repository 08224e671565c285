#include "survey_files.hpp"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "scan_chunks.hpp"
#include "scene_truth.hpp"

namespace morva::sim {
namespace {

namespace fs = std::filesystem;

// A value line of the run control with its explanation after the values
// (the reader ignores what follows the last value of a group).
std::string group(const std::string& values, const char* note) {
    std::string line = values;
    if (line.size() < 30)
        line.resize(30, ' ');
    else
        line += "  ";
    return line + note + "\n";
}

const char* flag(bool v) {
    return v ? "T" : "F";
}

std::string trajectory_text(const Survey& s) {
    std::string out;
    out.reserve(s.track.size() * 120);
    for (const inputs::TrajectoryRecord& r : s.track) {
        // Shortest exact texts: the run reads back the very values flown.
        const double values[7] = {r.thr, r.lat, r.lon, r.h, r.pitch, r.roll, r.heading};
        out += join_exact(std::span(values, s.opt.attitude ? 7 : 4), ' ') + '\n';
    }
    return out;
}

std::string geoid_text(const Survey& s) {
    const inputs::GeoidGrid& g = s.geoid;
    const double header[6] = {g.glat1, g.glat2, g.glon1, g.glon2, g.dlat, g.dlon};
    std::string out = join_exact(header, ' ') + '\n';
    // Rows from north to south, ten values to a line.
    for (std::int32_t r = g.nlat; r >= 1; --r) {
        for (std::int32_t c = 1; c <= g.nlon; ++c) {
            out += exact(g.node[std::size_t(r - 1) * g.nlon + c]);
            out += (c % 10 == 0 || c == g.nlon) ? '\n' : ' ';
        }
    }
    return out;
}

std::string run_control_text(const inputs::RunControl& rc) {
    auto list = [](std::initializer_list<double> values) { return join_exact(values, ' '); };
    std::string out;
    for (const std::string* name : {&rc.scanfile, &rc.gpsfile, &rc.geoidfile, &rc.scanptfile, &rc.centfile}) {
        out += inputs::trimmed(*name) + "\n";
    }
    out += group(list({rc.hr0}) + " " + std::to_string(rc.min0) + " " + list({rc.sec0}),
                 "hr0 min0 sec0: file start when the header has no time");
    out += group(list({rc.dtsec}) + " " + flag(rc.use_sync), "dtsec use_sync");
    out += group(list({rc.tstart, rc.tend}), "tstart tend (decimal hours)");
    out += group(list({rc.latmin, rc.latmax, rc.lonmin, rc.lonmax}), "latmin latmax lonmin lonmax");
    out += group(std::to_string(rc.navg) + " " + std::to_string(rc.nthin) + " " + std::to_string(rc.iout_type) + " " +
                     flag(rc.attitude) + " " + flag(rc.use_cal) + " " + std::to_string(rc.icalib) + " " +
                     flag(rc.full_georef),
                 "navg nthin iout_type attitude use_cal icalib full_georef");
    out += group(list({rc.offx, rc.offy, rc.offz}), "offx offy offz (m)");
    out += group(list({rc.dpitch, rc.droll, rc.dheading}), "dpitch droll dheading (degrees)");
    out += group(list({rc.pcoef[0], rc.pcoef[1], rc.pcoef[2], rc.pcoef[3]}), "p1 p2 p3 p4");
    return out;
}

std::string description_text(const SimOptions& opt) {
    return "# morva-sim survey description: the options that wrote this folder.\n"
           "# morva-sim --verify reads it to rebuild the survey and check the run's outputs.\n" +
           describe_options(opt);
}

}  // namespace

bool write_text(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
    return static_cast<bool>(out);
}

std::string write_survey(const Survey& s, const std::string& dir, WriteSummary& summary) {
    const fs::path base = dir;
    std::error_code ec;
    fs::create_directories(base, ec);
    if (!fs::is_directory(base)) return "cannot create the folder " + dir;
    if (!write_text(base / kTrajectoryFile, trajectory_text(s))) return "cannot write " + std::string(kTrajectoryFile);
    if (s.has_geoid && !write_text(base / kGeoidFile, geoid_text(s))) return "cannot write " + std::string(kGeoidFile);
    if (!write_text(base / kRunControlFile, run_control_text(s.rc))) return "cannot write run.in";
    if (!write_text(base / kDescriptionFile, description_text(s.opt)))
        return "cannot write " + std::string(kDescriptionFile);

    const auto started = std::chrono::steady_clock::now();
    ScannerWriter w;
    const std::string scan_path = (base / kScanFile).string();
    if (!open_writer(w, scan_path)) return "cannot create " + scan_path;
    put_long_header(w, s.header);
    const std::int32_t n = s.opt.nmeas;
    // A scene's truth, every point's record in the order of the run's points.
    const bool scene = s.surface.scene.objects != 0;
    const std::string truth_path = (base / kTruthFile).string();
    std::FILE* truth = scene ? std::fopen(truth_path.c_str(), "wb") : nullptr;
    if (scene && truth == nullptr) return "cannot create " + truth_path;
    std::string records;
    bool truth_written = true;
    const std::string error = for_each_chunk(s, s.opt.threads, scene, [&](const Chunk& c) {
        if (truth != nullptr) {
            records.clear();
            append_truth_records(c, records);
            truth_written = truth_written && std::fwrite(records.data(), 1, records.size(), truth) == records.size();
        }
        for (std::int64_t k = 0; k < c.nscans; ++k) {
            put_syncseq(w, s.header.bytes_per_scan);
            const Measurement* m = c.meas.data() + k * n;
            for (std::int32_t i = 0; i < n; ++i) put_measurement(w, m[i]);
            put_trailer(w, c.trailers[static_cast<std::size_t>(k)]);
        }
        summary.evaluations += c.evaluations;
        return true;
    });
    summary.scanner_bytes = bytes_written(w);
    const bool closed = close_writer(w);
    const bool truth_closed = truth == nullptr || std::fclose(truth) == 0;
    if (!error.empty()) return error;
    if (!closed) return "cannot write " + scan_path;
    summary.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    if (!truth_closed || !truth_written) return "cannot write " + truth_path;
    if (scene && s.opt.truth_grid > 0.0) {
        std::string problem;
        const TruthGrids grids = truth_grids(s, s.opt.truth_grid, problem);
        if (!problem.empty()) return problem;
        for (const auto& [name, text] : {std::pair{kGroundGridFile, &grids.ground}, std::pair{kCoverGridFile, &grids.cover}}) {
            const fs::path path = base / name;
            if (!write_text(path, *text) || !write_text(fs::path(path).replace_extension(".prj"), grids.projection))
                return "cannot write " + path.string();
        }
    }
    if (s.opt.checkpoints > 0) {
        std::string problem;
        const std::string text = checkpoints_text(s, problem);
        if (!problem.empty()) return problem;
        if (!write_text(base / kCheckpointFile, text)) return "cannot write " + std::string(kCheckpointFile);
    }
    summary.scans = s.nscans;
    summary.measurements = s.nscans * n;
    return {};
}

std::string read_description(const std::string& dir, SimOptions& opt) {
    const fs::path path = fs::path(dir) / kDescriptionFile;
    std::ifstream in(path);
    if (!in) return "cannot read " + path.string();
    std::vector<std::string> words;
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream fields(line);
        std::string word;
        while (fields >> word) words.push_back(word);
    }
    std::vector<std::string> rest;
    std::string error;
    if (!parse_options(words, opt, rest, error)) return path.string() + ": " + error;
    if (!rest.empty()) return path.string() + ": unexpected " + rest.front();
    return {};
}

}  // namespace morva::sim
