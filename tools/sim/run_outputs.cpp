#include "run_outputs.hpp"

#include <cctype>
#include <charconv>
#include <cstdio>

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

bool next_point(PointReader& r, OutPoint& p, std::string& problem) {
    if (r.binary) {
        unsigned char b[18];
        if (!r.in.read(reinterpret_cast<char*>(b), sizeof b)) {
            if (r.in.gcount() != 0) problem = "a partial record at the end of the binary file";
            return false;
        }
        auto i32 = [&](int at) {
            return static_cast<std::int32_t>(std::uint32_t(b[at]) | std::uint32_t(b[at + 1]) << 8 |
                                             std::uint32_t(b[at + 2]) << 16 | std::uint32_t(b[at + 3]) << 24);
        };
        p.thr_count = i32(0);
        p.thr = p.thr_count * 1e-7;
        p.lat = i32(4) * 1e-7;
        p.lon = i32(8) * 1e-7;
        p.h = i32(12) * 1e-3;
        p.ampl = b[16];
        p.ampl_known = true;
        p.index = b[17];
        return true;
    }
    std::string line;
    if (!std::getline(r.in, line)) return false;
    // F9.6 F11.6 F12.6 F8.2 1X I3 I4
    auto thr = text_field(line, 0, 9), lat = text_field(line, 9, 11), lon = text_field(line, 20, 12);
    auto h = text_field(line, 32, 8), ampl = text_field(line, 41, 3), index = text_field(line, 44, 4);
    if (!thr || !lat || !lon || !h || !index || line.size() != 48) {
        problem = "unreadable text record [" + line + "]";
        return true;
    }
    p.thr = *thr, p.lat = *lat, p.lon = *lon, p.h = *h;
    p.ampl_known = ampl.has_value();
    p.ampl = ampl ? static_cast<int>(*ampl) : 0;
    p.index = static_cast<int>(*index);
    return true;
}

std::optional<CentreRecord> centre_record(const std::string& line) {
    auto thr = text_field(line, 1, 11), lat = text_field(line, 12, 11), lon = text_field(line, 23, 12);
    auto h = text_field(line, 35, 8), airh = text_field(line, 47, 8), range = text_field(line, 55, 8);
    if (!thr || !lat || !lon || !h || !airh || !range || line.size() != 63) return std::nullopt;
    return CentreRecord{*thr, *lat, *lon, *h, *airh, *range};
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
