#include "survey_points.hpp"

#include <cmath>
#include <limits>
#include <unordered_map>

#include "checkpoint_window.hpp"
#include "classify_ground.hpp"
#include "memory_budget.hpp"
#include "point_pass.hpp"
#include "projection.hpp"
#include "text/stop.hpp"

namespace accuracy {

using morva::common::GeoPoint;
using morva::common::PointBlock;
using morva::common::PointSource;
using morva::common::Projected;
using morva::common::SourceKind;
using morva::text::stop_run;

namespace {

std::string crs_label(const PointSource& s) { return s.crs_name.empty() ? "WGS 84" : s.crs_name; }

// Ground heights summed on a coarse raster, for the picture's hillshade.
class TerrainSums {
public:
    explicit TerrainSums(double cell_size) : cell_size_(cell_size) {}
    void add(double x, double y, double z) {
        const double cx = std::floor(x / cell_size_), cy = std::floor(y / cell_size_);
        if (!(std::fabs(cx) < 2e9) || !(std::fabs(cy) < 2e9)) return;
        const auto key = (static_cast<std::uint64_t>(static_cast<std::int64_t>(cx)) << 32) ^
                         static_cast<std::uint64_t>(static_cast<std::int64_t>(cy) & 0xffffffff);
        Sum& s = sums_[key];
        s.z += z;
        ++s.n;
    }
    std::uint64_t bytes() const { return sums_.size() * 48; }
    HeightRaster raster() const {
        HeightRaster r;
        r.cell_size = cell_size_;
        if (sums_.empty()) return r;
        std::int64_t west = INT64_MAX, east = INT64_MIN, south = INT64_MAX, north = INT64_MIN;
        for (const auto& [key, s] : sums_) {
            const std::int64_t c = static_cast<std::int32_t>(key >> 32), w = static_cast<std::int32_t>(key & 0xffffffff);
            west = std::min(west, c), east = std::max(east, c), south = std::min(south, w), north = std::max(north, w);
        }
        r.west = static_cast<double>(west) * cell_size_;
        r.north = static_cast<double>(north + 1) * cell_size_;
        r.columns = static_cast<std::size_t>(east - west + 1);
        r.rows = static_cast<std::size_t>(north - south + 1);
        r.height.assign(r.columns * r.rows, std::numeric_limits<double>::quiet_NaN());
        for (const auto& [key, s] : sums_) {
            const std::int64_t c = static_cast<std::int32_t>(key >> 32), w = static_cast<std::int32_t>(key & 0xffffffff);
            r.height[static_cast<std::size_t>(north - w) * r.columns + static_cast<std::size_t>(c - west)] = s.z / s.n;
        }
        return r;
    }

private:
    struct Sum {
        double z = 0;
        std::uint64_t n = 0;
    };
    double cell_size_;
    std::unordered_map<std::uint64_t, Sum> sums_;
};

// The hillshade's raster: about this many cells along the check points' extent, at least 4 m
// (a cell then holds several ground points of a usual survey).
constexpr double kTerrainCells = 600;

}  // namespace

SurveyInputs open_inputs(const AccuracyOptions& o) {
    SurveyInputs in;
    for (const std::string& name : o.inputs) {
        PointSource s = morva::common::open_source(name, o.input_crs);
        s.filter = o.filter;
        in.sources.push_back(std::move(s));
    }
    const PointSource& first = in.sources.front();
    for (const PointSource& s : in.sources) {
        if (s.projected != first.projected || s.crs != first.crs)
            stop_run(s.name + ": its coordinate system (" + crs_label(s) + ") differs from that of " + first.name + " (" +
                     crs_label(first) + "): give inputs of one coordinate system");
        if (s.vertical != first.vertical) {
            const std::string line = "inputs " + first.name + " and " + s.name + " give heights in different systems (" +
                                     first.vertical + ", " + s.vertical + ")";
            if (!o.force) stop_run(line + "; --force compares them all the same");
            in.warnings.push_back(line);
        }
    }
    in.projected = first.projected;
    in.crs = first.projected ? first.crs : "utm";
    return in;
}

SurveyPoints read_survey(const SurveyInputs& in, std::span<const CheckPoint> points, const AccuracyOptions& o) {
    const std::uint64_t bound = o.max_memory ? o.max_memory : morva::common::default_memory_bound();
    const PointSource& first = in.sources.front();
    morva::common::ProjectionRequest request;
    request.crs = in.crs;
    request.vertical = first.vertical;
    request.native = in.projected;
    if (!in.projected && !first.crs.empty()) request.source_crs = first.crs;
    if (request.crs == "utm") {
        // The zone of the check points' middle is not known in degrees; the inputs' is.
        morva::raster::inputs_centre(in.sources, request.centre_lon, request.centre_lat);
        request.crs = morva::common::utm_crs_for(request.centre_lon, request.centre_lat);
    }
    const morva::common::ProjectionSetup setup = morva::common::make_projection(request);
    if (!setup.error.empty()) stop_run(setup.error);
    // The limits, the longest edge and the density are in metres.
    if (setup.unit != "metre")
        stop_run(first.name + ": its coordinate system (" + setup.crs_name + ") measures in " + setup.unit +
                 "; morva-accuracy measures in metres: give the points in a metric projected CRS");

    SurveyPoints out;
    out.crs_name = setup.crs_name;
    out.crs_id = setup.crs_id;
    out.vertical = first.vertical;
    const CheckPointWindow window(points, 2 * o.max_edge);
    DensityCounter density(o.density_cell);
    // The hillshade's cells: the check points' extent plus a margin, in about kTerrainCells.
    double emin = points[0].easting, emax = emin, nmin = points[0].northing, nmax = nmin;
    for (const CheckPoint& p : points) {
        emin = std::min(emin, p.easting), emax = std::max(emax, p.easting);
        nmin = std::min(nmin, p.northing), nmax = std::max(nmax, p.northing);
    }
    TerrainSums terrain(std::max({4.0, o.density_cell, (emax - emin + nmax - nmin + 200) / kTerrainCells}));
    const bool picture = !o.picture.empty();
    std::uint64_t kept_bytes = 0;
    const std::string advice = "give a larger --density-cell or fewer inputs";
    auto check = [&](std::uint64_t more) {
        kept_bytes = (out.x.capacity() * 3) * sizeof(double) + density.bytes() + terrain.bytes() + more;
        morva::common::check_memory(kept_bytes, bound, "the points kept", advice);
    };
    auto ground_point = [&](double x, double y, double z) {
        ++out.ground_points;
        if (picture) terrain.add(x, y, z);
        if (!window.contains(x, y)) return;
        if (out.x.size() == out.x.capacity()) check(out.x.capacity() * 3 * sizeof(double));
        out.x.push_back(x);
        out.y.push_back(y);
        out.z.push_back(z);
    };
    std::vector<Projected> en;
    auto projected = [&](const PointBlock& b) {
        en.resize(b.points.size());
        std::size_t bad = 0;
        if (!morva::common::project(*setup.projection, b.points.data(), en.data(), b.points.size(), &bad))
            stop_run(in.sources[b.source].name + ": a point lies where " + setup.crs_name + " has no coordinates");
    };

    // A run's scan points carry no classes: all of them are classified at once.
    std::vector<double> sx, sy, sz;
    for (std::uint32_t i = 0; i < in.sources.size(); ++i) {
        const PointSource& s = in.sources[i];
        if (s.kind == SourceKind::ScanPoints) {
            morva::common::stream_points(s, i, [&](PointBlock& b) {
                projected(b);
                if (sx.size() + b.points.size() > sx.capacity()) {
                    const std::uint64_t grown = std::max(sx.capacity() * 2, sx.size() + b.points.size());
                    morva::common::check_memory(kept_bytes + grown * (3 * sizeof(double) + 1) + sx.capacity() * 24,
                                                bound, "the scan points to classify", "give fewer inputs");
                    sx.reserve(grown), sy.reserve(grown), sz.reserve(grown);
                }
                for (std::size_t k = 0; k < b.points.size(); ++k) {
                    sx.push_back(en[k].e);
                    sy.push_back(en[k].n);
                    sz.push_back(b.points[k].h);
                }
            });
            continue;
        }
        // A LAS file: its ground points (class 2, every return) ...
        PointSource ground = s;
        ground.filter.classes.reset();
        ground.filter.classes.set(2);
        ground.filter.returns = morva::common::Returns::All;
        morva::common::stream_points(ground, i, [&](PointBlock& b) {
            projected(b);
            for (std::size_t k = 0; k < b.points.size(); ++k) ground_point(en[k].e, en[k].n, b.points[k].h);
        });
        // ... and the points its filter keeps, counted for the density.
        const auto counts = morva::common::stream_points(s, i, [&](PointBlock& b) {
            projected(b);
            for (std::size_t k = 0; k < b.points.size(); ++k) density.add(en[k].e, en[k].n);
            check(0);
        });
        out.points += counts.points;
    }
    if (!sx.empty()) {
        const std::vector<std::uint8_t> classes = ground::classify_ground(ground::Points{sx, sy, sz, {}, {}, {}}, {});
        for (std::size_t k = 0; k < sx.size(); ++k) {
            if (classes[k] == ground::kGround) ground_point(sx[k], sy[k], sz[k]);
            // Every scan point is a pulse's one return; low noise is no return of the surface.
            if (classes[k] != ground::kLowNoise) {
                density.add(sx[k], sy[k]);
                ++out.points;
            }
        }
    }
    if (out.points == 0) stop_run("the inputs hold no point (after their filters)");
    if (out.ground_points == 0) stop_run("the inputs hold no ground point (class 2)");
    const std::size_t max_cells = static_cast<std::size_t>((bound - std::min(bound, kept_bytes)) / sizeof(std::uint32_t));
    out.density = density.raster(max_cells);
    if (picture) out.terrain = terrain.raster();
    return out;
}

}  // namespace accuracy
