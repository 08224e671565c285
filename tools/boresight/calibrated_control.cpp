#include "calibrated_control.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "inputs/output_guard.hpp"
#include "staged_text.hpp"
#include "text/free_input.hpp"
#include "text/stop.hpp"
#include "text/text_reader.hpp"
#include "campaign_records.hpp"

namespace morva::boresight {
namespace {

[[noreturn]] void fail(const std::string& name, const std::string& problem) { text::stop_run(name + ": " + problem); }

std::string file_text(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    if (!in && !in.eof()) fail(path, "cannot read the run control");
    return s.str();
}

// Lines [first, last) (1-based) of the run control that hold the
// misalignment group, found by the core's free-format reader: the five
// names, the six groups before it, then the group itself.
std::pair<std::int64_t, std::int64_t> misalignment_lines(const std::string& path) {
    using text::item;
    text::TextReader in;
    if (!text::open_in(in, path)) fail(path, "cannot read the run control");
    char name[40];
    for (int k = 0; k < 5; ++k) text::read_line_field(in, name, sizeof name);
    double d[4];
    std::int32_t n[4];
    bool b[4];
    text::read_free(in, {item(d[0]), item(n[0]), item(d[1])});
    text::read_free(in, {item(d[0]), item(b[0])});
    text::read_free(in, {item(d[0]), item(d[1])});
    text::read_free(in, {item(d[0]), item(d[1]), item(d[2]), item(d[3])});
    text::read_free(in, {item(n[0]), item(n[1]), item(n[2]), item(b[0]), item(b[1]), item(n[3]), item(b[2])});
    text::read_free(in, {item(d[0]), item(d[1]), item(d[2])});
    const std::int64_t first = in.line;
    text::read_free(in, {item(d[0]), item(d[1]), item(d[2])});
    return {first, in.line};
}

// What follows the first three values on a line: its note.
std::string note_after_values(const std::string& line) {
    std::size_t k = 0;
    for (int v = 0; v < 3; ++v) {
        while (k < line.size() && (line[k] == ' ' || line[k] == '\t' || line[k] == ',')) ++k;
        while (k < line.size() && line[k] != ' ' && line[k] != '\t' && line[k] != ',') ++k;
    }
    while (k < line.size() && (line[k] == ' ' || line[k] == '\t')) ++k;
    if (k >= line.size() || line[k] == '\r') return {};
    std::string note = line.substr(k);
    if (!note.empty() && note.back() == '\r') note.pop_back();
    return note;
}

}  // namespace

std::string calibrated_name(const std::string& run_control) {
    const std::size_t slash = run_control.rfind('/');
    const std::string base = slash == std::string::npos ? run_control : run_control.substr(slash + 1);
    if (base.size() > 3 && base.compare(base.size() - 3, 3, ".in") == 0) {
        return run_control.substr(0, run_control.size() - 3) + ".boresight.in";
    }
    return run_control + ".boresight";
}

std::string calibrated_refusal(const Flight& f) {
    const std::string out = calibrated_name(f.name);
    std::error_code unreadable;
    if (std::filesystem::exists(std::filesystem::symlink_status(out, unreadable))) return out + " exists already";
    return inputs::output_refusal(out, common::run_files(f.rc, f.name, f.folder));
}

std::string calibrated_text(const Flight& f, const std::array<double, 3>& angles) {
    const std::string original = file_text(f.name);
    const auto [first, last] = misalignment_lines(f.name);
    std::string out;
    std::int64_t line = 1;
    std::size_t pos = 0;
    while (pos < original.size()) {
        std::size_t end = original.find('\n', pos);
        const bool ended = end != std::string::npos;
        if (!ended) end = original.size();
        const std::string text = original.substr(pos, end - pos);
        if (line == first) {
            char values[96];
            std::snprintf(values, sizeof values, "%.6f %.6f %.6f", angles[0], angles[1], angles[2]);
            std::string replaced = values;
            const std::string note = note_after_values(text);
            if (!note.empty()) {
                replaced.resize(std::max<std::size_t>(replaced.size() + 2, 30), ' ');
                replaced += note;
            }
            out += replaced + "\n";
        } else if (line < first || line >= last) {
            out += text + (ended ? "\n" : "");
        }
        pos = end + 1;
        ++line;
    }
    return out;
}

void stage_calibrated(common::StagedFiles& staged, const Flight& f, const std::string& copy,
                      const std::array<double, 3>& angles) {
    // Read back: the angles as written, everything else as it was.
    const std::string temp = stage_text(staged, calibrated_name(f.name), copy);
    inputs::RunControl back;
    std::string problem;
    {
        text::TextReader in;
        if (!text::open_in(in, temp)) problem = "cannot be read back";
        try {
            if (problem.empty()) inputs::read_run_control(in, back);
        } catch (const text::RunStopped& stop) {
            problem = text::stop_line(stop);
        }
    }
    inputs::derive(back);
    const inputs::RunControl& a = f.rc;
    const bool same = problem.empty() && a.scanfile == back.scanfile && a.gpsfile == back.gpsfile &&
                      a.geoidfile == back.geoidfile && a.scanptfile == back.scanptfile && a.centfile == back.centfile &&
                      a.tstart == back.tstart && a.tend == back.tend && a.offx == back.offx && a.offy == back.offy &&
                      a.offz == back.offz && a.pcoef[0] == back.pcoef[0] && a.pcoef[3] == back.pcoef[3] &&
                      a.navg == back.navg && a.iout_type == back.iout_type && a.full_georef == back.full_georef &&
                      std::fabs(back.dpitch - angles[0]) < 1e-6 && std::fabs(back.droll - angles[1]) < 1e-6 &&
                      std::fabs(back.dheading - angles[2]) < 1e-6;
    if (!same) fail(f.name, "its calibrated copy does not read back as it should" + (problem.empty() ? "" : ": " + problem));
}

}  // namespace morva::boresight
