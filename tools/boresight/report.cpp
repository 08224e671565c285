#include "report.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>

#include <nlohmann/json.hpp>

namespace morva::boresight {
namespace {

std::string format(const char* f, double v) {
    char buf[64];
    std::snprintf(buf, sizeof buf, f, v);
    return buf;
}

double turn(double a, double b) {  // b - a, in (-180, 180]
    double d = std::fmod(b - a, 360.0);
    if (d > 180) d -= 360;
    if (d <= -180) d += 360;
    return d;
}

// Largest difference of the flights' tracks from the first one's.
double track_spread(const Calibration& c) {
    double widest = 0;
    for (const Flight* f : c.flights) widest = std::max(widest, std::fabs(turn(c.flights[0]->heading, f->heading)));
    return widest;
}

double steepest(const Calibration& c) {
    double s = 0;
    for (const Patch& p : c.selection.patches) s = std::max(s, p.slope);
    return s;
}

std::map<std::pair<std::uint32_t, std::uint32_t>, int> pairs(const Calibration& c) {
    std::map<std::pair<std::uint32_t, std::uint32_t>, int> n;
    for (const Patch& p : c.selection.patches) {
        for (std::size_t a = 0; a < p.strips.size(); ++a) {
            for (std::size_t b = a + 1; b < p.strips.size(); ++b) ++n[{p.strips[a].flight, p.strips[b].flight}];
        }
    }
    return n;
}

}  // namespace

bool all_determined(const Calibration& c) {
    const auto& d = c.adjustment.determined;
    return d[0] && d[1] && d[2] && c.why[0].empty() && c.why[1].empty() && c.why[2].empty();
}

void explain(Calibration& c, int min_patches, double max_sigma) {
    const std::size_t npatches = c.selection.patches.size();
    if (c.flights.size() < 2) {
        for (std::string& w : c.why) {
            w = "one flight: a strip agrees with itself whatever the angles; fly two or more overlapping lines "
                "(the calibration pattern)";
        }
        return;
    }
    if (static_cast<int>(npatches) < min_patches) {
        for (std::string& w : c.why) {
            w = "too few tie patches (" + std::to_string(npatches) + ", at least " + std::to_string(min_patches) +
                "): the strips overlap too little, or their overlap holds too few planar areas";
        }
        return;
    }
    const double slope = steepest(c);
    const bool level = slope < 5.0;
    const double spread = track_spread(c);
    const bool one_way = spread < 30.0;
    const std::string level_text = "every tie patch is level (steepest " + format("%.1f", slope) + " degrees)";
    const std::string one_way_text = "every flight runs one way (tracks within " + format("%.0f", spread) +
                                     " degrees of " + format("%.0f", c.flights[0]->heading) + ")";
    const std::string sloped_advice = "fly over sloped surfaces such as roofs";
    for (int k = 0; k < 3; ++k) {
        if (c.adjustment.determined[k]) continue;
        std::string& w = c.why[k];
        if (k == 0 && level && one_way) {
            w = one_way_text + " and " + level_text +
                ": a pitch error moves every strip alike along its track, and moves points only horizontally; fly "
                "the opposite direction over sloped surfaces such as roofs";
        } else if (k == 0 && level) {
            w = level_text + ": a pitch error moves points along the track only, which level ground does not show; " +
                sloped_advice;
        } else if (k == 0 && one_way) {
            w = one_way_text + ": a pitch error moves every strip alike along its track; fly a line the opposite way";
        } else if (k == 2 && level) {
            w = level_text + ": a heading error turns points about the vertical, which level ground does not show; " +
                sloped_advice;
        } else if (k == 1 && one_way) {
            w = one_way_text + ": a roll error tilts every strip alike; fly a line the opposite way or a parallel "
                                "line at half a swath";
        } else {
            const double s = c.adjustment.spread[k];
            w = "the tie patches do not separate it from the other angles (standard deviation " +
                (std::isfinite(s) ? format("%.4f", s) : std::string("unbounded")) + " degrees, at most " +
                format("%g", max_sigma) + ")";
            if (one_way) w += "; " + one_way_text;
        }
    }
}

std::string refusal_line(const Calibration& c) {
    std::string line;
    for (int k = 0; k < 3; ++k) {
        if (c.why[k].empty()) continue;
        // Angles with one reason are named together.
        if (std::find(c.why.begin(), c.why.begin() + k, c.why[k]) != c.why.begin() + k) continue;
        std::string names = kAngleNames[k];
        for (int j = k + 1; j < 3; ++j) {
            if (c.why[j] == c.why[k]) names += std::string(" and ") + kAngleNames[j];
        }
        if (!line.empty()) line += "; ";
        line += names + " cannot be determined: " + c.why[k];
    }
    return line;
}

std::string report_text(const Calibration& c) {
    const Adjustment& a = c.adjustment;
    std::string out = "morva-boresight: " + std::to_string(c.flights.size()) + " flights of one installation, geodesy " +
                      c.geodesy + "\n";
    for (const Flight* f : c.flights) {
        out += "  " + f->name + ": track " + format("%.1f", f->heading) + " degrees, height " +
               format("%.0f", f->height) + " m, " + std::to_string(f->measurements.size()) + " measurements\n";
    }
    const PatchSelection& s = c.selection;
    out += "tie patches: " + std::to_string(s.patches.size()) + " (of " + std::to_string(s.candidates) +
           " areas in two strips or more, " + std::to_string(s.planar) + " planar in each), radius " +
           format("%.2f", s.radius) + " m, planarity " + format("%.4f", s.planarity) + " m, steepest " +
           format("%.1f", steepest(c)) + " degrees" +
           (c.adjustment.dropped > 0 ? ", " + std::to_string(c.adjustment.dropped) + " left out whose plane did not fit" : "") +
           "\n";
    out += "patches per pair of flights:\n";
    for (const auto& [pair, n] : pairs(c)) {
        out += "  " + c.flights[pair.first]->name + " & " + c.flights[pair.second]->name + ": " + std::to_string(n) + "\n";
    }
    if (!all_determined(c)) {
        out += "misalignment not estimated:\n";
        for (int k = 0; k < 3; ++k) {
            out += std::string("  ") + kAngleNames[k] + ": " + (c.why[k].empty() ? "determined" : c.why[k]) + "\n";
        }
        return out;
    }
    out += "misalignment (degrees)      start     estimate   std.dev.\n";
    for (int k = 0; k < 3; ++k) {
        char line[128];
        std::snprintf(line, sizeof line, "  %-20s %10.6f %12.6f %10.6f\n", kAngleNames[k], a.start[k], a.estimate[k],
                      a.sigma[k]);
        out += line;
    }
    out += "correlations: dpitch-droll " + format("%.3f", a.correlation[0][1]) + ", dpitch-dheading " +
           format("%.3f", a.correlation[0][2]) + ", droll-dheading " + format("%.3f", a.correlation[1][2]) + "\n";
    out += "point-to-plane RMS: before " + format("%.4f", a.rms_before) + " m, after " + format("%.4f", a.rms_after) +
           " m (" + std::to_string(a.points) + " points; range residual standard deviation " + format("%.4f", a.noise) +
           " m, " + std::to_string(a.iterations) + " iterations" + (a.converged ? "" : ", not converged") + ")\n";
    for (const std::string& w : c.written) out += "wrote " + w + "\n";
    return out;
}

std::string report_json(const Calibration& c) {
    using nlohmann::json;
    const Adjustment& a = c.adjustment;
    json j;
    j["geodesy"] = c.geodesy;
    j["flights"] = json::array();
    for (const Flight* f : c.flights) {
        j["flights"].push_back({{"run_control", f->name}, {"track_degrees", f->heading}, {"height_m", f->height},
                                {"measurements", f->measurements.size()}});
    }
    const PatchSelection& s = c.selection;
    j["patches"] = {{"count", s.patches.size()}, {"candidates", s.candidates}, {"planar", s.planar},
                    {"radius_m", s.radius}, {"planarity_m", s.planarity}, {"steepest_degrees", steepest(c)},
                    {"left_out", c.adjustment.dropped}};
    j["patches_per_pair"] = json::array();
    for (const auto& [pair, n] : pairs(c)) {
        j["patches_per_pair"].push_back(
            {{"flights", {c.flights[pair.first]->name, c.flights[pair.second]->name}}, {"patches", n}});
    }
    const bool ok = all_determined(c);
    j["determined"] = ok;
    json angles = json::object();
    for (int k = 0; k < 3; ++k) {
        json e = {{"start", a.start[k]}};
        if (ok) {
            e["estimate"] = a.estimate[k];
            e["sigma"] = a.sigma[k];
        } else if (!c.why[k].empty()) {
            e["not_determined"] = c.why[k];
        }
        angles[kAngleNames[k]] = e;
    }
    j["misalignment_degrees"] = angles;
    if (ok) {
        j["correlation"] = {{"dpitch_droll", a.correlation[0][1]}, {"dpitch_dheading", a.correlation[0][2]},
                            {"droll_dheading", a.correlation[1][2]}};
        j["rms_point_to_plane_m"] = {{"before", a.rms_before}, {"after", a.rms_after}};
        j["points"] = a.points;
        j["residual_sigma_m"] = a.noise;
        j["iterations"] = a.iterations;
        j["converged"] = a.converged;
        j["written"] = c.written;
    }
    return j.dump(2) + "\n";
}

}  // namespace morva::boresight
