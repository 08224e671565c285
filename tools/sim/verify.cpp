#include "verify.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <vector>

#include "georef/georeference.hpp"
#include "numeric/numeric.hpp"
#include "inputs/run_control.hpp"
#include "run_outputs.hpp"
#include "scan_chunks.hpp"
#include "survey.hpp"
#include "survey_files.hpp"
#include "text/stop.hpp"
#include "text/text_reader.hpp"

namespace morva::sim {
namespace {

namespace fs = std::filesystem;

constexpr double kConsoleCentreHours = 0.0083333f;  // 30 s less 0.12 ms, single precision
constexpr double kResidualLimit = 1e-5;             // metres: the simulator's own miss
constexpr std::int64_t kGiveUp = 1000;              // failures after which the check stops

std::string number(double v, const char* format) {
    char buf[64];
    std::snprintf(buf, sizeof buf, format, v);
    return buf;
}

std::string where(std::int64_t k, std::int32_t i) {
    return "scan " + std::to_string(k + 1) + " measurement " + std::to_string(i + 1);
}

// Failures counted, the first few kept for the report.
struct Failures {
    std::int64_t count = 0;
    std::string text;
    void add(const std::string& what) {
        if (++count <= 12) text += "  " + what + "\n";
    }
};

// What may differ between the run control written and the one processed.
std::string unsupported_change(const inputs::RunControl& a, const inputs::RunControl& b) {
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
        {"iout_type to 3", b.iout_type <= 2},
    };
    for (const Item& item : items) {
        if (!item.same) return std::string(" changes ") + item.name;
    }
    return {};
}

// Everything a verification carries from measurement to measurement.
struct Check {
    const Survey* s;
    const VerifyRequest* request;
    inputs::RunControl rc;  // as processed
    PointReader points;
    CentreReader centres;
    std::vector<ConsoleCentre> console;
    std::size_t console_next = 0;

    // Limits: half a range unit plus 1 mm on heights and 1e-7 degree on
    // positions in binary records; text records add half their last digit.
    double half_unit = 0, height_limit = 0, position_limit = 0, lever = 0;

    Failures fail;
    std::int64_t npoints = 0, ncentres = 0, nregression = 0, scans_without_centre = 0, nscans = 0;
    std::int64_t failed_positions = 0;  // points of the scan-point file away from their footprints
    double worst_height = 0, worst_position = 0, worst_residual = 0, worst_offset = 0;
    georef::Geodesy run_geodesy = georef::Geodesy::Flat;
    double truth_horizontal = 0, truth_vertical = 0;  // metres, the run's points from the true footprints
    double truth_worst = 0, truth_squares = 0;         // their largest 3-D distance, and its sum of squares
    double longest_range = 0;                          // metres
    std::int64_t noise_points = 0;                     // low outliers of a scene
    double alpha_prev = 999.0;  // as the run's centre detection starts
    double tlast_centre = 0.0;  // time of the last console centre line
};

// One measurement as the run should have output it.
struct Expected {
    std::int64_t k;  // scan, 0-based
    std::int32_t i;  // measurement, 0-based
    const TruthPoint* t;
    const Measurement* m;
    double h;         // output height in the run's geodesy
    double lat, lon;  // position in the run's geodesy, degrees
    double truth_h;   // output height of the true footprint
};

// Metres between two nearby positions, with the ellipsoid's radii of
// curvature at the first.
double horizontal_metres(double lat1, double lon1, double lat2, double lon2) {
    using namespace georef::wgs84;
    const double phi = lat1 * georef::detail::kExactDegToRad;
    const double w = std::sqrt(1.0 - kE2 * std::sin(phi) * std::sin(phi));
    const double north = (lat2 - lat1) * georef::detail::kExactDegToRad * kA * (1.0 - kE2) / (w * w * w);
    const double east = (lon2 - lon1) * georef::detail::kExactDegToRad * kA / w * std::cos(phi);
    return std::hypot(north, east);
}

void check_point(Check& c, const Expected& e) {
    OutPoint p;
    std::string problem;
    if (!next_point(c.points, p, problem)) {
        c.fail.add("the scan-point file ends before " + where(e.k, e.i));
        return;
    }
    if (!problem.empty()) {
        c.fail.add(where(e.k, e.i) + ": " + problem);
        return;
    }
    const TruthPoint& t = *e.t;
    const double dh = std::fabs(p.h - e.h);
    const double dpos = std::fmax(std::fabs(p.lat - e.lat), std::fabs(p.lon - e.lon));
    const double off_h = horizontal_metres(t.lat, t.lon, p.lat, p.lon), off_v = std::fabs(p.h - e.truth_h);
    // A low outlier lies off the truth on purpose: checked where its range
    // puts it, but kept out of the distances from the truth.
    if (t.cover == Cover::Noise) {
        ++c.noise_points;
    } else {
        c.truth_horizontal = std::fmax(c.truth_horizontal, off_h);
        c.truth_vertical = std::fmax(c.truth_vertical, off_v);
        c.truth_worst = std::fmax(c.truth_worst, std::hypot(off_h, off_v));
        c.truth_squares += off_h * off_h + off_v * off_v;
    }
    c.longest_range = std::fmax(c.longest_range, t.range);
    c.worst_height = std::fmax(c.worst_height, dh);
    c.worst_position = std::fmax(c.worst_position, dpos);
    if (!(dh <= c.height_limit)) {
        c.fail.add(where(e.k, e.i) + ": height " + number(p.h, "%.4f") + ", surface " + number(e.h, "%.4f"));
    }
    if (!(dpos <= c.position_limit)) {
        ++c.failed_positions;
        c.fail.add(where(e.k, e.i) + ": position " + number(p.lat, "%.7f") + " " + number(p.lon, "%.7f") +
                   ", footprint " + number(e.lat, "%.8f") + " " + number(e.lon, "%.8f"));
    }
    // The time is the run's own, to its last digit.
    const bool time_ok = c.points.binary
                             ? p.thr_count == static_cast<std::int64_t>(numeric::round_half_away(t.thr * 1e7))
                             : std::fabs(p.thr - t.thr) <= 0.5e-6 + 1e-12;
    if (!time_ok)
        c.fail.add(where(e.k, e.i) + ": time " + number(p.thr, "%.7f") + ", expected " + number(t.thr, "%.9f"));
    const int ampl = c.points.binary ? e.m->amplitude : static_cast<std::int8_t>(e.m->amplitude);
    if (p.ampl_known ? p.ampl != ampl : ampl > -100) {
        c.fail.add(where(e.k, e.i) + ": amplitude " + std::to_string(p.ampl) + ", expected " + std::to_string(ampl));
    }
    if (p.index != (c.points.binary ? (e.i + 1) & 0xFF : e.i + 1)) {
        c.fail.add(where(e.k, e.i) + ": index " + std::to_string(p.index));
    }
}

// The centre record, and the centre point on the flight line: no farther
// from the aircraft's nadir than the tilt, the angle step, the lever arm and
// the text's rounding allow.
void check_centre_record(Check& c, const Expected& e, double angle_step) {
    std::string line;
    bool unreadable = false;
    CentreRecord r;
    if (!next_centre(c.centres, r, line, unreadable)) {
        c.fail.add("the centre-point file ends before " + where(e.k, e.i));
        return;
    }
    if (unreadable) {
        c.fail.add(where(e.k, e.i) + ": unreadable centre record [" + line + "]");
        return;
    }
    const TruthPoint& t = *e.t;
    if (std::fabs(r.thr - t.thr) > 0.5e-7 + 1e-12 ||
        std::fmax(std::fabs(r.lat - e.lat), std::fabs(r.lon - e.lon)) > 0.5e-6 + 1e-7 ||
        std::fabs(r.h - e.h) > c.half_unit + 0.006 || std::fabs(r.airh - t.airh) > 0.005 + 1e-9 ||
        std::fabs(r.range - t.range) > 0.005 + 1e-9) {
        c.fail.add(where(e.k, e.i) + ": centre record [" + line + "], expected " + number(t.thr, "%.8f") + " " +
                   number(e.lat, "%.7f") + " " + number(e.lon, "%.7f") + " " + number(e.h, "%.3f") + " " +
                   number(t.airh, "%.3f") + " " + number(t.range, "%.3f"));
    }
    const double per_lon = georef::kMetresPerDegree * std::cos(t.ac_lat * georef::kDegToRad);
    const double offset = std::hypot((r.lat - t.ac_lat) * georef::kMetresPerDegree, (r.lon - t.ac_lon) * per_lon);
    const double lean = std::fmin(georef::kRightAngle, t.tilt * georef::kDegToRad + angle_step);
    const double allowed = t.range * std::sin(lean) + c.lever + 0.5e-6 * (georef::kMetresPerDegree + per_lon) + 0.01;
    c.worst_offset = std::fmax(c.worst_offset, offset);
    if (offset > allowed) {
        c.fail.add(where(e.k, e.i) + ": centre point " + number(offset, "%.3f") + " m off the flight line (allowed " +
                   number(allowed, "%.3f") + ")");
    }
}

// On the console: every centre point of the first scan, then one at most
// every 30 seconds.
void check_console_centre(Check& c, const Expected& e) {
    const TruthPoint& t = *e.t;
    if (!(e.k == 0 || t.thr - c.tlast_centre > kConsoleCentreHours)) return;
    c.tlast_centre = t.thr;
    if (c.console_next >= c.console.size()) {
        c.fail.add(where(e.k, e.i) + ": no console centre line");
        return;
    }
    const ConsoleCentre& l = c.console[c.console_next++];
    if (l.nscan != e.k + 1 || l.scanno != e.k + 1 || std::fabs(l.thr - t.thr) > 0.5e-7 + 1e-12 ||
        std::fmax(std::fabs(l.lat - e.lat), std::fabs(l.lon - e.lon)) > 0.5e-6 + 1e-7 ||
        std::fabs(l.h - e.h) > c.half_unit + 0.006 ||
        l.line.substr(53) != amplitude_and_flags(e.m->amplitude, c.s->gps_flags)) {
        c.fail.add(where(e.k, e.i) + ": console centre line [" + l.line + "]");
    }
}

void check_measurement(Check& c, std::int64_t k, std::int32_t i, const TruthPoint& t, const Measurement& m,
                       bool& centre_in_scan) {
    const Survey& s = *c.s;
    c.worst_residual = std::fmax(c.worst_residual, std::fabs(t.residual));
    if (!(std::fabs(t.residual) <= kResidualLimit)) {
        c.fail.add(where(k, i) + ": the simulator's range misses the surface by " + number(t.residual, "%.3g"));
    }
    const double h =
        c.request->flat ? t.surface : t.surface + s.distortion[i] - georef::height_correction(c.rc.pcoef, s.xscan[i]);
    const Expected e{k, i, &t, &m, h + t.run_dh, t.run_lat, t.run_lon, h};
    ++c.npoints;
    if (std::fabs(h) < 3.0) ++c.nregression;
    if (c.rc.scanpt_wanted) check_point(c, e);

    // The first point past the nadir is a centre point.
    const double alpha = s.alpha[i];
    if (c.alpha_prev < 0.0 && alpha >= 0.0) {
        ++c.ncentres;
        if (centre_in_scan) c.fail.add(where(k, i) + ": a second nadir crossing in one scan");
        centre_in_scan = true;
        if (!c.request->console.empty()) check_console_centre(c, e);
        check_centre_record(c, e, i > 0 ? alpha - s.alpha[i - 1] : 0.0);
    }
    c.alpha_prev = alpha;
}

// The regression must find the flat surface's height as bias, no slope,
// and the distortion left after the run's correction as coefficients.
std::string check_regression(Check& c, const std::string& path) {
    RegressionReport r;
    const std::string error = read_regression(path, r);
    if (!error.empty()) {
        c.fail.add(error);
        return {};
    }
    const SimOptions& o = c.s->opt;
    const int m = c.rc.icalib + 1;
    double expected[4];
    for (int k = 0; k < 4; ++k) {
        expected[k] = o.distortion[k] - c.rc.pcoef[k];
        if (k + 3 > m) {
            if (expected[k] != 0.0) c.fail.add("--regression: icalib too small for the distortion");
            expected[k] = 0.0;
        }
    }
    if (o.surface != SurfaceKind::Flat) c.fail.add("--regression needs a flat surface");
    if (r.warning) c.fail.add("the regression reports singularities");
    if (r.points != c.nregression) {
        c.fail.add("regression used " + std::to_string(r.points) + " points, expected " +
                   std::to_string(c.nregression));
    }
    if (r.params != m) c.fail.add("regression parameters " + std::to_string(r.params));
    // Within the printed digits, plus a little for the range quantisation.
    if (std::fabs(r.bias - o.ground) > 0.0101) {
        c.fail.add("regression bias " + number(r.bias, "%.2f") + ", surface " + number(o.ground, "%.4f"));
    }
    if (std::fabs(r.slope) > 0.0101) c.fail.add("regression slope " + number(r.slope, "%.2f") + ", expected 0");
    std::string summary = "; regression bias " + number(r.bias, "%.2f") + ", coefficients";
    for (int k = 0; k < 4; ++k) {
        summary += " " + number(r.coef[k], "%.4f");
        if (std::fabs(r.coef[k] - expected[k]) > 1.5e-4) {
            c.fail.add("regression coefficient c(" + std::to_string(k + 3) + ") " + number(r.coef[k], "%.4f") +
                       ", distortion " + number(expected[k], "%.5f"));
        }
    }
    return summary;
}

// Opens what the run wrote; an error text when something is missing.
std::string open_outputs(Check& c, const fs::path& dir) {
    if (c.rc.scanpt_wanted) {
        const records::ScanPointForm form = c.rc.iout_type == 2 ? records::ScanPointForm::Binary
                                            : c.rc.navg > 1     ? records::ScanPointForm::TextWithGroupSize
                                                                : records::ScanPointForm::Text;
        const std::string name = inputs::trimmed(c.rc.scanptfile);
        if (!open_points(c.points, (dir / name).string(), form)) return "cannot read " + name;
    }
    const std::string centres = inputs::trimmed(c.rc.centfile);
    if (!open_centres(c.centres, (dir / centres).string())) return "cannot read " + centres;
    if (!c.request->console.empty()) return read_console_centres((dir / c.request->console).string(), c.console);
    return {};
}

std::string degrees_list(const double* v) {
    return number(v[0], "%g") + "," + number(v[1], "%g") + "," + number(v[2], "%g");
}

// Most points away from their footprints: the likeliest cause is a run in
// the other geodesy than the one checked (a survey for --geodesy ellipsoid
// run without it); the geodesies differ by metres across a swath.
std::string geodesy_hint(const Check& c, georef::Geodesy survey, const std::string& dir) {
    if (c.npoints == 0 || 2 * c.failed_positions < c.npoints) return {};
    const georef::Geodesy other =
        c.run_geodesy == georef::Geodesy::Flat ? georef::Geodesy::Ellipsoid : georef::Geodesy::Flat;
    const std::string mode = survey == georef::Geodesy::Flat ? "" : std::string(" --geodesy ") + georef::geodesy_name(survey);
    return "verify: " + std::to_string(c.failed_positions) + " of " + std::to_string(c.npoints) +
           " points checked lie away from their footprints: the likeliest cause is a run in another geodesy than the " +
           georef::geodesy_name(c.run_geodesy) + " one checked. The survey is written for" +
           (mode.empty() ? std::string(" --geodesy flat") : mode) + " (run: cd " + dir + " && morva" + mode +
           " < run.in); a run with --geodesy " + georef::geodesy_name(other) + " is checked by morva-sim --verify --geodesy " +
           georef::geodesy_name(other) + " " + dir + "\n";
}

// How far the run's points lie from the truth, when the run's model or the
// recording departs from it: a geodesy mode or a misalignment other than
// the truth's, noise on the ranges. With noise, and the run's model the
// truth's (or its misalignment within what the noise could hide), the
// points must lie within the noise: none farther than six standard
// deviations (plus the limits of the records), their RMS within 15 % of it.
std::string truth_distance(Check& c) {
    const Survey& s = *c.s;
    const double* stated = &c.rc.dpitch;
    const double* truth = &s.rc_truth.dpitch;
    const bool misaligned = stated[0] != truth[0] || stated[1] != truth[1] || stated[2] != truth[2];
    const bool other_geodesy = c.run_geodesy != s.opt.geodesy;
    const double sigma = s.opt.range_noise;
    if (!c.rc.scanpt_wanted || c.npoints == 0 || (!misaligned && !other_geodesy && sigma == 0.0 && c.noise_points == 0))
        return {};
    std::string causes;
    auto cause = [&](const std::string& what) { causes += (causes.empty() ? "" : ", ") + what; };
    if (other_geodesy) {
        cause(std::string("the run's ") + georef::geodesy_name(c.run_geodesy) + " geodesy against the " +
              georef::geodesy_name(s.opt.geodesy) + " truth");
    }
    if (misaligned) cause("the run's misalignment " + degrees_list(stated) + " against the truth's " + degrees_list(truth));
    if (sigma > 0.0) cause("range noise " + number(sigma, "%g") + " m");
    if (c.noise_points > 0) cause(std::to_string(c.noise_points) + " low outliers (left out of the distances)");
    const double rms = std::sqrt(c.truth_squares / static_cast<double>(std::max<std::int64_t>(1, c.npoints - c.noise_points)));
    std::string out = "verify: " + causes + ": points up to " + number(c.truth_horizontal, "%.3f") +
                      " m off horizontally, " + number(c.truth_vertical, "%.3f") + " m in height, " +
                      number(rms, "%.4f") + " m RMS\n";
    // A run control that states another misalignment than the truth's (an
    // estimate of it) moves the points by at most its angles times the
    // range; within three standard deviations the noise could hide it, so
    // the points are held to the noise, else only reported.
    const double turn = (std::fabs(stated[0] - truth[0]) + std::fabs(stated[1] - truth[1]) +
                         std::fabs(stated[2] - truth[2])) * georef::kDegToRad * c.longest_range;
    if (sigma > 0.0 && !other_geodesy && turn <= 3.0 * sigma) {
        const double limit = 6.0 * sigma + c.height_limit + c.position_limit * georef::kMetresPerDegree;
        if (!(c.truth_worst <= limit)) {
            c.fail.add("a point lies " + number(c.truth_worst, "%.4f") + " m from the truth, beyond the noise (limit " +
                       number(limit, "%.4f") + ")");
        }
        // The range quantisation adds its own spread to the noise's.
        const double unit = s.hdr.range_unit, expected = std::sqrt(sigma * sigma + unit * unit / 12.0);
        if (c.npoints >= 1000 && !(std::fabs(rms - expected) <= 0.15 * expected)) {
            c.fail.add("the points lie " + number(rms, "%.4f") + " m RMS from the truth, expected " +
                       number(expected, "%.4f") + " from the range noise");
        }
    }
    return out;
}

}  // namespace

bool verify_survey(const VerifyRequest& request, std::string& report) {
    const fs::path dir = request.dir;
    SimOptions opt;
    Survey s;
    std::string error = read_description(request.dir, opt);
    if (error.empty() && !build_survey(opt, s, error)) error = "survey: " + error;

    Check c;
    c.s = &s;
    c.request = &request;
    if (error.empty()) {
        // The run control as processed, read by the run's own reader.
        text::TextReader in;
        if (text::open_in(in, (dir / request.run_control).string())) {
            try {
                inputs::read_run_control(in, c.rc);
            } catch (const text::RunStopped& stop) {
                error = stop.line;
            }
            text::close_in(in);
            inputs::derive(c.rc);
            if (error.empty()) {
                error = unsupported_change(s.rc, c.rc);
                if (!error.empty()) error = request.run_control + error;
            }
            if (!error.empty()) {
                error += "; only iout_type (0 to 2), icalib, pcoef, the misalignment and the output names may change";
            }
        } else {
            error = "cannot read " + request.run_control;
        }
    }
    if (error.empty() && request.flat && s.opt.surface != SurfaceKind::Flat) error = "--flat needs a flat surface";
    if (error.empty()) error = open_outputs(c, dir);
    if (!error.empty()) {
        report = "verify: " + error + "\n";
        return false;
    }

    c.half_unit = 0.5 * s.hdr.range_unit;
    c.height_limit = c.half_unit + 0.001 + (c.points.binary ? 0.0 : 0.005);
    c.position_limit = c.points.binary ? 1e-7 : 1e-7 + 0.5e-6;
    c.lever = std::hypot(c.rc.offx, c.rc.offy, c.rc.offz);

    const std::int32_t n = s.opt.nmeas;
    c.run_geodesy = request.geodesy.value_or(s.opt.geodesy);
    error = for_each_chunk(s, request.threads, true, run_view(c.rc, c.run_geodesy), [&](const Chunk& chunk) {
        // Enough said at kGiveUp failures: the check ends at that measurement.
        for (std::int64_t local = 0; local < chunk.nscans && c.fail.count < kGiveUp; ++local) {
            bool centre_in_scan = false;
            const std::size_t row = static_cast<std::size_t>(local) * n;
            for (std::int32_t i = 0; i < n && c.fail.count < kGiveUp; ++i) {
                check_measurement(c, chunk.first_scan + local, i, chunk.truth[row + i], chunk.meas[row + i],
                                  centre_in_scan);
            }
            if (!centre_in_scan && c.fail.count < kGiveUp) ++c.scans_without_centre;
            ++c.nscans;
        }
        return c.fail.count < kGiveUp;
    });
    // Given up: what follows the last scan checked is not looked at.
    const bool stopped = error == "stopped";
    if (!error.empty() && !stopped) c.fail.add("survey: " + error);

    OutPoint p;
    std::string line;
    if (!stopped) {
        if (c.rc.scanpt_wanted && next_point(c.points, p, line)) {
            c.fail.add("the scan-point file holds more points than the survey measured");
        }
        bool unreadable = false;
        CentreRecord extra;
        if (next_centre(c.centres, extra, line, unreadable)) {
            c.fail.add("the centre-point file holds more lines than nadir crossings");
        }
        if (c.console_next < c.console.size()) {
            c.fail.add("the console shows more centre lines than expected: [" + c.console[c.console_next].line + "]");
        }
    }
    if (c.scans_without_centre > 0)
        c.fail.add(std::to_string(c.scans_without_centre) + " scans without a centre point");
    const std::string regression =
        request.regression.empty() || stopped ? "" : check_regression(c, (dir / request.regression).string());

    if (stopped) {
        report = "verify: stopped early after " + std::to_string(c.fail.count) + " failures: checked " +
                 std::to_string(c.nscans) + " of " + std::to_string(s.nscans) + " scans, " +
                 std::to_string(c.npoints) + " of " + std::to_string(s.nscans * n) + " points, " +
                 std::to_string(c.ncentres) + " centre points";
    } else {
        report = "verify: " + std::to_string(c.npoints) + " points, " + std::to_string(c.ncentres) + " centre points";
    }
    if (c.rc.scanpt_wanted) {
        report += "; largest height error " + number(c.worst_height, "%.4f") + " m (limit " +
                  number(c.height_limit, "%.4f") + "), position " + number(c.worst_position, "%.2e") + " deg (limit " +
                  number(c.position_limit, "%.1e") + ")";
    }
    report += "; centre points within " + number(c.worst_offset, "%.2f") + " m of the flight line";
    if (!request.console.empty()) report += ", " + std::to_string(c.console_next) + " on the console";
    report += regression + "; simulator residual " + number(c.worst_residual, "%.1e") + " m\n";
    report += truth_distance(c);
    if (request.model_error) {
        const std::array<double, 4>& w = *request.model_error;
        if (!c.rc.scanpt_wanted) c.fail.add("--model-error needs the scan-point file");
        if (!(c.truth_horizontal >= w[0] && c.truth_horizontal <= w[1])) {
            c.fail.add("horizontal distance from the truth " + number(c.truth_horizontal, "%.3f") +
                       " m, expected " + number(w[0], "%g") + " to " + number(w[1], "%g"));
        }
        if (!(c.truth_vertical >= w[2] && c.truth_vertical <= w[3])) {
            c.fail.add("vertical distance from the truth " + number(c.truth_vertical, "%.3f") + " m, expected " +
                       number(w[2], "%g") + " to " + number(w[3], "%g"));
        }
    }
    if (c.fail.count == 0) {
        report += "verify: OK\n";
        return true;
    }
    report += "verify: " + std::to_string(c.fail.count) + " failures\n" + c.fail.text;
    report += geodesy_hint(c, s.opt.geodesy, request.dir);
    return false;
}

}  // namespace morva::sim
