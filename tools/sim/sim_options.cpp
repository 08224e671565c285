#include "sim_options.hpp"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>

#include "scene_objects.hpp"
#include "text/command_line.hpp"

namespace morva::sim {
namespace {

enum class Kind { Real, Single, Int, Seed, Switch, Choice, Time, Motion, Set };

struct Option {
    const char* name;
    const char* arg;  // how the value is written in the help
    const char* help;
    Kind kind;
    void* target;
    int count = 1;                         // values of a list (given as a,b,c; fewer keep the rest)
    const char* const* choices = nullptr;  // Choice: names by value; Set: names by bit; null-terminated
    bool described = true;                 // part of the survey description
    const char* unset = nullptr;           // Real: the word for "not given" (held as NaN)
};

const char* const kSwitch[] = {"off", "on", nullptr};
const char* const kSurface[] = {"flat", "tilt", "waves", "roofs", nullptr};
const char* const kSource[] = {"gps", "rtc", "none", nullptr};
const char* const kClock[] = {"synced", "free", nullptr};
const char* const kOutput[] = {"text", "binary", nullptr};
const char* const kGeodesy[] = {"flat", "ellipsoid", nullptr};  // in the order of georef::Geodesy

// The table, bound to one options record. Choices are held as int through
// the enums' underlying type; switches and the output form are bools.
std::vector<Option> options_of(SimOptions& o) {
    return {
        {"--seed", "N", "seed of the amplitudes, wave phases and geoid undulation", Kind::Seed, &o.seed},
        // Flight.
        {"--lat", "DEG", "start latitude", Kind::Real, &o.lat},
        {"--lon", "DEG", "start longitude", Kind::Real, &o.lon},
        {"--heading", "DEG", "track, clockwise from north; any value (the trajectory keeps headings in (-180, 180])",
         Kind::Real, &o.heading},
        {"--speed", "M/S", "ground speed along the track", Kind::Real, &o.speed},
        {"--height", "M", "flying height above the ground at the start (on roofs: the ground between the blocks)",
         Kind::Real, &o.height},
        {"--climb", "M/S", "rate of climb", Kind::Real, &o.climb},
        {"--duration", "S", "seconds of scanning", Kind::Real, &o.duration},
        {"--start", "HH:MM:SS", "time of day of the file epoch", Kind::Time, &o.start},
        {"--first-scan", "S", "seconds from the file epoch to the first scan", Kind::Real, &o.first_scan},
        {"--traj-rate", "HZ", "trajectory records per second", Kind::Real, &o.traj_rate},
        {"--attitude", "on|off",
         "trajectory with pitch, roll and heading; off writes positions only (the run then flies with heading 0)",
         Kind::Switch, &o.attitude, 1, kSwitch},
        {"--pitch", "B[,A[,T]]", "pitch: bias, amplitude (degrees) and period (s) of a smooth oscillation",
         Kind::Motion, &o.pitch},
        {"--roll", "B[,A[,T]]", "roll, likewise (a bias alone is a steady bank)", Kind::Motion, &o.roll},
        {"--yaw", "B[,A[,T]]", "heading relative to the track (crab), likewise", Kind::Motion, &o.yaw},
        {"--lever", "X,Y,Z", "scanner lever arm: forward, right, down (m); written to the run control", Kind::Real,
         &o.lever, 3},
        {"--misalign", "P,R,H", "scanner misalignment in pitch, roll, heading (degrees); written to the run control",
         Kind::Real, &o.misalign, 3},
        {"--misalign-truth", "P,R,H|same",
         "the misalignment the recording is made with, when it is not the one the run control states: the run's "
         "points then lie off the surface by the difference (--verify reports how far)",
         Kind::Real, &o.misalign_truth, 3, nullptr, true, "same"},
        // Scanner.
        {"--nmeas", "N", "measurements per scan (2 to 1000)", Kind::Int, &o.nmeas},
        {"--scan-rate", "HZ", "scans per second", Kind::Real, &o.scan_rate},
        {"--fov", "DEG", "full field of view across the track, centred on the nadir", Kind::Real, &o.fov},
        {"--range-unit", "M", "metres per range count", Kind::Single, &o.range_unit},
        {"--angle-unit", "GON", "gon per angle-encoder count", Kind::Single, &o.angle_unit},
        {"--timer-unit", "S", "seconds per timer count (a whole number of counts per second)", Kind::Single,
         &o.timer_unit},
        {"--polar-id", "N", "angle-encoder sectors per turn (1 to 7): one scan per sector", Kind::Int, &o.polar_id},
        {"--time-source", "gps|rtc|none",
         "time source of the header; none leaves the epoch to the run control's start time", Kind::Choice,
         &o.time_source, 1, kSource},
        {"--clock", "synced|free",
         "synced: trailer seconds plus fraction of the second; free: a free-running 24-bit timer counting from "
         "the epoch (seconds 0; the run is told not to use the sync). The reader follows one wrap of the free "
         "timer, and only when the first scan lies less than 77216 counts before it (e.g. --first-scan 16.74 "
         "at 1 us); other recordings that would wrap are refused",
         Kind::Choice, &o.clock, 1, kClock},
        {"--scan-number", "N", "raw scan number of the first scan (the 16-bit number wraps)", Kind::Int,
         &o.scan_number},
        {"--calibration", "on|off", "write non-trivial calibration values into the header", Kind::Switch,
         &o.calibration, 1, kSwitch},
        {"--use-cal", "on|off",
         "process through the header's calibration (the ranges are then found through it, and the run writes "
         "its calibration records to test.out)",
         Kind::Switch, &o.use_cal, 1, kSwitch},
        {"--dtsec", "S", "seconds the run adds to every scanner time (the scanner clock is behind by this)", Kind::Real,
         &o.dtsec},
        {"--range-noise", "M",
         "standard deviation of seeded Gaussian noise added to every range (the truth stays on the surface)",
         Kind::Real, &o.range_noise},
        // Surface.
        {"--surface", "flat|tilt|waves|roofs",
         "shape of the surface: level, a plane (--tilt), waves (--waves), or gable-roofed blocks on the plane of "
         "--tilt (--roofs)",
         Kind::Choice, &o.surface, 1, kSurface},
        {"--surface-origin", "LAT,LON|start",
         "where the surface is laid out from: its height there is --ground, its slopes, waves, roofs and the geoid's "
         "undulation are fixed to it. Flights over one surface give the same origin (and seed), whatever their "
         "start and heading; start: the flight's start position",
         Kind::Real, &o.surface_origin, 2, nullptr, true, "start"},
        {"--ground", "M", "surface height at the surface origin (above the geoid when one is written)", Kind::Real,
         &o.ground},
        {"--tilt", "N,E", "slopes of a tilted surface towards north and east (m/m)", Kind::Real, &o.tilt, 2},
        {"--waves", "A,L", "amplitude and wavelength (m) of a wave surface", Kind::Real, &o.waves, 2},
        {"--roofs", "S",
         "cell size of a roof surface (20 to 500 m): three cells in four hold a block 0.35 to 0.6 cells long and 0.25 "
         "to 0.4 wide, turned to any orientation, walls 3 to 8 m, a gable roof of 15 to 45 degrees along its length",
         Kind::Real, &o.roofs},
        {"--distortion", "P1,P2,P3,P4",
         "across-scan height distortion added to every measured height, in the form of the run's height correction",
         Kind::Real, &o.distortion, 4},
        // The scene.
        {"--objects", "LIST|none",
         "objects on a flat, tilt or waves ground, a comma list of trees (stands of 6 to 16 crowns 4 to 10 m across, 8 to 25 m high), "
         "buildings (flat and gable roofs, steep walls), bridge (one deck 5 to 8 m above the ground within 100 m of "
         "the origin), lowveg (patches up to 1 m high) and outliers (returns from 3 to 20 m below the ground); "
         "fixed on the ground like the surface. The survey then writes truth.bin, what every point hit",
         Kind::Set, &o.objects, 1, kObjectNames},
        {"--scene-cover", "T,B,L", "shares of the 40 m cells holding trees, a building, low vegetation", Kind::Real,
         &o.scene_cover, 3},
        {"--openness", "F", "share of the beams that pass through the tree crowns to what is below", Kind::Real,
         &o.openness},
        {"--outliers", "F", "share of the beams returned from below the ground (with --objects outliers)",
         Kind::Real, &o.outliers},
        {"--truth-grid", "M",
         "with --objects: spacing of ground.asc and cover.asc, the bare ground's height and the class on top over "
         "the swath in its UTM zone (0: none)",
         Kind::Real, &o.truth_grid},
        {"--checkpoints", "N",
         "write N check points, checkpoints.csv: true ground heights with surveying noise at open and vegetated "
         "places of the swath",
         Kind::Int, &o.checkpoints},
        {"--checkpoint-noise", "M", "standard deviation of the check points' surveying noise", Kind::Real,
         &o.checkpoint_noise},
        // Geoid.
        {"--geoid", "on|off", "write a geoid grid and process with it", Kind::Switch, &o.geoid, 1, kSwitch},
        {"--geoid-height", "M", "geoid height near the surface origin (the grid slopes and undulates gently)",
         Kind::Real, &o.geoid_height},
        {"--geoid-spacing", "DEG", "grid spacing in latitude and longitude", Kind::Real, &o.geoid_spacing},
        // The run.
        {"--geodesy", "flat|ellipsoid",
         "the georeferencing the truth follows and the run is to use (morva --geodesy): flat, the system's "
         "flat earth, or ellipsoid, exact positions on WGS 84",
         Kind::Choice, &o.geodesy, 1, kGeodesy},
        {"--output", "text|binary", "form of the scan-point file", Kind::Switch, &o.binary, 1, kOutput},
        {"--icalib", "N", "surface regression parameters minus 1 (0: none)", Kind::Int, &o.icalib},
        {"--pcoef", "P1,P2,P3,P4", "height-correction coefficients of the run control", Kind::Real, &o.pcoef, 4},
        {"--threads", "N", "threads computing the ranges (0: one per processor); the survey does not depend on it",
         Kind::Int, &o.threads, 1, nullptr, false},
    };
}

bool parse_real(std::string_view s, double& v) {
    if (!s.empty() && s[0] == '+') s.remove_prefix(1);
    auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    return ec == std::errc() && end == s.data() + s.size() && !s.empty() && std::isfinite(v);
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

bool set_value(const Option& opt, std::string_view text) {
    switch (opt.kind) {
        case Kind::Real: {
            double* v = static_cast<double*>(opt.target);
            if (opt.unset != nullptr && text == opt.unset) {
                for (int k = 0; k < opt.count; ++k) v[k] = kUnset;
                return true;
            }
            auto parts = split(text, ',');
            // A value that may be left unset is given whole.
            const int needed = opt.unset != nullptr ? opt.count : 1;
            if (static_cast<int>(parts.size()) > opt.count || static_cast<int>(parts.size()) < needed) return false;
            for (std::size_t k = 0; k < parts.size(); ++k) {
                if (!parse_real(parts[k], v[k])) return false;
            }
            return true;
        }
        case Kind::Single: {
            double v;
            if (!parse_real(text, v)) return false;
            // Straight from the text to single precision, as the header holds it.
            float f;
            auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), f);
            if (ec != std::errc() || end != text.data() + text.size()) return false;
            *static_cast<float*>(opt.target) = f;
            return true;
        }
        case Kind::Int:
            return parse_int(text, *static_cast<std::int32_t*>(opt.target));
        case Kind::Seed:
            return parse_int(text, *static_cast<std::uint64_t*>(opt.target));
        case Kind::Switch:
        case Kind::Choice: {
            for (int k = 0; opt.choices[k] != nullptr; ++k) {
                if (text == opt.choices[k]) {
                    if (opt.kind == Kind::Switch)
                        *static_cast<bool*>(opt.target) = k != 0;
                    else
                        *static_cast<int*>(opt.target) = k;
                    return true;
                }
            }
            return false;
        }
        case Kind::Set: {
            unsigned bits = 0;
            if (text != "none") {
                for (std::string_view part : split(text, ',')) {
                    int k = 0;
                    while (opt.choices[k] != nullptr && part != opt.choices[k]) ++k;
                    if (opt.choices[k] == nullptr) return false;
                    bits |= 1u << k;
                }
            }
            *static_cast<unsigned*>(opt.target) = bits;
            return true;
        }
        case Kind::Time: {
            auto parts = split(text, ':');
            if (parts.size() != 3) return false;
            auto* hms = static_cast<std::int32_t*>(opt.target);
            for (int k = 0; k < 3; ++k) {
                if (!parse_int(parts[k], hms[k])) return false;
            }
            return hms[0] >= 0 && hms[0] <= 23 && hms[1] >= 0 && hms[1] <= 59 && hms[2] >= 0 && hms[2] <= 59;
        }
        case Kind::Motion: {
            auto parts = split(text, ',');
            if (parts.size() > 3) return false;
            auto* m = static_cast<Motion*>(opt.target);
            double* fields[3] = {&m->bias, &m->amplitude, &m->period};
            for (std::size_t k = 0; k < parts.size(); ++k) {
                if (!parse_real(parts[k], *fields[k])) return false;
            }
            return true;
        }
    }
    return false;
}

std::string value_text(const Option& opt) {
    auto join = [](const double* v, int n) {
        std::string s;
        for (int k = 0; k < n; ++k) s += (k ? "," : "") + exact(v[k]);
        return s;
    };
    switch (opt.kind) {
        case Kind::Real: {
            const double* v = static_cast<const double*>(opt.target);
            if (opt.unset != nullptr && std::isnan(v[0])) return opt.unset;
            return join(v, opt.count);
        }
        case Kind::Single: {
            char buf[64];
            float f = *static_cast<const float*>(opt.target);
            auto [end, ec] = std::to_chars(buf, buf + sizeof buf, f);
            return std::string(buf, end);
        }
        case Kind::Int:
            return std::to_string(*static_cast<const std::int32_t*>(opt.target));
        case Kind::Seed:
            return std::to_string(*static_cast<const std::uint64_t*>(opt.target));
        case Kind::Switch:
            return opt.choices[*static_cast<const bool*>(opt.target) ? 1 : 0];
        case Kind::Choice:
            return opt.choices[*static_cast<const int*>(opt.target)];
        case Kind::Set: {
            const unsigned bits = *static_cast<const unsigned*>(opt.target);
            std::string names;
            for (int k = 0; opt.choices[k] != nullptr; ++k) {
                if (bits & (1u << k)) names += std::string(names.empty() ? "" : ",") + opt.choices[k];
            }
            return names.empty() ? "none" : names;
        }
        case Kind::Time: {
            const auto* hms = static_cast<const std::int32_t*>(opt.target);
            char buf[32];
            std::snprintf(buf, sizeof buf, "%02d:%02d:%02d", hms[0], hms[1], hms[2]);
            return buf;
        }
        case Kind::Motion: {
            const auto* m = static_cast<const Motion*>(opt.target);
            const double v[3] = {m->bias, m->amplitude, m->period};
            return join(v, 3);
        }
    }
    return {};
}

// Why a value is refused, in the words of the shared command line (after
// "option --X: "); empty when set_value took it.
std::string value_problem(const Option& opt, std::string_view text) {
    const std::string quoted = "'" + std::string(text) + "'";
    if (opt.choices != nullptr) {
        std::string names = opt.kind == Kind::Set ? "none, " : "";
        for (int k = 0; opt.choices[k] != nullptr; ++k) names += std::string(k ? ", " : "") + opt.choices[k];
        return quoted + (opt.kind == Kind::Set ? " is not a list of " : " is not one of ") + names;
    }
    const bool scalar = opt.count == 1 && (opt.kind == Kind::Real || opt.kind == Kind::Single ||
                                           opt.kind == Kind::Int || opt.kind == Kind::Seed);
    if (scalar) return quoted + " is not a number";
    return quoted + " is not of the form " + opt.arg;
}

const Option* find_row(const std::vector<Option>& table, std::string_view name) {
    for (const Option& o : table) {
        if (name == o.name) return &o;
    }
    return nullptr;
}

// A number option that must lie in [lo, hi]: the shared out-of-range message.
std::string out_of_range(const char* name, double value, double lo, double hi) {
    if (value >= lo && value <= hi) return {};
    return std::string("option ") + name + ": " + text::number_text(value) + " is out of range (" +
           text::number_text(lo) + " to " + text::number_text(hi) + ")";
}

}  // namespace

std::string exact(double v) {
    char buf[64];
    auto [end, ec] = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, end);
}

SimOptions sample_options() {
    SimOptions o;
    o.seed = 7;
    o.lat = 52.25;
    o.lon = 4.5;
    o.heading = 35.0;
    o.speed = 60.0;
    o.height = 250.0;
    o.climb = 1.5;
    o.duration = 4.0;
    o.start[0] = 10;
    o.start[1] = 30;
    o.start[2] = 0;
    o.first_scan = 0.25;
    o.traj_rate = 10.0;
    o.pitch = {1.0, 0.5, 11};
    o.roll = {0.0, 3.0, 7};
    o.yaw = {0.0, 1.0, 13};
    o.lever[0] = 0.25;
    o.lever[1] = -0.1;
    o.lever[2] = 0.8;
    o.calibration = true;
    o.nmeas = 200;
    o.scan_rate = 50.0;
    o.fov = 60.0;
    o.range_unit = 0.002f;
    o.surface = SurfaceKind::Waves;
    o.ground = 1.0;
    o.waves[0] = 0.4;
    o.waves[1] = 60.0;
    o.geoid = true;
    o.geoid_height = 43.0;
    o.geoid_spacing = 0.01;
    o.binary = false;
    o.icalib = 3;
    return o;
}

bool parse_options(const std::vector<std::string>& args, SimOptions& opt, std::vector<std::string>& rest,
                   std::string& error) {
    const std::vector<Option> table = options_of(opt);
    for (std::size_t k = 0; k < args.size(); ++k) {
        const std::string& word = args[k];
        const Option* found = find_row(table, word);
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
        if (!set_value(*found, args[++k])) {
            error = "option " + word + ": " + value_problem(*found, args[k]);
            return false;
        }
    }
    return true;
}

std::vector<text::Option> survey_command_line(std::vector<std::string>& given) {
    std::vector<text::Option> rows;
    auto scratch = std::make_shared<SimOptions>();  // where a value is tried before it is kept
    for (const Option& row : options_of(*scratch)) {
        text::Option option{row.name, row.arg, row.help, text::OptionKind::Text};
        option.apply = [row, scratch, &given](const text::OptionValue& value) {
            if (!set_value(row, value.text)) return value_problem(row, value.text);
            given.push_back(row.name);
            given.emplace_back(value.text);
            return std::string();
        };
        rows.push_back(std::move(option));
    }
    return rows;
}

std::string describe_options(const SimOptions& opt) {
    SimOptions copy = opt;
    std::string out;
    for (const Option& o : options_of(copy)) {
        if (o.described) out += std::string(o.name) + " " + value_text(o) + "\n";
    }
    return out;
}

std::string options_help() {
    SimOptions defaults;
    std::string out;
    for (const Option& o : options_of(defaults)) {
        std::string head = "  " + std::string(o.name) + " " + o.arg;
        if (head.size() < 28)
            head.resize(28, ' ');
        else
            head += "\n" + std::string(28, ' ');
        // Wrap the help at about 100 columns.
        std::string text = std::string(o.help) + " [" + value_text(o) + "]";
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
    auto bad = [](const char* what) { return std::string(what); };
    if (!(o.lat > -89.0 && o.lat < 89.0)) return bad("--lat must lie between -89 and 89");
    if (!(o.lon > -180.0 && o.lon <= 180.0)) return bad("--lon must lie in (-180, 180]");
    if (!(o.speed > 0.0 && o.speed < 1000.0)) return bad("--speed must lie in (0, 1000) m/s");
    if (!(o.height >= 5.0)) return bad("--height must be at least 5 m");
    if (!(o.duration > 0.0)) return bad("--duration must be positive");
    if (!(o.first_scan >= 0.0)) return bad("--first-scan must not be negative");
    for (const std::string& e : {out_of_range("--traj-rate", o.traj_rate, 0.5, 1000.0),
                                 out_of_range("--nmeas", o.nmeas, 2, 1000),
                                 out_of_range("--scan-rate", o.scan_rate, 2.0, 2000.0)}) {
        if (!e.empty()) return e;
    }
    if (!(o.fov > 0.0 && o.fov < 150.0)) return bad("--fov must lie in (0, 150) degrees");
    if (std::string e = out_of_range("--polar-id", o.polar_id, 1, 7); !e.empty()) return e;
    if (!(o.range_unit > 0.0f && o.range_unit <= 1.0f)) return bad("--range-unit must lie in (0, 1] m");
    if (!(o.angle_unit > 0.0f && o.angle_unit <= 0.1f)) return bad("--angle-unit must lie in (0, 0.1] gon");
    if (!(o.timer_unit >= 1.0e-7f && o.timer_unit <= 1.0e-3f)) return bad("--timer-unit must lie in [1e-7, 1e-3] s");
    for (const std::string& e : {out_of_range("--geoid-spacing", o.geoid_spacing, 0.001, 1.0),
                                 out_of_range("--icalib", o.icalib, 0, 5)}) {
        if (!e.empty()) return e;
    }
    if (!(o.waves[1] > 0.0)) return bad("--waves wavelength must be positive");
    if (!(o.roofs >= 20.0 && o.roofs <= 500.0)) return bad("--roofs must lie in [20, 500] m");
    if (o.objects != 0 && o.surface == SurfaceKind::Roofs)
        return bad("--objects stand on a flat, tilt or waves ground (--objects buildings gives the roofs)");
    for (double share : o.scene_cover) {
        if (!(share >= 0.0 && share <= 1.0)) return bad("--scene-cover shares must lie in [0, 1]");
    }
    if (!(o.scene_cover[0] + o.scene_cover[1] + o.scene_cover[2] <= 1.0))
        return bad("--scene-cover shares must add up to at most 1");
    for (const std::string& e : {out_of_range("--openness", o.openness, 0.0, 1.0),
                                 out_of_range("--outliers", o.outliers, 0.0, 0.5),
                                 out_of_range("--checkpoints", o.checkpoints, 0, 1000000),
                                 o.truth_grid == 0.0 ? std::string() : out_of_range("--truth-grid", o.truth_grid, 0.1, 100.0),
                                 out_of_range("--checkpoint-noise", o.checkpoint_noise, 0.0, 1.0)}) {
        if (!e.empty()) return e;
    }
    const Motion* motions[3] = {&o.pitch, &o.roll, &o.yaw};
    for (const Motion* m : motions) {
        if (!(m->period > 0.0)) return bad("attitude motion periods must be positive");
        if (std::fabs(m->bias) + std::fabs(m->amplitude) > 45.0)
            return bad("pitch, roll and yaw must stay within 45 degrees");
    }
    if (!o.attitude) {
        for (const Motion* m : motions) {
            if (m->bias != 0.0 || m->amplitude != 0.0) return bad("--attitude off needs zero pitch, roll and yaw");
        }
    }
    if (std::fabs(o.misalign[0]) > 10.0 || std::fabs(o.misalign[1]) > 10.0)
        return bad("--misalign pitch and roll must stay within 10 degrees");
    if (is_set(o.misalign_truth) && (std::fabs(o.misalign_truth[0]) > 10.0 || std::fabs(o.misalign_truth[1]) > 10.0))
        return bad("--misalign-truth pitch and roll must stay within 10 degrees");
    if (!(o.range_noise >= 0.0 && o.range_noise <= 10.0)) return bad("--range-noise must lie in [0, 10] m");
    if (is_set(o.surface_origin) && !(o.surface_origin[0] > -89.0 && o.surface_origin[0] < 89.0 &&
                                      o.surface_origin[1] > -180.0 && o.surface_origin[1] <= 180.0))
        return bad("--surface-origin must lie between -89 and 89 degrees of latitude, in (-180, 180] of longitude");
    return {};
}

}  // namespace morva::sim
