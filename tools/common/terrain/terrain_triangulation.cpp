// The one translation unit that includes CGAL (header-only and slow to compile).
#include "terrain_triangulation.hpp"

#include <CGAL/Delaunay_triangulation_2.h>
#include <CGAL/Exact_predicates_inexact_constructions_kernel.h>
#include <CGAL/Triangulation_vertex_base_with_info_2.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <unordered_set>
#include <utility>
#include <vector>

#include "text/stop.hpp"

namespace terrain {

namespace {
using Kernel = CGAL::Exact_predicates_inexact_constructions_kernel;
using VertexBase = CGAL::Triangulation_vertex_base_with_info_2<double, Kernel>;
using Structure = CGAL::Triangulation_data_structure_2<VertexBase>;
using Delaunay = CGAL::Delaunay_triangulation_2<Kernel, Structure>;
using Point = Kernel::Point_2;

bool has_long_edge(Delaunay::Face_handle face, double limit2) {
    const Point& a = face->vertex(0)->point();
    const Point& b = face->vertex(1)->point();
    const Point& c = face->vertex(2)->point();
    return CGAL::squared_distance(a, b) > limit2 || CGAL::squared_distance(b, c) > limit2 ||
           CGAL::squared_distance(c, a) > limit2;
}

// The plane through the face's three points at (x, y): barycentric weights
// from the sub-triangle areas, relative to the first vertex (coordinates
// differenced first: UTM magnitudes keep their digits).
double linear_height(Delaunay::Face_handle face, double x, double y) {
    const Point& a = face->vertex(0)->point();
    const Point& b = face->vertex(1)->point();
    const Point& c = face->vertex(2)->point();
    const double bx = b.x() - a.x(), by = b.y() - a.y();
    const double cx = c.x() - a.x(), cy = c.y() - a.y();
    const double px = x - a.x(), py = y - a.y();
    const double area = bx * cy - by * cx;
    const double wb = (px * cy - py * cx) / area;
    const double wc = (bx * py - by * px) / area;
    const double za = face->vertex(0)->info();
    return za + wb * (face->vertex(1)->info() - za) + wc * (face->vertex(2)->info() - za);
}
}  // namespace

struct TerrainTriangulation::Impl {
    Delaunay triangulation;
    double max_edge = 0;
};

TerrainTriangulation::TerrainTriangulation(std::span<const double> x, std::span<const double> y,
                                           std::span<const double> z, double max_edge)
    : impl_(std::make_unique<Impl>()) {
    if (x.size() != y.size() || x.size() != z.size())
        morva::text::stop_run("*** the ground points' coordinate arrays differ in length");
    impl_->max_edge = max_edge;
    std::vector<std::pair<Point, double>> points;
    points.reserve(x.size());
    for (std::size_t i = 0; i < x.size(); ++i) points.emplace_back(Point(x[i], y[i]), z[i]);
    // Inserted at once: CGAL sorts them spatially (the same order for the
    // same input), and a repeated position keeps one of its heights.
    impl_->triangulation.insert(points.begin(), points.end());
}

TerrainTriangulation::~TerrainTriangulation() = default;

TerrainHeight TerrainTriangulation::height_at(double x, double y) const {
    TerrainHeight result;
    const Delaunay& dt = impl_->triangulation;
    if (dt.dimension() < 2) return result;
    const Point p(x, y);
    const auto nearest = dt.nearest_vertex(p);
    const double nearest_distance = std::sqrt(CGAL::to_double(CGAL::squared_distance(p, nearest->point())));
    Delaunay::Locate_type type;
    int index = 0;
    const auto face = dt.locate(p, type, index);
    if (type == Delaunay::OUTSIDE_CONVEX_HULL || type == Delaunay::OUTSIDE_AFFINE_HULL || dt.is_infinite(face))
        return result;
    const double limit = impl_->max_edge;
    if (limit > 0 && nearest_distance > limit) {
        result.status = TerrainStatus::far_from_ground;
        return result;
    }
    if (limit > 0 && has_long_edge(face, limit * limit)) {
        result.status = TerrainStatus::long_edge;
        return result;
    }
    result.height = linear_height(face, x, y);
    result.status = TerrainStatus::measured;
    return result;
}

void TerrainTriangulation::heights_along_row(double y, double x0, double step, std::size_t n, double* out) const {
    const Delaunay& dt = impl_->triangulation;
    const double nan = std::numeric_limits<double>::quiet_NaN();
    if (dt.dimension() < 2) {
        std::fill(out, out + n, nan);
        return;
    }
    const double limit2 = impl_->max_edge > 0 ? impl_->max_edge * impl_->max_edge : 0;
    Delaunay::Face_handle hint, last;
    bool last_usable = false;
    for (std::size_t k = 0; k < n; ++k) {
        const double x = x0 + static_cast<double>(k) * step;
        Delaunay::Locate_type type;
        int index = 0;
        const auto face = dt.locate(Point(x, y), type, index, hint);
        // Outside, the face is an infinite one beside the hull: the next
        // walk starts there too (from a face far away it would cross the
        // whole triangulation, for every cell outside).
        hint = face;
        if (type == Delaunay::OUTSIDE_CONVEX_HULL || type == Delaunay::OUTSIDE_AFFINE_HULL || dt.is_infinite(face)) {
            out[k] = nan;
            continue;
        }
        if (face != last) {
            last = face;
            last_usable = limit2 == 0 || !has_long_edge(face, limit2);
        }
        out[k] = last_usable ? linear_height(face, x, y) : nan;
    }
}

std::size_t TerrainTriangulation::remove_pits(double depth) {
    constexpr int kPasses = 3;
    Delaunay& dt = impl_->triangulation;
    auto is_pit = [&](Delaunay::Vertex_handle v) {
        double lowest_around = std::numeric_limits<double>::infinity();
        auto around = dt.incident_vertices(v), first = around;
        do {
            if (!dt.is_infinite(around)) lowest_around = std::min(lowest_around, around->info());
        } while (++around != first);
        return v->info() < lowest_around - depth;
    };
    // Every point in the first pass; then only the neighbours of the points
    // removed, the only ones whose neighbours changed (in the order found).
    std::vector<Delaunay::Vertex_handle> candidates;
    for (auto v = dt.finite_vertices_begin(); v != dt.finite_vertices_end(); ++v) candidates.push_back(v);
    std::size_t removed = 0;
    for (int pass = 0; pass < kPasses && dt.dimension() == 2; ++pass) {
        std::vector<Delaunay::Vertex_handle> pits;
        for (const auto& v : candidates) {
            if (is_pit(v)) pits.push_back(v);
        }
        if (pits.empty()) break;
        const std::unordered_set<Delaunay::Vertex_handle> going(pits.begin(), pits.end());
        std::unordered_set<Delaunay::Vertex_handle> listed;
        candidates.clear();
        for (const auto& v : pits) {
            auto around = dt.incident_vertices(v), first = around;
            do {
                const Delaunay::Vertex_handle w = around;
                if (!dt.is_infinite(w) && !going.contains(w) && listed.insert(w).second) candidates.push_back(w);
            } while (++around != first);
        }
        for (const auto& v : pits) dt.remove(v);
        removed += pits.size();
    }
    return removed;
}

void TerrainTriangulation::row_extents(double y0, double step, std::size_t rows, std::vector<double>& lo,
                                       std::vector<double>& hi) const {
    const double inf = std::numeric_limits<double>::infinity();
    lo.assign(rows, impl_->max_edge > 0 ? inf : -inf);
    hi.assign(rows, impl_->max_edge > 0 ? -inf : inf);
    if (impl_->max_edge <= 0 || rows == 0) return;
    // Each point's easting into the row nearest it (points beyond the first
    // or last row into that row, when they reach it), then each row takes
    // the rows within max_edge plus one either side.
    const auto reach = static_cast<std::ptrdiff_t>(std::ceil(impl_->max_edge / step)) + 1;
    std::vector<double> row_lo(rows, inf), row_hi(rows, -inf);
    const Delaunay& dt = impl_->triangulation;
    for (auto v = dt.finite_vertices_begin(); v != dt.finite_vertices_end(); ++v) {
        const double k = std::round((y0 - v->point().y()) / step);
        const bool inside = k >= 0 && k < static_cast<double>(rows);
        const std::size_t at = inside ? static_cast<std::size_t>(k) : k < 0 ? 0 : rows - 1;
        if (!inside && std::abs(k - static_cast<double>(at)) > static_cast<double>(reach)) continue;
        row_lo[at] = std::min(row_lo[at], v->point().x());
        row_hi[at] = std::max(row_hi[at], v->point().x());
    }
    const auto n = static_cast<std::ptrdiff_t>(rows);
    for (std::ptrdiff_t r = 0; r < n; ++r) {
        for (std::ptrdiff_t j = std::max<std::ptrdiff_t>(0, r - reach); j <= std::min(n - 1, r + reach); ++j) {
            lo[static_cast<std::size_t>(r)] = std::min(lo[static_cast<std::size_t>(r)], row_lo[static_cast<std::size_t>(j)]);
            hi[static_cast<std::size_t>(r)] = std::max(hi[static_cast<std::size_t>(r)], row_hi[static_cast<std::size_t>(j)]);
        }
    }
}

}  // namespace terrain
