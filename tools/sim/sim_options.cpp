#include "sim_options.hpp"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <algorithm>
#include <array>
#include <functional>

#include "scene_objects.hpp"
#include "text/command_line.hpp"

namespace morva::sim {
namespace {

bool parse_real(std::string_view s, double& v) {
    if (!s.empty() && s[0] == '+') s.remove_prefix(1);
    auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    return ec == std::errc() && end == s.data() + s.size() && !s.empty() && std::isfinite(v);
}

// A float straight from the text (no leading '+'), which must also read as a finite double.
bool parse_single(std::string_view s, float& v) {
    double check;
    auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    return parse_real(s, check) && ec == std::errc() && end == s.data() + s.size();
}

template <typename Int>
bool parse_int(std::string_view s, Int& v) {
    if (!s.empty() && s[0] == '+') s.remove_prefix(1);
    auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    return ec == std::errc() && end == s.data() + s.size() && !s.empty();
}

std::vector<std::string_view> split(std::string_view s, char sep) {
    std::vector<std::string_view> parts;
    for (;;) {
        std::size_t at = s.find(sep);
        parts.push_back(s.substr(0, at));
        if (at == std::string_view::npos) return parts;
        s.remove_prefix(at + 1);
    }
}

// One survey option bound to its member of SimOptions: `read` reads a value
// once into what it sets (empty: refused), `text` writes the member back in
// the form `read` takes.
struct Row {
    const char* name;
    const char* arg;  // how the value is written in the help
    const char* help;
    std::function<SurveySetting(std::string_view)> read;
    std::function<std::string(const SimOptions&)> text;
    std::string refused;    // after "'VALUE' ": "is not a number", "is not one of a, b"
    bool described = true;  // part of the survey description
};

Row form_row(const char* name, const char* arg, const char* help) {
    return {name, arg, help, {}, {}, std::string("is not of the form ") + arg};
}

// A number read by `parse` into `member`, written back by `text`.
template <class T, class Parse, class Text>
Row number(const char* name, const char* arg, const char* help, T SimOptions::*member, Parse parse, Text text) {
    Row r{name, arg, help, {}, {}, "is not a number"};
    r.read = [member, parse](std::string_view s) -> SurveySetting {
        T v;
        if (!parse(s, v)) return {};
        return [member, v](SimOptions& o) { o.*member = v; };
    };
    r.text = [member, text](const SimOptions& o) { return text(o.*member); };
    return r;
}

template <class T>
Row whole(const char* name, const char* arg, const char* help, T SimOptions::*member) {
    return number(name, arg, help, member, parse_int<T>, [](T v) { return std::to_string(v); });
}

Row real(const char* name, const char* arg, const char* help, double SimOptions::*member) {
    return number(name, arg, help, member, parse_real, exact<double>);
}

// Single precision, straight from the text, as the scanner header holds it.
Row single(const char* name, const char* arg, const char* help, float SimOptions::*member) {
    return number(name, arg, help, member, parse_single, exact<float>);
}

// A list "a,b,c": fewer values keep the rest; one that may be left unset
// (its word, e.g. "same", held as NaN) is given whole.
template <std::size_t N>
Row reals(const char* name, const char* arg, const char* help, double (SimOptions::*member)[N],
          const char* unset = nullptr) {
    Row r = form_row(name, arg, help);
    r.read = [member, unset](std::string_view s) -> SurveySetting {
        std::array<double, N> v;
        v.fill(kUnset);
        std::size_t given = N;
        if (unset == nullptr || s != unset) {
            const auto parts = split(s, ',');
            given = parts.size();
            if (given > N || given < (unset != nullptr ? N : 1)) return {};
            for (std::size_t k = 0; k < given; ++k) {
                if (!parse_real(parts[k], v[k])) return {};
            }
        }
        return [member, v, given](SimOptions& o) { std::copy_n(v.begin(), given, o.*member); };
    };
    r.text = [member, unset](const SimOptions& o) {
        if (unset != nullptr && std::isnan((o.*member)[0])) return std::string(unset);
        return join_exact(o.*member, ',');
    };
    return r;
}

// One of `names`, by value: an enum in their order, or off/on for a bool.
template <class T>
Row choice(const char* name, const char* arg, const char* help, T SimOptions::*member,
           std::vector<const char*> names) {
    std::string list;
    for (const char* n : names) list += std::string(list.empty() ? "" : ", ") + n;
    Row r{name, arg, help, {}, {}, "is not one of " + list};
    r.read = [member, names](std::string_view s) -> SurveySetting {
        for (std::size_t k = 0; k < names.size(); ++k) {
            if (s == names[k]) return [member, k](SimOptions& o) { o.*member = static_cast<T>(k); };
        }
        return {};
    };
    r.text = [member, names](const SimOptions& o) { return std::string(names[static_cast<std::size_t>(o.*member)]); };
    return r;
}

Row time_of_day(const char* name, const char* arg, const char* help, std::int32_t (SimOptions::*member)[3]) {
    Row r = form_row(name, arg, help);
    r.read = [member](std::string_view s) -> SurveySetting {
        const auto parts = split(s, ':');
        if (parts.size() != 3) return {};
        std::array<std::int32_t, 3> hms;
        for (int k = 0; k < 3; ++k) {
            if (!parse_int(parts[k], hms[k])) return {};
        }
        if (!(hms[0] >= 0 && hms[0] <= 23 && hms[1] >= 0 && hms[1] <= 59 && hms[2] >= 0 && hms[2] <= 59)) return {};
        return [member, hms](SimOptions& o) { std::copy_n(hms.begin(), 3, o.*member); };
    };
    r.text = [member](const SimOptions& o) {
        char buf[32];
        std::snprintf(buf, sizeof buf, "%02d:%02d:%02d", (o.*member)[0], (o.*member)[1], (o.*member)[2]);
        return std::string(buf);
    };
    return r;
}

// "B[,A[,T]]": bias, amplitude and period; fewer keep the rest.
Row motion(const char* name, const char* arg, const char* help, Motion SimOptions::*member) {
    Row r = form_row(name, arg, help);
    r.read = [member](std::string_view s) -> SurveySetting {
        const auto parts = split(s, ',');
        if (parts.size() > 3) return {};
        std::array<double, 3> v{};
        for (std::size_t k = 0; k < parts.size(); ++k) {
            if (!parse_real(parts[k], v[k])) return {};
        }
        return [member, v, given = parts.size()](SimOptions& o) {
            double* fields[3] = {&(o.*member).bias, &(o.*member).amplitude, &(o.*member).period};
            for (std::size_t k = 0; k < given; ++k) *fields[k] = v[k];
        };
    };
    r.text = [member](const SimOptions& o) {
        const double v[3] = {(o.*member).bias, (o.*member).amplitude, (o.*member).period};
        return join_exact(v, ',');
    };
    return r;
}

// "a,b" of `names` (null-terminated), or none: a bit for each name given.
Row set_of(const char* name, const char* arg, const char* help, unsigned SimOptions::*member,
           const char* const* names) {
    std::string list = "none";
    for (int k = 0; names[k] != nullptr; ++k) list += std::string(", ") + names[k];
    Row r{name, arg, help, {}, {}, "is not a list of " + list};
    r.read = [member, names](std::string_view s) -> SurveySetting {
        unsigned bits = 0;
        if (s != "none") {
            for (std::string_view part : split(s, ',')) {
                int k = 0;
                while (names[k] != nullptr && part != names[k]) ++k;
                if (names[k] == nullptr) return {};
                bits |= 1u << k;
            }
        }
        return [member, bits](SimOptions& o) { o.*member = bits; };
    };
    r.text = [member, names](const SimOptions& o) {
        std::string given;
        for (int k = 0; names[k] != nullptr; ++k) {
            if (o.*member & (1u << k)) given += std::string(given.empty() ? "" : ",") + names[k];
        }
        return given.empty() ? std::string("none") : given;
    };
    return r;
}

const std::vector<const char*> kSwitch = {"off", "on"};

Row undescribed(Row r) {
    r.described = false;
    return r;
}

// The table, in the order of the help and of the survey description.
const std::vector<Row>& rows() {
    static const std::vector<Row> table = {
        whole("--seed", "N", "seed of the amplitudes, wave phases and geoid undulation", &SimOptions::seed),
        // Flight.
        real("--lat", "DEG", "start latitude", &SimOptions::lat),
        real("--lon", "DEG", "start longitude", &SimOptions::lon),
        real("--heading", "DEG", "track, clockwise from north; any value (the trajectory keeps headings in (-180, 180])",
         &SimOptions::heading),
        real("--speed", "M/S", "ground speed along the track", &SimOptions::speed),
        real("--height", "M", "flying height above the ground at the start (on roofs: the ground between the blocks)",
         &SimOptions::height),
        real("--climb", "M/S", "rate of climb", &SimOptions::climb),
        real("--duration", "S", "seconds of scanning", &SimOptions::duration),
        time_of_day("--start", "HH:MM:SS", "time of day of the file epoch", &SimOptions::start),
        real("--first-scan", "S", "seconds from the file epoch to the first scan", &SimOptions::first_scan),
        real("--traj-rate", "HZ", "trajectory records per second", &SimOptions::traj_rate),
        choice("--attitude", "on|off",
         "trajectory with pitch, roll and heading; off writes positions only (the run then flies with heading 0)",
         &SimOptions::attitude, kSwitch),
        motion("--pitch", "B[,A[,T]]", "pitch: bias, amplitude (degrees) and period (s) of a smooth oscillation",
         &SimOptions::pitch),
        motion("--roll", "B[,A[,T]]", "roll, likewise (a bias alone is a steady bank)", &SimOptions::roll),
        motion("--yaw", "B[,A[,T]]", "heading relative to the track (crab), likewise", &SimOptions::yaw),
        reals("--lever", "X,Y,Z", "scanner lever arm: forward, right, down (m); written to the run control",
         &SimOptions::lever),
        reals("--misalign", "P,R,H", "scanner misalignment in pitch, roll, heading (degrees); written to the run control",
         &SimOptions::misalign),
        reals("--misalign-truth", "P,R,H|same",
         "the misalignment the recording is made with, when it is not the one the run control states: the run's "
         "points then lie off the surface by the difference (--verify reports how far)",
         &SimOptions::misalign_truth, "same"),
        // Scanner.
        whole("--nmeas", "N", "measurements per scan (2 to 1000)", &SimOptions::nmeas),
        real("--scan-rate", "HZ", "scans per second", &SimOptions::scan_rate),
        real("--fov", "DEG", "full field of view across the track, centred on the nadir", &SimOptions::fov),
        single("--range-unit", "M", "metres per range count", &SimOptions::range_unit),
        single("--angle-unit", "GON", "gon per angle-encoder count", &SimOptions::angle_unit),
        single("--timer-unit", "S", "seconds per timer count (a whole number of counts per second)",
         &SimOptions::timer_unit),
        whole("--polar-id", "N", "angle-encoder sectors per turn (1 to 7): one scan per sector", &SimOptions::polar_id),
        choice("--time-source", "gps|rtc|none",
         "time source of the header; none leaves the epoch to the run control's start time",
         &SimOptions::time_source, {"gps", "rtc", "none"}),
        choice("--clock", "synced|free",
         "synced: trailer seconds plus fraction of the second; free: a free-running 24-bit timer counting from "
         "the epoch (seconds 0; the run is told not to use the sync). The reader follows one wrap of the free "
         "timer, and only when the first scan lies less than 77216 counts before it (e.g. --first-scan 16.74 "
         "at 1 us); other recordings that would wrap are refused", &SimOptions::clock, {"synced", "free"}),
        whole("--scan-number", "N", "raw scan number of the first scan (the 16-bit number wraps)",
         &SimOptions::scan_number),
        choice("--calibration", "on|off", "write non-trivial calibration values into the header",
         &SimOptions::calibration, kSwitch),
        choice("--use-cal", "on|off",
         "process through the header's calibration (the ranges are then found through it, and the run writes "
         "its calibration records to test.out)", &SimOptions::use_cal, kSwitch),
        real("--dtsec", "S", "seconds the run adds to every scanner time (the scanner clock is behind by this)",
         &SimOptions::dtsec),
        real("--range-noise", "M",
         "standard deviation of seeded Gaussian noise added to every range (the truth stays on the surface)",
         &SimOptions::range_noise),
        // Surface.
        choice("--surface", "flat|tilt|waves|roofs",
         "shape of the surface: level, a plane (--tilt), waves (--waves), or gable-roofed blocks on the plane of "
         "--tilt (--roofs)", &SimOptions::surface, {"flat", "tilt", "waves", "roofs"}),
        reals("--surface-origin", "LAT,LON|start",
         "where the surface is laid out from: its height there is --ground, its slopes, waves, roofs and the geoid's "
         "undulation are fixed to it. Flights over one surface give the same origin (and seed), whatever their "
         "start and heading; start: the flight's start position", &SimOptions::surface_origin, "start"),
        real("--ground", "M", "surface height at the surface origin (above the geoid when one is written)",
         &SimOptions::ground),
        reals("--tilt", "N,E", "slopes of a tilted surface towards north and east (m/m)", &SimOptions::tilt),
        reals("--waves", "A,L", "amplitude and wavelength (m) of a wave surface", &SimOptions::waves),
        real("--roofs", "S",
         "cell size of a roof surface (20 to 500 m): three cells in four hold a block 0.35 to 0.6 cells long and 0.25 "
         "to 0.4 wide, turned to any orientation, walls 3 to 8 m, a gable roof of 15 to 45 degrees along its length",
         &SimOptions::roofs),
        reals("--distortion", "P1,P2,P3,P4",
         "across-scan height distortion added to every measured height, in the form of the run's height correction",
         &SimOptions::distortion),
        // The scene.
        set_of("--objects", "LIST|none",
               "objects on a flat, tilt or waves ground, a comma list of trees (stands of 6 to 16 crowns 4 to 10 m "
               "across, 8 to 25 m high), buildings (flat and gable roofs, steep walls), bridge (one deck 5 to 8 m above "
               "the ground within 100 m of the origin), lowveg (patches up to 1 m high) and outliers (returns from 3 to "
               "20 m below the ground); fixed on the ground like the surface. The survey then writes truth.bin, what "
               "every point hit",
               &SimOptions::objects, kObjectNames),
        reals("--scene-cover", "T,B,L", "shares of the 40 m cells holding trees, a building, low vegetation",
              &SimOptions::scene_cover),
        real("--openness", "F", "share of the beams that pass through the tree crowns to what is below",
             &SimOptions::openness),
        real("--outliers", "F", "share of the beams returned from below the ground (with --objects outliers)",
             &SimOptions::outliers),
        real("--truth-grid", "M",
             "with --objects: spacing of ground.asc and cover.asc, the bare ground's height and the class on top over "
             "the swath in its UTM zone (0: none)",
             &SimOptions::truth_grid),
        whole("--checkpoints", "N",
              "write N check points, checkpoints.csv: true ground heights with surveying noise at open and vegetated "
              "places of the swath",
              &SimOptions::checkpoints),
        real("--checkpoint-noise", "M", "standard deviation of the check points' surveying noise",
             &SimOptions::checkpoint_noise),
        // Geoid.
        choice("--geoid", "on|off", "write a geoid grid and process with it", &SimOptions::geoid, kSwitch),
        real("--geoid-height", "M", "geoid height near the surface origin (the grid slopes and undulates gently)",
         &SimOptions::geoid_height),
        real("--geoid-spacing", "DEG", "grid spacing in latitude and longitude", &SimOptions::geoid_spacing),
        // The run.
        choice("--geodesy", "flat|ellipsoid",
         "the georeferencing the truth follows and the run is to use (morva --geodesy): flat, the system's "
         "flat earth, or ellipsoid, exact positions on WGS 84", &SimOptions::geodesy, {"flat", "ellipsoid"}),
        choice("--output", "text|binary", "form of the scan-point file", &SimOptions::binary, {"text", "binary"}),
        whole("--icalib", "N", "surface regression parameters minus 1 (0: none)", &SimOptions::icalib),
        reals("--pcoef", "P1,P2,P3,P4", "height-correction coefficients of the run control", &SimOptions::pcoef),
        undescribed(whole("--threads", "N",
                          "threads computing the ranges (0: one per processor); the survey does not depend on it",
                          &SimOptions::threads)),
    };
    return table;
}

// A number option that must lie in [lo, hi]: the shared out-of-range message.
std::string out_of_range(const char* name, double value, double lo, double hi) {
    if (value >= lo && value <= hi) return {};
    return std::string("option ") + name + ": " + text::number_text(value) + " is out of range (" +
           text::number_text(lo) + " to " + text::number_text(hi) + ")";
}

const Row* find_row(std::string_view name) {
    for (const Row& r : rows()) {
        if (name == r.name) return &r;
    }
    return nullptr;
}

// What a value of the row sets; empty with `error` set when it is refused.
SurveySetting read_value(const Row& row, std::string_view value, std::string& error) {
    SurveySetting set = row.read(value);
    if (!set) error = "'" + std::string(value) + "' " + row.refused;
    return set;
}

}  // namespace

std::string join_exact(std::span<const double> values, char sep) {
    std::string s;
    for (double v : values) {
        if (!s.empty()) s += sep;
        s += exact(v);
    }
    return s;
}

SimOptions sample_options() {
    return {.seed = 7,
            .lat = 52.25,
            .lon = 4.5,
            .heading = 35.0,
            .speed = 60.0,
            .height = 250.0,
            .climb = 1.5,
            .duration = 4.0,
            .start = {10, 30, 0},
            .first_scan = 0.25,
            .traj_rate = 10.0,
            .pitch = {1.0, 0.5, 11},
            .roll = {0.0, 3.0, 7},
            .yaw = {0.0, 1.0, 13},
            .lever = {0.25, -0.1, 0.8},
            .nmeas = 200,
            .scan_rate = 50.0,
            .fov = 60.0,
            .range_unit = 0.002f,
            .calibration = true,
            .surface = SurfaceKind::Waves,
            .ground = 1.0,
            .waves = {0.4, 60.0},
            .geoid = true,
            .geoid_height = 43.0,
            .geoid_spacing = 0.01,
            .binary = false,
            .icalib = 3};
}

bool parse_options(const std::vector<std::string>& args, SimOptions& opt, std::vector<std::string>& rest,
                   std::string& error) {
    for (std::size_t k = 0; k < args.size(); ++k) {
        const std::string& word = args[k];
        const Row* found = find_row(word);
        if (found == nullptr) {
            if (word.rfind("--", 0) == 0) {
                error = "unknown option " + word;
                return false;
            }
            rest.push_back(word);
            continue;
        }
        if (k + 1 >= args.size()) {
            error = "option " + word + " needs a value";
            return false;
        }
        const SurveySetting set = read_value(*found, args[++k], error);
        if (!set) {
            error = "option " + word + ": " + error;
            return false;
        }
        set(opt);
    }
    return true;
}

std::vector<text::Option> survey_command_line(std::vector<GivenSetting>& given) {
    std::vector<text::Option> options;
    for (const Row& row : rows()) {
        options.push_back(text::value_option(row.name, row.arg, row.help, [&row, &given](std::string_view value) {
            std::string why;
            SurveySetting set = read_value(row, value, why);
            if (set) given.push_back({row.name, std::move(set)});
            return why;
        }));
    }
    return options;
}

std::string describe_options(const SimOptions& opt) {
    std::string out;
    for (const Row& r : rows()) {
        if (r.described) out += std::string(r.name) + " " + r.text(opt) + "\n";
    }
    return out;
}

std::string options_help() {
    const SimOptions defaults;
    std::string out;
    for (const Row& o : rows()) {
        std::string head = "  " + std::string(o.name) + " " + o.arg;
        if (head.size() < 28)
            head.resize(28, ' ');
        else
            head += "\n" + std::string(28, ' ');
        // Wrap the help at about 100 columns.
        std::string text = std::string(o.help) + " [" + o.text(defaults) + "]";
        std::string line = head;
        std::size_t col = line.size() - line.rfind('\n') - 1;
        for (std::string_view word : split(text, ' ')) {
            if (col + word.size() > 100 && col > 28) {
                line.pop_back();  // the blank after the last word
                line += "\n" + std::string(28, ' ');
                col = 28;
            }
            line += std::string(word) + " ";
            col += word.size() + 1;
        }
        line.pop_back();
        out += line + "\n";
    }
    return out;
}

std::string check_options(const SimOptions& o) {
    if (!(o.lat > -89.0 && o.lat < 89.0)) return "--lat must lie between -89 and 89";
    if (!(o.lon > -180.0 && o.lon <= 180.0)) return "--lon must lie in (-180, 180]";
    if (!(o.speed > 0.0 && o.speed < 1000.0)) return "--speed must lie in (0, 1000) m/s";
    if (!(o.height >= 5.0)) return "--height must be at least 5 m";
    if (!(o.duration > 0.0)) return "--duration must be positive";
    if (!(o.first_scan >= 0.0)) return "--first-scan must not be negative";
    for (const std::string& e : {out_of_range("--traj-rate", o.traj_rate, 0.5, 1000.0),
                                 out_of_range("--nmeas", o.nmeas, 2, 1000),
                                 out_of_range("--scan-rate", o.scan_rate, 2.0, 2000.0)}) {
        if (!e.empty()) return e;
    }
    if (!(o.fov > 0.0 && o.fov < 150.0)) return "--fov must lie in (0, 150) degrees";
    if (std::string e = out_of_range("--polar-id", o.polar_id, 1, 7); !e.empty()) return e;
    if (!(o.range_unit > 0.0f && o.range_unit <= 1.0f)) return "--range-unit must lie in (0, 1] m";
    if (!(o.angle_unit > 0.0f && o.angle_unit <= 0.1f)) return "--angle-unit must lie in (0, 0.1] gon";
    if (!(o.timer_unit >= 1.0e-7f && o.timer_unit <= 1.0e-3f)) return "--timer-unit must lie in [1e-7, 1e-3] s";
    for (const std::string& e : {out_of_range("--geoid-spacing", o.geoid_spacing, 0.001, 1.0),
                                 out_of_range("--icalib", o.icalib, 0, 5)}) {
        if (!e.empty()) return e;
    }
    if (!(o.waves[1] > 0.0)) return "--waves wavelength must be positive";
    if (!(o.roofs >= 20.0 && o.roofs <= 500.0)) return "--roofs must lie in [20, 500] m";
    if (o.objects != 0 && o.surface == SurfaceKind::Roofs)
        return "--objects stand on a flat, tilt or waves ground (--objects buildings gives the roofs)";
    for (double share : o.scene_cover) {
        if (!(share >= 0.0 && share <= 1.0)) return "--scene-cover shares must lie in [0, 1]";
    }
    if (!(o.scene_cover[0] + o.scene_cover[1] + o.scene_cover[2] <= 1.0))
        return "--scene-cover shares must add up to at most 1";
    for (const std::string& e : {out_of_range("--openness", o.openness, 0.0, 1.0),
                                 out_of_range("--outliers", o.outliers, 0.0, 0.5),
                                 out_of_range("--checkpoints", o.checkpoints, 0, 1000000),
                                 o.truth_grid == 0.0 ? std::string() : out_of_range("--truth-grid", o.truth_grid, 0.1, 100.0),
                                 out_of_range("--checkpoint-noise", o.checkpoint_noise, 0.0, 1.0)}) {
        if (!e.empty()) return e;
    }
    const Motion* motions[3] = {&o.pitch, &o.roll, &o.yaw};
    for (const Motion* m : motions) {
        if (!(m->period > 0.0)) return "attitude motion periods must be positive";
        if (std::fabs(m->bias) + std::fabs(m->amplitude) > 45.0)
            return "pitch, roll and yaw must stay within 45 degrees";
    }
    if (!o.attitude) {
        for (const Motion* m : motions) {
            if (m->bias != 0.0 || m->amplitude != 0.0) return "--attitude off needs zero pitch, roll and yaw";
        }
    }
    if (std::fabs(o.misalign[0]) > 10.0 || std::fabs(o.misalign[1]) > 10.0)
        return "--misalign pitch and roll must stay within 10 degrees";
    if (is_set(o.misalign_truth) && (std::fabs(o.misalign_truth[0]) > 10.0 || std::fabs(o.misalign_truth[1]) > 10.0))
        return "--misalign-truth pitch and roll must stay within 10 degrees";
    if (!(o.range_noise >= 0.0 && o.range_noise <= 10.0)) return "--range-noise must lie in [0, 10] m";
    if (is_set(o.surface_origin) && !(o.surface_origin[0] > -89.0 && o.surface_origin[0] < 89.0 &&
                                      o.surface_origin[1] > -180.0 && o.surface_origin[1] <= 180.0))
        return "--surface-origin must lie between -89 and 89 degrees of latitude, in (-180, 180] of longitude";
    return {};
}

}  // namespace morva::sim
