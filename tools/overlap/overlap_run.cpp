#include "overlap_run.hpp"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <future>
#include <string>
#include <vector>

#include "flight_inputs.hpp"
#include "memory_budget.hpp"
#include "overlap_outputs.hpp"
#include "plane_cells.hpp"
#include "point_pass.hpp"
#include "staged_files.hpp"
#include "text/command_line.hpp"

namespace morva::overlap {
namespace {

// Flights compared as one campaign must give heights in one system (above
// one geoid grid: its content decides, not its name) and be georeferenced in
// one mode; --force lists the difference instead.
void check_consistent(const std::vector<Flight>& flights, bool force, std::vector<std::string>& warnings) {
    auto differ = [&](const Flight& f, const std::string& why) {
        const std::string line = "flights " + flights[0].name + " and " + f.name + " " + why;
        if (!force) fail(line + "; --force compares them all the same");
        warnings.push_back(line);
    };
    for (const auto& f : flights) {
        if (f.source.vertical != flights[0].source.vertical) {
            differ(f, "give heights in different systems (" + flights[0].source.vertical + ", " + f.source.vertical + ")");
        } else if (f.geoid_digest != flights[0].geoid_digest) {
            differ(f, "give heights above different geoid grids of one name (" + f.source.named_geoid +
                          ": their contents differ)");
        }
        if (f.geodesy != flights[0].geodesy) {
            differ(f, "were georeferenced in different geodesy modes (" + flights[0].geodesy + ", " + f.geodesy + ")");
        }
    }
}

std::uint64_t memory_bound(const OverlapOptions& o) { return o.max_memory ? o.max_memory : common::default_memory_bound(); }

constexpr std::string_view kCoarser = "choose a coarser --resolution";

}  // namespace

int compare_flights(const OverlapOptions& o) {
    Campaign c;
    c.resolution = o.resolution;
    c.criteria = o.criteria;
    c.min_smooth_cells = o.min_smooth_cells;
    c.limits = o.limits;
    c.forced = o.force;
    const std::vector<Flight> flights = find_flights(o.inputs, o.input_crs, o.filter, o.by_source_id);
    check_consistent(flights, o.force, c.warnings);
    const std::vector<inputs::RunFile> protected_files = files_of(flights);
    std::vector<std::string> outputs;
    for (const std::string* out : {&o.csv, &o.json, &o.picture}) {
        if (!out->empty()) common::check_output(*out, protected_files, outputs);
    }
    std::error_code ec;
    if (!o.rasters.empty() && std::filesystem::exists(o.rasters, ec) && !std::filesystem::is_directory(o.rasters, ec)) {
        fail("--rasters " + o.rasters + " is not a folder");
    }
    const std::uint64_t bound = memory_bound(o);

    // One pass over every flight's points: projected once, summed into the
    // strip's own cells of the one grid.
    std::vector<common::PointSource> sources;
    for (const auto& f : flights) sources.push_back(f.source);
    const common::ProjectionRequest request = raster::projection_request(sources, o.crs);
    std::future<common::ProjectionSetup> pending = common::start_projection(request);
    common::ProjectionSetup setup;
    std::vector<StripCells> cells(flights.size(), StripCells(o.resolution));
    std::vector<TrackSums> tracks(flights.size());
    std::vector<double> order(flights.size(), 0);
    std::uint64_t used = 0;  // by every strip's cells: checked against the bound before each grows
    std::vector<std::uint64_t> strip_bytes(flights.size(), 0);
    const std::string what = "the cells of the flights' points at " + text::number_text(o.resolution) + " m";
    const raster::PassCounts counts = raster::project_points(sources, pending, setup, [&](const raster::ProjectedBlock& b) {
        StripCells& g = cells[b.source];
        TrackSums& t = tracks[b.source];
        double& k = order[b.source];
        for (std::size_t i = 0; i < b.n; ++i) {
            const std::size_t had = g.sums.size();
            if (g.full()) common::check_memory(used + g.bytes_to_grow(), bound, what, std::string(kCoarser));
            if (!add_point(g, b.en[i].e, b.en[i].n, b.geo[i].h)) {
                fail("flight " + flights[b.source].name + ": a point lies too far from the grid's origin (" +
                     text::number_text(b.en[i].e) + ", " + text::number_text(b.en[i].n) + ") for cells of " +
                     text::number_text(o.resolution) + " m");
            }
            if (g.sums.size() != had) {
                used += g.bytes() - strip_bytes[b.source];
                strip_bytes[b.source] = g.bytes();
            }
            // The record's place in the file stands for its time: the flight
            // line is position against progress along the recording.
            add_track(t, k, b.en[i].e, b.en[i].n);
            k += 1;
        }
    });
    c.crs = !setup.crs_id.empty() ? setup.crs_id : request.native ? setup.crs_name : request.crs;
    c.crs_name = setup.crs_name;
    c.crs_wkt = setup.wkt;
    c.strips.resize(flights.size());
    std::uint64_t kept = 0;  // the planes of the strips summarised so far
    for (std::size_t i = 0; i < flights.size(); ++i) {
        if (counts.points_per_source[i] == 0) fail("flight " + flights[i].name + " has no scan points with a position");
        std::uint64_t sums = 0;
        for (std::size_t k = i; k < flights.size(); ++k) sums += cells[k].bytes();
        // Its planes, its cells' order, and the keys that order is sorted by.
        const std::uint64_t per_cell = sizeof(CellPlane) + sizeof(std::uint32_t) + 16;
        common::check_memory(sums + kept + cells[i].sums.size() * per_cell, bound,
                             "the planes of flight " + flights[i].name, std::string(kCoarser));
        c.strips[i].flight = flights[i];
        c.strips[i].points = counts.points_per_source[i];
        summarise(c.strips[i], std::move(cells[i]), tracks[i], o.criteria);
        kept += c.strips[i].cells.bytes() + c.strips[i].planes.capacity() * sizeof(CellPlane) +
                c.strips[i].south_to_north.capacity() * sizeof(std::uint32_t);
    }

    for (std::size_t a = 0; a < c.strips.size(); ++a) {
        for (std::size_t b = a + 1; b < c.strips.size(); ++b) {
            const std::uint64_t most = std::min(c.strips[a].smooth_cells, c.strips[b].smooth_cells);
            common::check_memory(kept + most * (sizeof(CellDz) + 3 * sizeof(double)) + c.strips[a].cells.size() * 4,
                                 bound, "the differences of " + c.strips[a].flight.name + " and " + c.strips[b].flight.name,
                                 std::string(kCoarser));
            PairResult r;
            r.a = a;
            r.b = b;
            if (!compare(c.strips[a], c.strips[b], r)) continue;
            kept += r.dz.capacity() * sizeof(CellDz);
            r.verdict = pair_verdict(c.limits, r.smooth_cells, c.min_smooth_cells, r.rmsdz, r.max_abs);
            if (r.verdict == "not tested") explain_not_tested(r, c.strips[a], c.strips[b], o.criteria, c.min_smooth_cells);
            c.pairs.push_back(std::move(r));
        }
    }
    if (c.pairs.empty()) fail("no two of the " + std::to_string(flights.size()) + " flights overlap: their strips share no cell");

    // Every file is staged and appears with the others once all are complete
    // (the folder made for the rasters goes when they do).
    RasterFolder folder(o.rasters);
    common::StagedFiles staged;
    std::vector<std::string> rasters;
    if (!o.rasters.empty()) {
        for (const auto& p : c.pairs) {
            rasters.push_back((std::filesystem::path(o.rasters) / raster_name(c, p)).string());
            common::check_output(rasters.back(), protected_files, outputs);
        }
        folder.make();
        write_rasters(c, rasters, staged, bound - std::min(bound, kept));
    }
    if (!o.csv.empty()) common::write_staged(staged, o.csv, csv_text(c));
    if (!o.json.empty()) common::write_staged(staged, o.json, json_text(c, rasters));
    if (!o.picture.empty()) draw_picture(c, staged.add(o.picture), o.picture, o.program_path);
    staged.commit();
    folder.keep();
    const std::string t = table(c);
    std::fwrite(t.data(), 1, t.size(), stdout);
    if (std::fflush(stdout) != 0) return 1;
    return exit_status(c);
}

}  // namespace morva::overlap
