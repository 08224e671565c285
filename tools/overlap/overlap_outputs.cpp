#include "overlap_outputs.hpp"

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>
#include <sys/wait.h>

#include "cog_writer.hpp"
#include <nlohmann/json.hpp>

namespace fs = std::filesystem;

namespace morva::overlap {

namespace {

std::string fixed(double v, int decimals) {
    if (std::isnan(v)) return "-";
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
    return buf;
}

nlohmann::json number_or_null(double v) { return std::isnan(v) ? nlohmann::json(nullptr) : nlohmann::json(v); }

std::string csv_field(const std::string& s) {
    if (s.find_first_of(",\"\n") == std::string::npos) return s;
    std::string q = "\"";
    for (char ch : s) q += ch == '"' ? std::string("\"\"") : std::string(1, ch);
    return q + "\"";
}

std::string repr(double v) {
    if (std::isnan(v)) return "";
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.17g", v);
    return buf;
}

}  // namespace

std::string temporary_beside(const std::string& path) {
    const fs::path p(path);
    return (p.parent_path() / ("." + p.filename().string() + ".partial-" + std::to_string(::getpid()))).string();
}

void write_file(const std::string& path, const std::string& bytes) {
    const std::string tmp = temporary_beside(path);
    {
        std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
        out << bytes;
        out.flush();
        if (!out) {
            std::error_code ec;
            fs::remove(tmp, ec);
            fail("cannot write " + path);
        }
    }
    std::error_code ec;
    fs::rename(tmp, path, ec);
    if (ec) {
        fs::remove(tmp, ec);
        fail("cannot write " + path + ": " + ec.message());
    }
}

std::string table(const Campaign& c) {
    std::ostringstream o;
    o << "morva-overlap: " << c.strips.size() << " flights on " << c.crs << " (" << c.crs_name << "), cells of "
      << fixed(c.resolution, 2) << " m; smooth: at least " << c.criteria.min_points << " points, roughness <= "
      << fixed(c.criteria.max_roughness, 3) << " m, slope <= " << fixed(c.criteria.max_slope_deg, 1) << " deg\n";
    if (!c.limits.name.empty()) {
        o << "limits " << c.limits.name << ": RMSDz <= " << fixed(c.limits.max_rmsdz, 3) << " m, |dz| <= "
          << fixed(c.limits.max_dz, 3) << " m, precision <= " << fixed(c.limits.max_precision, 3) << " m\n";
    }
    for (const auto& w : c.warnings) o << "warning: " << w << "\n";
    o << "\npairs (dz = A - B, metres; gradients in mm per m right of each flight line)\n";
    char line[512];
    std::snprintf(line, sizeof line, "%-20s %-20s %8s %8s %8s %8s %8s %8s %8s %8s %8s %8s  %s\n", "A", "B", "overlap",
                  "smooth", "mean", "median", "std", "RMSDz", "p95|dz|", "max|dz|", "grad A", "grad B", "verdict");
    o << line;
    for (const auto& p : c.pairs) {
        std::snprintf(line, sizeof line, "%-20s %-20s %8llu %8llu %8s %8s %8s %8s %8s %8s %8s %8s  %s\n",
                      c.strips[p.a].flight.name.c_str(), c.strips[p.b].flight.name.c_str(),
                      static_cast<unsigned long long>(p.overlap_cells), static_cast<unsigned long long>(p.smooth_cells),
                      fixed(p.smooth_cells ? p.mean : NAN, 4).c_str(), fixed(p.smooth_cells ? p.median : NAN, 4).c_str(),
                      fixed(p.smooth_cells ? p.std_dev : NAN, 4).c_str(), fixed(p.smooth_cells ? p.rmsdz : NAN, 4).c_str(),
                      fixed(p.smooth_cells ? p.p95_abs : NAN, 4).c_str(), fixed(p.smooth_cells ? p.max_abs : NAN, 4).c_str(),
                      fixed(p.smooth_cells ? p.gradient_a * 1000 : NAN, 3).c_str(),
                      fixed(p.smooth_cells ? p.gradient_b * 1000 : NAN, 3).c_str(),
                      p.verdict.empty() ? "-" : p.verdict.c_str());
        o << line;
    }
    o << "\nflights (precision: residual standard deviation of the planes on smooth cells, metres)\n";
    std::snprintf(line, sizeof line, "%-20s %10s %8s %8s %8s %9s %-10s %-20s  %s\n", "flight", "points", "cells", "smooth",
                  "heading", "precision", "geodesy", "heights", "verdict");
    o << line;
    for (const auto& s : c.strips) {
        const std::string v = precision_verdict(c.limits, s.precision);
        std::snprintf(line, sizeof line, "%-20s %10llu %8llu %8llu %8s %9s %-10s %-20s  %s\n", s.flight.name.c_str(),
                      static_cast<unsigned long long>(s.points), static_cast<unsigned long long>(s.cells_with_points),
                      static_cast<unsigned long long>(s.smooth_cells), fixed(s.track.heading_deg, 1).c_str(),
                      fixed(s.precision, 4).c_str(), s.flight.geodesy.c_str(), s.flight.source.vertical.c_str(),
                      v.empty() ? "-" : v.c_str());
        o << line;
    }
    return o.str();
}

void write_csv(const Campaign& c, const std::string& path) {
    std::ostringstream o;
    o << "a,b,overlap_cells,smooth_cells,mean_m,median_m,std_m,rmsdz_m,p95_abs_m,max_abs_m,gradient_right_of_a,"
         "gradient_right_of_b,verdict,heading_a_deg,heading_b_deg,precision_a_m,precision_b_m,limits,max_rmsdz_m,max_dz_m\n";
    for (const auto& p : c.pairs) {
        const Strip& a = c.strips[p.a];
        const Strip& b = c.strips[p.b];
        const bool any = p.smooth_cells > 0;
        o << csv_field(a.flight.name) << ',' << csv_field(b.flight.name) << ',' << p.overlap_cells << ','
          << p.smooth_cells << ',' << repr(any ? p.mean : NAN) << ',' << repr(any ? p.median : NAN) << ','
          << repr(any ? p.std_dev : NAN) << ',' << repr(any ? p.rmsdz : NAN) << ',' << repr(any ? p.p95_abs : NAN)
          << ',' << repr(any ? p.max_abs : NAN) << ',' << repr(any ? p.gradient_a : NAN) << ','
          << repr(any ? p.gradient_b : NAN) << ',' << csv_field(p.verdict) << ',' << repr(a.track.heading_deg) << ','
          << repr(b.track.heading_deg) << ',' << repr(a.precision) << ',' << repr(b.precision) << ','
          << csv_field(c.limits.name) << ',' << repr(c.limits.max_rmsdz) << ',' << repr(c.limits.max_dz) << '\n';
    }
    write_file(path, o.str());
}

void write_json(const Campaign& c, const std::string& path, const std::vector<std::string>& rasters) {
    nlohmann::ordered_json j;
    j["crs"] = c.crs;
    j["crs_name"] = c.crs_name;
    j["resolution_m"] = c.resolution;
    j["smooth"] = {{"min_points", c.criteria.min_points}, {"max_roughness_m", c.criteria.max_roughness},
                   {"max_slope_deg", c.criteria.max_slope_deg}};
    j["limits"] = {{"name", c.limits.name}, {"max_rmsdz_m", number_or_null(c.limits.max_rmsdz)},
                   {"max_dz_m", number_or_null(c.limits.max_dz)},
                   {"max_precision_m", number_or_null(c.limits.max_precision)}};
    j["forced"] = c.forced;
    j["warnings"] = c.warnings;
    j["flights"] = nlohmann::ordered_json::array();
    for (const auto& s : c.strips) {
        j["flights"].push_back({{"name", s.flight.name}, {"input", s.flight.input},
                                {"points_file", s.flight.source.points_file}, {"points", s.points},
                                {"cells", s.cells_with_points}, {"smooth_cells", s.smooth_cells},
                                {"precision_m", number_or_null(s.precision)},
                                {"verdict", precision_verdict(c.limits, s.precision)},
                                {"heading_deg", s.track.heading_deg},
                                {"line", {s.track.start_x, s.track.start_y, s.track.end_x, s.track.end_y}},
                                {"geodesy", s.flight.geodesy}, {"heights", s.flight.source.vertical},
                                {"morva_version", s.flight.morva_version},
                                {"misalignment_deg", s.flight.misalignment}});
    }
    j["pairs"] = nlohmann::ordered_json::array();
    for (std::size_t i = 0; i < c.pairs.size(); ++i) {
        const PairResult& p = c.pairs[i];
        const bool any = p.smooth_cells > 0;
        nlohmann::ordered_json e = {
            {"a", c.strips[p.a].flight.name}, {"b", c.strips[p.b].flight.name},
            {"overlap_cells", p.overlap_cells}, {"smooth_cells", p.smooth_cells},
            {"mean_m", number_or_null(any ? p.mean : NAN)}, {"median_m", number_or_null(any ? p.median : NAN)},
            {"std_m", number_or_null(any ? p.std_dev : NAN)}, {"rmsdz_m", number_or_null(any ? p.rmsdz : NAN)},
            {"p95_abs_m", number_or_null(any ? p.p95_abs : NAN)}, {"max_abs_m", number_or_null(any ? p.max_abs : NAN)},
            {"gradient_right_of_a", number_or_null(any ? p.gradient_a : NAN)},
            {"gradient_right_of_b", number_or_null(any ? p.gradient_b : NAN)},
            {"verdict", p.verdict},
            {"cells", {{"col0", p.window.col0}, {"row0", p.window.row0}, {"cols", p.window.cols}, {"rows", p.window.rows}}}};
        if (i < rasters.size()) e["raster"] = rasters[i];
        j["pairs"].push_back(e);
    }
    write_file(path, j.dump(1) + "\n");
}

std::string raster_name(const Campaign& c, const PairResult& p) {
    auto safe = [](std::string s) {
        for (char& ch : s) {
            if (!(std::isalnum(static_cast<unsigned char>(ch)) || ch == '-' || ch == '.')) ch = '_';
        }
        return s;
    };
    return "dz_" + safe(c.strips[p.a].flight.name) + "__" + safe(c.strips[p.b].flight.name) + ".tif";
}

std::vector<std::string> write_rasters(const Campaign& c, const std::string& folder) {
    constexpr float kNodata = -999999.0f;
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (!fs::is_directory(folder, ec)) fail("--rasters " + folder + ": cannot create the folder");
    std::vector<std::string> paths;
    for (const auto& p : c.pairs) {
        grid::CogRequest request;
        request.output = (fs::path(folder) / raster_name(c, p)).string();
        request.geometry = {c.resolution, p.window.col0, p.window.row0 + p.window.rows - 1, p.window.cols, p.window.rows};
        request.wkt = c.crs_wkt;
        request.type = grid::DataType::Float32;
        request.nodata = kNodata;
        request.band_descriptions = {"dz = " + c.strips[p.a].flight.name + " - " + c.strips[p.b].flight.name + " (m)"};
        request.metadata = {{"MORVA_OVERLAP_A", c.strips[p.a].flight.name}, {"MORVA_OVERLAP_B", c.strips[p.b].flight.name}};
        // Rows north to south.
        const auto cols = static_cast<std::size_t>(p.window.cols), rows = static_cast<std::size_t>(p.window.rows);
        std::vector<float> band(cols * rows);
        for (std::size_t r = 0; r < rows; ++r) {
            for (std::size_t col = 0; col < cols; ++col) {
                const float v = p.dz[(rows - 1 - r) * cols + col];
                band[r * cols + col] = std::isnan(v) ? kNodata : v;
            }
        }
        grid::write_cog(request, {band.data()});
        paths.push_back(request.output);
    }
    return paths;
}

namespace {

std::string picture_script(const std::string& program_path) {
    const fs::path here = fs::weakly_canonical(fs::path(program_path)).parent_path();
    const fs::path installed = here / ".." / "share" / "morva" / "python" / "morva_overlap_picture.py";
    std::error_code ec;
    if (fs::is_regular_file(installed, ec)) return installed.string();
    return MORVA_OVERLAP_PICTURE_SCRIPT;
}

}  // namespace

void draw_picture(const Campaign& c, const std::string& path, const std::string& program_path) {
    // The picture's data: the flight lines and every pair's dz, as a JSON
    // description and one float32 file per pair, in a temporary folder.
    char tmpl[] = "/tmp/morva-overlap-XXXXXX";
    if (::mkdtemp(tmpl) == nullptr) fail("cannot create a temporary folder for the picture");
    const fs::path work(tmpl);
    nlohmann::ordered_json j;
    j["crs"] = c.crs;
    j["resolution_m"] = c.resolution;
    j["limits"] = {{"name", c.limits.name}, {"max_rmsdz_m", number_or_null(c.limits.max_rmsdz)},
                   {"max_dz_m", number_or_null(c.limits.max_dz)}};
    j["flights"] = nlohmann::ordered_json::array();
    for (const auto& s : c.strips) {
        j["flights"].push_back({{"name", s.flight.name},
                                {"line", {s.track.start_x, s.track.start_y, s.track.end_x, s.track.end_y}}});
    }
    j["pairs"] = nlohmann::ordered_json::array();
    for (std::size_t i = 0; i < c.pairs.size(); ++i) {
        const auto& p = c.pairs[i];
        const std::string name = "pair" + std::to_string(i) + ".f32";
        std::ofstream(work / name, std::ios::binary)
            .write(reinterpret_cast<const char*>(p.dz.data()), static_cast<std::streamsize>(p.dz.size() * sizeof(float)));
        j["pairs"].push_back({{"a", c.strips[p.a].flight.name}, {"b", c.strips[p.b].flight.name},
                              {"file", name}, {"col0", p.window.col0}, {"row0", p.window.row0},
                              {"cols", p.window.cols}, {"rows", p.window.rows}, {"smooth_cells", p.smooth_cells},
                              {"rmsdz_m", number_or_null(p.smooth_cells ? p.rmsdz : NAN)},
                              {"mean_m", number_or_null(p.smooth_cells ? p.mean : NAN)}, {"verdict", p.verdict}});
    }
    std::ofstream(work / "picture.json") << j.dump(1);
    const std::string tmp = temporary_beside(path) + ".png";
    const std::string script = picture_script(program_path);
    const std::string data = (work / "picture.json").string();
    const pid_t child = ::fork();
    if (child == 0) {
        ::execl("/usr/bin/python3", "python3", script.c_str(), data.c_str(), tmp.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    int status = 0;
    if (child > 0) ::waitpid(child, &status, 0);
    std::error_code ec;
    fs::remove_all(work, ec);
    if (child < 0 || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        fs::remove(tmp, ec);
        fail("the picture " + path + " could not be drawn (python3 " + script + ")");
    }
    fs::rename(tmp, path, ec);
    if (ec) fail("cannot write " + path + ": " + ec.message());
}

}  // namespace morva::overlap
