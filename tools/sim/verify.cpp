#include "verify.hpp"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <vector>

#include "georef/georeference.hpp"
#include "numeric/numeric.hpp"
#include "run/run_control.hpp"
#include "scan_chunks.hpp"
#include "survey.hpp"
#include "survey_files.hpp"
#include "text/text_reader.hpp"

namespace morva::sim {
namespace {

namespace fs = std::filesystem;

std::string number(double v, const char* format = "%.3g") {
    char buf[64];
    std::snprintf(buf, sizeof buf, format, v);
    return buf;
}

// Failures counted, the first few kept for the report.
struct Failures {
    std::int64_t count = 0;
    std::string text;
    void add(const std::string& what) {
        if (++count <= 12) text += "  " + what + "\n";
    }
};

// A fixed-width field of a text record; nothing for blanks or asterisks.
std::optional<double> field(const std::string& line, std::size_t from, std::size_t width) {
    if (line.size() < from + width) return std::nullopt;
    std::string_view f(line.data() + from, width);
    while (!f.empty() && f.front() == ' ') f.remove_prefix(1);
    double v;
    auto [end, ec] = std::from_chars(f.data(), f.data() + f.size(), v);
    if (f.empty() || ec != std::errc() || end != f.data() + f.size()) return std::nullopt;
    return v;
}

// One output point as the run wrote it.
struct OutPoint {
    double thr = 0, lat = 0, lon = 0, h = 0;
    std::int64_t thr_count = 0;   // binary only
    int ampl = 0;                 // 0-255 in binary, signed in text
    bool ampl_known = true;       // false for a text field of asterisks
    int index = 0;                // low 8 bits in binary
};

struct PointReader {
    bool binary = false;
    std::ifstream in;
    std::int64_t record = 0;

    // False at the end of the file; `problem` set for a record it cannot read.
    bool next(OutPoint& p, std::string& problem) {
        ++record;
        if (binary) {
            unsigned char b[18];
            if (!in.read(reinterpret_cast<char*>(b), sizeof b)) {
                if (in.gcount() != 0) problem = "a partial record at the end of the binary file";
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
        if (!std::getline(in, line)) return false;
        // F9.6 F11.6 F12.6 F8.2 1X I3 I4
        auto thr = field(line, 0, 9), lat = field(line, 9, 11), lon = field(line, 20, 12), h = field(line, 32, 8);
        auto ampl = field(line, 41, 3), index = field(line, 44, 4);
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
};

// What may differ between the run control written and the one processed.
std::string unsupported_change(const run::RunControl& a, const run::RunControl& b) {
    struct Item {
        const char* name;
        bool same;
    };
    const Item items[] = {
        {"the scanner file", a.scanfile == b.scanfile},
        {"the trajectory file", a.gpsfile == b.gpsfile},
        {"the geoid file", a.geoidfile == b.geoidfile},
        {"hr0 min0 sec0", a.hr0 == b.hr0 && a.min0 == b.min0 && a.sec0 == b.sec0},
        {"dtsec", a.dtsec == b.dtsec},
        {"use_sync", a.use_sync == b.use_sync},
        {"tstart tend", a.tstart == b.tstart && a.tend == b.tend},
        {"the area", a.latmin == b.latmin && a.latmax == b.latmax && a.lonmin == b.lonmin && a.lonmax == b.lonmax},
        {"navg", a.navg == b.navg || (a.navg <= 1 && b.navg <= 1)},
        {"nthin", a.nthin == b.nthin || (a.nthin <= 1 && b.nthin <= 1)},
        {"attitude", a.attitude == b.attitude},
        {"use_cal", a.use_cal == b.use_cal},
        {"full_georef", a.full_georef == b.full_georef},
        {"the lever arm", a.offx == b.offx && a.offy == b.offy && a.offz == b.offz},
        {"the misalignment", a.dpitch == b.dpitch && a.droll == b.droll && a.dheading == b.dheading},
        {"iout_type 3", b.iout_type <= 2},
    };
    for (const Item& item : items) {
        if (!item.same) return std::string("run.in changes ") + item.name;
    }
    return {};
}

// The regression lines of a console report.
struct RegressionReport {
    std::int64_t points = -1;
    int params = -1;
    double bias = 0, slope = 0, coef[4] = {0, 0, 0, 0};
    bool warning = false;
};

std::string read_regression(const std::string& path, RegressionReport& r) {
    std::ifstream in(path);
    if (!in) return "cannot read " + path;
    std::string line;
    bool have_bias = false, have_coef = false;
    while (std::getline(in, line)) {
        if (line.find("no of points used in regression:") != std::string::npos) {
            // Free format: the two numbers of the line, in order.
            std::vector<double> numbers;
            for (std::size_t at = 0; at < line.size();) {
                if (std::isdigit(static_cast<unsigned char>(line[at]))) {
                    std::size_t end = line.find_first_not_of("0123456789", at);
                    numbers.push_back(std::stod(line.substr(at, end - at)));
                    at = end == std::string::npos ? line.size() : end;
                } else {
                    ++at;
                }
            }
            if (numbers.size() == 2) {
                r.points = static_cast<std::int64_t>(numbers[0]);
                r.params = static_cast<int>(numbers[1]);
            }
        } else if (line.rfind(" *** warning: detrending", 0) == 0) {
            r.warning = true;
        } else if (line.rfind(" bias:", 0) == 0) {
            // " bias:" F7.2 " m, slope (roll0):" F6.2 " degrees"
            auto bias = field(line, 6, 7), slope = field(line, 31, 6);
            if (!bias || !slope) return "unreadable regression line [" + line + "]";
            r.bias = *bias, r.slope = *slope;
            have_bias = true;
        } else if (line.rfind(" polynomial coefficients :", 0) == 0) {
            for (int k = 0; k < 4; ++k) {
                auto c = field(line, 26 + 9 * k, 9);
                if (!c) return "unreadable regression line [" + line + "]";
                r.coef[k] = *c;
            }
            have_coef = true;
        }
    }
    if (r.points < 0 || !have_bias || !have_coef) return "no regression report in " + path;
    return {};
}

// The centre lines of a console report: " " 2I6 F11.7 F10.6 F11.6 F8.2 1X I3 1X B7.7.
struct ConsoleCentre {
    std::string line;
    double nscan, scanno, thr, lat, lon, h;
};

// The end of a console centre line: 1X I3 1X B7.7, the amplitude as the
// signed value of its byte.
std::string amplitude_and_flags(std::uint8_t amplitude, std::uint8_t flags) {
    const int v = static_cast<std::int8_t>(amplitude);
    char text[16];
    if (v <= -100) std::snprintf(text, sizeof text, " *** ");
    else std::snprintf(text, sizeof text, " %3d ", v);
    std::string out = text;
    for (int bit = 6; bit >= 0; --bit) out += static_cast<char>('0' + (flags >> bit & 1));
    return out;
}

std::string read_console_centres(const std::string& path, std::vector<ConsoleCentre>& lines) {
    std::ifstream in(path);
    if (!in) return "cannot read " + path;
    std::string line;
    while (std::getline(in, line)) {
        if (line.size() != 65 || line[0] != ' ') continue;
        auto nscan = field(line, 1, 6), scanno = field(line, 7, 6), thr = field(line, 13, 11);
        auto lat = field(line, 24, 10), lon = field(line, 34, 11), h = field(line, 45, 8);
        if (!nscan || !scanno || !thr || !lat || !lon || !h) continue;
        lines.push_back({line, *nscan, *scanno, *thr, *lat, *lon, *h});
    }
    return {};
}

}  // namespace

bool verify_survey(const VerifyRequest& request, std::string& report) {
    report.clear();
    const fs::path dir = request.dir;
    SimOptions opt;
    std::string error = read_description(request.dir, opt);
    Survey s;
    if (error.empty() && !build_survey(opt, s, error)) error = "survey: " + error;
    if (!error.empty()) {
        report = "verify: " + error + "\n";
        return false;
    }

    // The run control as processed, read by the run's own reader.
    run::RunControl rc;
    {
        text::TextReader in;
        if (!text::open_in(in, (dir / kRunControlFile).string())) {
            report = "verify: cannot read run.in\n";
            return false;
        }
        run::read_run_control(in, rc);
        text::close_in(in);
        run::derive(rc);
    }
    error = unsupported_change(s.rc, rc);
    if (!error.empty()) {
        report = "verify: " + error + "; only iout_type (0 to 2), icalib, pcoef and the output names may change\n";
        return false;
    }
    if (request.flat && s.opt.surface != SurfaceKind::Flat) {
        report = "verify: --flat needs a flat surface\n";
        return false;
    }

    PointReader points;
    if (rc.scanpt_wanted) {
        points.binary = rc.iout_type == 2;
        points.in.open(dir / run::trimmed(rc.scanptfile), std::ios::binary);
        if (!points.in) {
            report = "verify: cannot read " + run::trimmed(rc.scanptfile) + "\n";
            return false;
        }
    }
    std::ifstream centres(dir / run::trimmed(rc.centfile));
    if (!centres) {
        report = "verify: cannot read " + run::trimmed(rc.centfile) + "\n";
        return false;
    }

    // Limits: half a range unit plus 1 mm on heights and 1e-7 degree on
    // positions in binary records; text records add half their last digit.
    const double half_unit = 0.5 * s.hdr.range_unit;
    const double height_limit = half_unit + 0.001 + (points.binary ? 0.0 : 0.005);
    const double position_limit = points.binary ? 1e-7 : 1e-7 + 0.5e-6;
    const double time_limit = 0.5e-6 + 1e-12;
    const double lever = std::hypot(rc.offx, rc.offy, rc.offz);

    Failures fail;
    std::vector<ConsoleCentre> console_centres;
    if (!request.console.empty()) {
        error = read_console_centres((dir / request.console).string(), console_centres);
        if (!error.empty()) fail.add(error);
    }
    std::size_t console_next = 0;
    double tlast_centre = 0.0;
    constexpr double kConsoleCentreHours = 0.0083333f;  // 30 s less 0.12 ms, single precision

    std::int64_t npoints = 0, ncentres = 0, nregression = 0;
    double worst_height = 0, worst_position = 0, worst_residual = 0, worst_offset = 0;
    double alpha_prev = 999.0;
    std::int64_t scans_without_centre = 0;
    const std::int32_t n = s.opt.nmeas;

    error = for_each_chunk(s, request.threads, true, [&](const Chunk& c) {
        for (std::int64_t local = 0; local < c.nscans; ++local) {
            const std::int64_t k = c.first_scan + local;
            bool centre_in_scan = false;
            for (std::int32_t i = 0; i < n; ++i) {
                const TruthPoint& t = c.truth[static_cast<std::size_t>(local) * n + i];
                const Measurement& m = c.meas[static_cast<std::size_t>(local) * n + i];
                const std::string where = "scan " + std::to_string(k + 1) + " measurement " + std::to_string(i + 1);
                worst_residual = std::fmax(worst_residual, std::fabs(t.residual));
                if (std::fabs(t.residual) > 1e-5) fail.add(where + ": the simulator's range misses the surface by " + number(t.residual));

                const double xscan = s.xscan[i];
                const double expected_h = request.flat ? t.surface
                                                       : t.surface + s.distortion[i] - georef::height_correction(rc.pcoef, xscan);
                if (std::fabs(expected_h) < 3.0) ++nregression;
                ++npoints;
                if (rc.scanpt_wanted) {
                    OutPoint p;
                    std::string problem;
                    if (!points.next(p, problem)) {
                        fail.add("the scan-point file ends before " + where);
                        return false;
                    }
                    if (!problem.empty()) {
                        fail.add(where + ": " + problem);
                    } else {
                        const double dh = p.h - expected_h;
                        const double dpos = std::fmax(std::fabs(p.lat - t.lat), std::fabs(p.lon - t.lon));
                        worst_height = std::fmax(worst_height, std::fabs(dh));
                        worst_position = std::fmax(worst_position, dpos);
                        if (!(std::fabs(dh) <= height_limit)) {
                            fail.add(where + ": height " + number(p.h, "%.4f") + ", surface " + number(expected_h, "%.4f"));
                        }
                        if (!(dpos <= position_limit)) {
                            fail.add(where + ": position " + number(p.lat, "%.7f") + " " + number(p.lon, "%.7f") +
                                     ", footprint " + number(t.lat, "%.8f") + " " + number(t.lon, "%.8f"));
                        }
                        const bool time_ok = points.binary
                                                 ? p.thr_count == static_cast<std::int64_t>(numeric::round_half_away(t.thr * 1e7))
                                                 : std::fabs(p.thr - t.thr) <= time_limit;
                        if (!time_ok) fail.add(where + ": time " + number(p.thr, "%.7f") + ", expected " + number(t.thr, "%.9f"));
                        const int ampl = points.binary ? m.amplitude : static_cast<std::int8_t>(m.amplitude);
                        const bool ampl_ok = p.ampl_known ? p.ampl == ampl : ampl <= -100;
                        if (!ampl_ok) fail.add(where + ": amplitude " + std::to_string(p.ampl) + ", expected " + std::to_string(ampl));
                        const int index = points.binary ? (i + 1) & 0xFF : i + 1;
                        if (p.index != index) fail.add(where + ": index " + std::to_string(p.index));
                    }
                }

                // The first point past the nadir is a centre point.
                const double alpha = s.alpha[i];
                if (alpha_prev < 0.0 && alpha >= 0.0) {
                    ++ncentres;
                    if (centre_in_scan) fail.add(where + ": a second nadir crossing in one scan");
                    centre_in_scan = true;
                    // On the console: every centre point of the first scan,
                    // then one at most every 30 seconds.
                    if (!request.console.empty() && (k == 0 || t.thr - tlast_centre > kConsoleCentreHours)) {
                        tlast_centre = t.thr;
                        if (console_next >= console_centres.size()) {
                            fail.add(where + ": no console centre line");
                        } else {
                            const ConsoleCentre& l = console_centres[console_next++];
                            if (l.nscan != k + 1 || l.scanno != k + 1 || std::fabs(l.thr - t.thr) > 0.5e-7 + 1e-12 ||
                                std::fmax(std::fabs(l.lat - t.lat), std::fabs(l.lon - t.lon)) > 0.5e-6 + 1e-7 ||
                                std::fabs(l.h - expected_h) > half_unit + 0.006 || l.line.substr(53) != amplitude_and_flags(m.amplitude, s.gps_flags)) {
                                fail.add(where + ": console centre line [" + l.line + "]");
                            }
                        }
                    }
                    std::string line;
                    if (!std::getline(centres, line)) {
                        fail.add("the centre-point file ends before " + where);
                        return false;
                    }
                    // " " F11.7 F11.6 F12.6 F8.2 1X I3 2F8.2
                    auto thr = field(line, 1, 11), lat = field(line, 12, 11), lon = field(line, 23, 12);
                    auto h = field(line, 35, 8), airh = field(line, 47, 8), range = field(line, 55, 8);
                    if (!thr || !lat || !lon || !h || !airh || !range || line.size() != 63) {
                        fail.add(where + ": unreadable centre record [" + line + "]");
                    } else {
                        const double pos_limit = 0.5e-6 + 1e-7;
                        if (std::fabs(*thr - t.thr) > 0.5e-7 + 1e-12 ||
                            std::fmax(std::fabs(*lat - t.lat), std::fabs(*lon - t.lon)) > pos_limit ||
                            std::fabs(*h - expected_h) > half_unit + 0.006 || std::fabs(*airh - t.airh) > 0.005 + 1e-9 ||
                            std::fabs(*range - t.range) > 0.005 + 1e-9) {
                            fail.add(where + ": centre record [" + line + "], footprint " + number(t.thr, "%.8f") + " " +
                                     number(t.lat, "%.7f") + " " + number(t.lon, "%.7f") + " " + number(expected_h, "%.3f") +
                                     " " + number(t.airh, "%.3f") + " " + number(t.range, "%.3f"));
                        }
                        // On the flight line: no farther from the aircraft's
                        // nadir than the tilt, the angle step, the lever arm
                        // and the text's rounding allow.
                        const double per_lon = georef::kMetresPerDegree * std::cos(t.ac_lat * georef::kDegToRad);
                        const double offset = std::hypot((*lat - t.ac_lat) * georef::kMetresPerDegree, (*lon - t.ac_lon) * per_lon);
                        const double step = i > 0 ? alpha - s.alpha[i - 1] : 0.0;
                        const double lean = std::fmin(georef::kRightAngle, t.tilt * georef::kDegToRad + step);
                        const double allowed = t.range * std::sin(lean) + lever + 0.5e-6 * (georef::kMetresPerDegree + per_lon) + 0.01;
                        worst_offset = std::fmax(worst_offset, offset);
                        if (offset > allowed) {
                            fail.add(where + ": centre point " + number(offset, "%.3f") + " m off the flight line (allowed " +
                                     number(allowed, "%.3f") + ")");
                        }
                    }
                }
                alpha_prev = alpha;
            }
            if (!centre_in_scan) ++scans_without_centre;
        }
        return true;
    });
    if (!error.empty() && error != "stopped") fail.add("survey: " + error);

    if (rc.scanpt_wanted) {
        OutPoint p;
        std::string problem;
        if (points.next(p, problem)) fail.add("the scan-point file holds more points than the survey measured");
    }
    {
        std::string line;
        if (std::getline(centres, line)) fail.add("the centre-point file holds more lines than nadir crossings");
    }
    if (console_next < console_centres.size()) {
        fail.add("the console shows more centre lines than expected: [" + console_centres[console_next].line + "]");
    }
    if (scans_without_centre > 0) fail.add(std::to_string(scans_without_centre) + " scans without a centre point");

    std::string regression_line;
    if (!request.regression.empty()) {
        RegressionReport r;
        error = read_regression((dir / request.regression).string(), r);
        if (!error.empty()) {
            fail.add(error);
        } else {
            // Expected: the flat surface as bias, no slope, and the
            // distortion left after the run's correction as coefficients.
            const int m = rc.icalib + 1;
            double expected[4];
            for (int k = 0; k < 4; ++k) expected[k] = s.opt.distortion[k] - rc.pcoef[k];
            for (int k = 0; k < 4; ++k) {
                if (k + 3 > m && expected[k] != 0.0) fail.add("--regression: icalib too small for the distortion");
                if (k + 3 > m) expected[k] = 0.0;
            }
            if (s.opt.surface != SurfaceKind::Flat) fail.add("--regression needs a flat surface");
            if (r.warning) fail.add("the regression reports singularities");
            if (r.points != nregression) {
                fail.add("regression used " + std::to_string(r.points) + " points, expected " + std::to_string(nregression));
            }
            if (r.params != m) fail.add("regression parameters " + std::to_string(r.params));
            if (std::fabs(r.bias - s.opt.ground) > 0.0101) {
                fail.add("regression bias " + number(r.bias, "%.2f") + ", surface " + number(s.opt.ground, "%.4f"));
            }
            if (std::fabs(r.slope) > 0.0101) fail.add("regression slope " + number(r.slope, "%.2f") + ", expected 0");
            regression_line = "; regression bias " + number(r.bias, "%.2f") + ", coefficients";
            for (int k = 0; k < 4; ++k) {
                regression_line += " " + number(r.coef[k], "%.4f");
                if (std::fabs(r.coef[k] - expected[k]) > 1.5e-4) {
                    fail.add("regression coefficient c(" + std::to_string(k + 3) + ") " + number(r.coef[k], "%.4f") +
                             ", distortion " + number(expected[k], "%.5f"));
                }
            }
        }
    }

    report = "verify: " + std::to_string(npoints) + " points, " + std::to_string(ncentres) + " centre points";
    if (rc.scanpt_wanted) {
        report += "; largest height error " + number(worst_height, "%.4f") + " m (limit " + number(height_limit, "%.4f") +
                  "), position " + number(worst_position, "%.2e") + " deg (limit " + number(position_limit, "%.1e") + ")";
    }
    report += "; centre points within " + number(worst_offset, "%.2f") + " m of the flight line";
    if (!request.console.empty()) report += ", " + std::to_string(console_next) + " on the console";
    report += regression_line;
    report += "; simulator residual " + number(worst_residual, "%.1e") + " m\n";
    if (fail.count == 0) {
        report += "verify: OK\n";
        return true;
    }
    report += "verify: " + std::to_string(fail.count) + " failures\n" + fail.text;
    return false;
}

}  // namespace morva::sim
