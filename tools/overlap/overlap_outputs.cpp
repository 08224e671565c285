#include "overlap_outputs.hpp"

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <sstream>

#include <nlohmann/json.hpp>

#include "cells_into_tiles.hpp"
#include "cog_writer.hpp"
#include "memory_budget.hpp"
#include "picture_script.hpp"

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

// A pair's dz on the grid library's tiles, for its raster writer.
struct DzCell {
    float dz = std::numeric_limits<float>::quiet_NaN();
    bool empty() const { return std::isnan(dz); }
};

// The picture's data as the script reads them from its standard input: one
// line of JSON, then per pair its smooth cells as little-endian float64
// triples (easting and northing of the cell's centre, dz).
std::string picture_data(const Campaign& c) {
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
    std::string cells;
    for (const auto& p : c.pairs) {
        const std::uint64_t n = p.dz.size();
        for (const CellDz& d : p.dz) {
            const double v[3] = {(d.ix + 0.5) * c.resolution, (d.iy + 0.5) * c.resolution, d.dz};
            cells.append(reinterpret_cast<const char*>(v), sizeof v);
        }
        j["pairs"].push_back({{"a", c.strips[p.a].flight.name}, {"b", c.strips[p.b].flight.name}, {"cells", n},
                              {"overlap_cells", p.overlap_cells}, {"smooth_cells", p.smooth_cells},
                              {"rmsdz_m", number_or_null(p.smooth_cells ? p.rmsdz : NAN)},
                              {"max_abs_m", number_or_null(p.smooth_cells ? p.max_abs : NAN)},
                              {"mean_m", number_or_null(p.smooth_cells ? p.mean : NAN)}, {"verdict", p.verdict}});
    }
    return j.dump() + "\n" + cells;
}

}  // namespace

int exit_status(const Campaign& c) {
    bool failed = false, untested = false;
    for (const auto& p : c.pairs) {
        failed = failed || p.verdict == "fail";
        untested = untested || p.verdict == "not tested";
    }
    for (const auto& s : c.strips) {
        const std::string v = precision_verdict(c.limits, s.precision);
        failed = failed || v == "fail";
        untested = untested || v == "not tested";
    }
    return failed ? 3 : untested ? 4 : 0;
}

RasterFolder::~RasterFolder() {
    std::error_code ec;
    for (auto it = made_.rbegin(); it != made_.rend(); ++it) fs::remove(*it, ec);  // only when empty
}

void RasterFolder::make() {
    std::error_code ec;
    std::vector<fs::path> missing;
    for (fs::path p = fs::path(path_); !p.empty() && !fs::exists(p, ec); p = p.parent_path()) {
        missing.push_back(p);
        if (p == p.parent_path()) break;
    }
    for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
        if (!fs::create_directory(*it, ec) && !fs::is_directory(*it)) {
            fail("--rasters " + path_ + ": cannot create the folder " + it->string() + ": " + ec.message());
        }
        made_.push_back(it->string());
    }
    if (!fs::is_directory(path_, ec)) fail("--rasters " + path_ + " is not a folder");
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
    for (const auto& p : c.pairs) {
        if (!p.not_tested.empty()) {
            o << "not tested: " << c.strips[p.a].flight.name << " - " << c.strips[p.b].flight.name << ": " << p.not_tested
              << "\n";
        }
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

std::string csv_text(const Campaign& c) {
    std::ostringstream o;
    o << "a,b,overlap_cells,smooth_cells,mean_m,median_m,std_m,rmsdz_m,p95_abs_m,max_abs_m,gradient_right_of_a,"
         "gradient_right_of_b,verdict,heading_a_deg,heading_b_deg,precision_a_m,precision_b_m,limits,max_rmsdz_m,max_dz_m,"
         "min_smooth_cells,test_resolution_m,not_tested\n";
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
          << csv_field(c.limits.name) << ',' << repr(c.limits.max_rmsdz) << ',' << repr(c.limits.max_dz) << ','
          << c.min_smooth_cells << ',' << repr(p.test_resolution) << ',' << csv_field(p.not_tested) << '\n';
    }
    return o.str();
}

std::string json_text(const Campaign& c, const std::vector<std::string>& rasters) {
    nlohmann::ordered_json j;
    j["crs"] = c.crs;
    j["crs_name"] = c.crs_name;
    j["resolution_m"] = c.resolution;
    j["smooth"] = {{"min_points", c.criteria.min_points}, {"max_roughness_m", c.criteria.max_roughness},
                   {"max_slope_deg", c.criteria.max_slope_deg}, {"min_smooth_cells", c.min_smooth_cells}};
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
                                {"geoid_digest", s.flight.geoid_digest},
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
            {"verdict", p.verdict}, {"not_tested", p.not_tested},
            {"test_resolution_m", number_or_null(p.test_resolution)},
            {"cells", {{"col0", p.window.ix0}, {"row0", p.window.iy0()}, {"cols", p.window.cols}, {"rows", p.window.rows}}}};
        if (i < rasters.size()) e["raster"] = rasters[i];
        j["pairs"].push_back(e);
    }
    return j.dump(1) + "\n";
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

void write_rasters(const Campaign& c, const std::vector<std::string>& paths, common::StagedFiles& staged,
                   std::uint64_t memory_left) {
    constexpr float kNodata = -999999.0f;
    for (std::size_t i = 0; i < c.pairs.size(); ++i) {
        const PairResult& p = c.pairs[i];
        raster::CogRequest request;
        request.output = staged.add(paths[i]);
        request.geometry = p.window;
        request.wkt = c.crs_wkt;
        request.type = raster::DataType::Float32;
        request.nodata = kNodata;
        request.band_descriptions = {"dz = " + c.strips[p.a].flight.name + " - " + c.strips[p.b].flight.name + " (m)"};
        request.metadata = {{"MORVA_OVERLAP_A", c.strips[p.a].flight.name}, {"MORVA_OVERLAP_B", c.strips[p.b].flight.name}};
        // The smooth cells' tiles only: the rest of the overlap's box is nodata.
        raster::TiledGrid<DzCell> cells(c.resolution);
        for (const CellDz& d : p.dz) cells.at({d.ix, d.iy}).dz = d.dz;
        raster::TiledRaster raster(p.window.cols, p.window.rows, raster::kCogTileSide, sizeof(float), {kNodata});
        const std::uint64_t raster_tiles = static_cast<std::uint64_t>(raster.tiles_x * raster.tiles_y);
        common::check_memory(cells.tiles() * decltype(cells)::tile_bytes() +
                                 std::min<std::uint64_t>(raster_tiles, 4 * cells.tiles()) * raster.band_bytes(),
                             memory_left, "the raster of " + c.strips[p.a].flight.name + " - " + c.strips[p.b].flight.name,
                             "choose a coarser --resolution or leave out --rasters");
        raster::cells_into_tiles(cells, request.geometry, raster, [&](const DzCell& cell, std::byte* tile, std::size_t at) {
            raster::tile_band<float>(raster, tile, 0)[at] = cell.dz;
        });
        raster::write_cog(request, raster::RasterTiles(raster, raster::kCogTileSide));
    }
}

void draw_picture(const Campaign& c, const std::string& temp, const std::string& output, const std::string& program_path) {
    const std::string script =
        common::picture_script_path(program_path, "morva_overlap_picture.py", MORVA_OVERLAP_PICTURE_SCRIPT);
    common::run_picture_script(script, picture_data(c), temp, output);
}

}  // namespace morva::overlap
