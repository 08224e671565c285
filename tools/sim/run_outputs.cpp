#include "run_outputs.hpp"

#include <cctype>
#include <charconv>
#include <cstdio>
#include <fstream>

namespace morva::sim {

std::optional<double> text_field(const std::string& line, std::size_t from, std::size_t width) {
    if (line.size() < from + width) return std::nullopt;
    std::string_view f(line.data() + from, width);
    while (!f.empty() && f.front() == ' ') f.remove_prefix(1);
    double v;
    auto [end, ec] = std::from_chars(f.data(), f.data() + f.size(), v);
    if (f.empty() || ec != std::errc() || end != f.data() + f.size()) return std::nullopt;
    return v;
}

bool open_points(PointReader& r, const std::string& path, records::ScanPointForm form) {
    r.binary = form == records::ScanPointForm::Binary;
    return records::open_scan_points(r.file, path, form);
}

bool next_point(PointReader& r, OutPoint& p, std::string& problem) {
    records::RecordBlocks& b = r.file.blocks;
    records::ScanPointRecord q;
    if (r.ended) return false;
    if (records::read_scan_points(r.file, &q, 1) == 0) {
        if (b.problem == records::ReadProblem::PartialRecord) problem = "a partial record at the end of the binary file";
        if (b.problem != records::ReadProblem::Malformed) return false;
        problem = "unreadable text record [" + b.problem_text + "]";
        r.ended = !records::skip_malformed(b);
        return true;
    }
    // Binary fields are compared as stored, the overflow marker included.
    if (!q.is_point && !r.binary) {
        problem = "unreadable text record [" + std::string(records::record_text(b, 0)) + "]";
        return true;
    }
    p.thr_count = q.thr_e7;
    p.thr = static_cast<double>(q.thr_e7) / 1e7;
    p.lat = static_cast<double>(q.lat_e7) / 1e7;
    p.lon = static_cast<double>(q.lon_e7) / 1e7;
    p.h = q.h_mm / 1e3;
    p.ampl = r.binary ? q.ampl : static_cast<std::int8_t>(q.ampl);
    p.ampl_known = q.ampl_known;
    p.index = q.index;
    return true;
}

bool open_centres(CentreReader& r, const std::string& path) { return records::open_centres(r.file, path); }

bool next_centre(CentreReader& r, CentreRecord& c, std::string& line, bool& problem) {
    records::RecordBlocks& b = r.file.blocks;
    records::CentreRecord q;
    problem = false;
    if (r.ended) return false;
    if (records::read_centres(r.file, &q, 1) == 0) {
        if (b.problem != records::ReadProblem::Malformed) return false;
        line = b.problem_text;
        problem = true;
        r.ended = !records::skip_malformed(b);
        return true;
    }
    line = records::record_text(b, 0);
    problem = !q.is_point;
    c = {static_cast<double>(q.thr_e7) / 1e7,  static_cast<double>(q.lat_e6) / 1e6,
         static_cast<double>(q.lon_e6) / 1e6,  static_cast<double>(q.h_cm) / 1e2,
         static_cast<double>(q.airh_cm) / 1e2, static_cast<double>(q.range_cm) / 1e2};
    return true;
}

std::string read_console_centres(const std::string& path, std::vector<ConsoleCentre>& lines) {
    std::ifstream in(path);
    if (!in) return "cannot read " + path;
    std::string line;
    while (std::getline(in, line)) {
        if (line.size() != 65 || line[0] != ' ') continue;
        auto nscan = text_field(line, 1, 6), scanno = text_field(line, 7, 6), thr = text_field(line, 13, 11);
        auto lat = text_field(line, 24, 10), lon = text_field(line, 34, 11), h = text_field(line, 45, 8);
        if (!nscan || !scanno || !thr || !lat || !lon || !h) continue;
        lines.push_back({line, *nscan, *scanno, *thr, *lat, *lon, *h});
    }
    return {};
}

std::string amplitude_and_flags(std::uint8_t amplitude, std::uint8_t flags) {
    const int v = static_cast<std::int8_t>(amplitude);
    char text[16];
    if (v <= -100)
        std::snprintf(text, sizeof text, " *** ");
    else
        std::snprintf(text, sizeof text, " %3d ", v);
    std::string out = text;
    for (int bit = 6; bit >= 0; --bit) out += static_cast<char>('0' + (flags >> bit & 1));
    return out;
}

std::string read_regression(const std::string& path, RegressionReport& r) {
    std::ifstream in(path);
    if (!in) return "cannot read " + path;
    std::string line;
    bool have_bias = false, have_coef = false;
    while (std::getline(in, line)) {
        if (line.find("no of points used in regression:") != std::string::npos) {
            // Free format: the two whole numbers of the line, in order.
            std::vector<std::int64_t> numbers;
            for (std::size_t at = 0; at < line.size();) {
                if (!std::isdigit(static_cast<unsigned char>(line[at]))) {
                    ++at;
                    continue;
                }
                std::int64_t v = 0;
                auto [end, ec] = std::from_chars(line.data() + at, line.data() + line.size(), v);
                numbers.push_back(v);
                at = static_cast<std::size_t>(end - line.data());
            }
            if (numbers.size() == 2) {
                r.points = numbers[0];
                r.params = static_cast<int>(numbers[1]);
            }
        } else if (line.rfind(" *** warning: detrending", 0) == 0) {
            r.warning = true;
        } else if (line.rfind(" bias:", 0) == 0) {
            // " bias:" F7.2 " m, slope (roll0):" F6.2 " degrees"
            auto bias = text_field(line, 6, 7), slope = text_field(line, 31, 6);
            if (!bias || !slope) return "unreadable regression line [" + line + "]";
            r.bias = *bias, r.slope = *slope;
            have_bias = true;
        } else if (line.rfind(" polynomial coefficients :", 0) == 0) {
            for (int k = 0; k < 4; ++k) {
                auto c = text_field(line, 26 + 9 * k, 9);
                if (!c) return "unreadable regression line [" + line + "]";
                r.coef[k] = *c;
            }
            have_coef = true;
        }
    }
    if (r.points < 0 || !have_bias || !have_coef) return "no regression report in " + path;
    return {};
}

}  // namespace morva::sim
