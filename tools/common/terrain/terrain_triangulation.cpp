// The one translation unit that includes CGAL (header-only and slow to compile).
#include "terrain_triangulation.hpp"

#include <CGAL/Delaunay_triangulation_2.h>
#include <CGAL/Exact_predicates_inexact_constructions_kernel.h>
#include <CGAL/Triangulation_vertex_base_with_info_2.h>

#include <algorithm>
#include <cstdint>
#include <cmath>
#include <limits>
#include <unordered_set>
#include <utility>
#include <vector>

#include "text/stop.hpp"

namespace terrain {

namespace {
using Kernel = CGAL::Exact_predicates_inexact_constructions_kernel;
// A ground point's height and its place among all the ground points (a
// piece of the whole triangulation names its points by that place).
struct VertexInfo {
    double z = 0;
    std::uint32_t id = 0;
};
using VertexBase = CGAL::Triangulation_vertex_base_with_info_2<VertexInfo, Kernel>;
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
// from the sub-triangle areas, relative to the westernmost (then
// southernmost) corner, so that the same triangle gives the same bits in
// any triangulation holding it, whichever corner that one numbers first
// (coordinates differenced first: UTM magnitudes keep their digits).
double linear_height(Delaunay::Face_handle face, double x, double y) {
    int first = 0;
    for (int i = 1; i < 3; ++i) {
        if (face->vertex(i)->point() < face->vertex(first)->point()) first = i;
    }
    const auto va = face->vertex(first), vb = face->vertex((first + 1) % 3), vc = face->vertex((first + 2) % 3);
    const Point& a = va->point();
    const Point& b = vb->point();
    const Point& c = vc->point();
    const double bx = b.x() - a.x(), by = b.y() - a.y();
    const double cx = c.x() - a.x(), cy = c.y() - a.y();
    const double px = x - a.x(), py = y - a.y();
    const double area = bx * cy - by * cx;
    const double wb = (px * cy - py * cx) / area;
    const double wc = (bx * py - by * px) / area;
    const double za = va->info().z;
    return za + wb * (vb->info().z - za) + wc * (vc->info().z - za);
}

// Whether no live point of the whole beyond the piece's bins lies in the
// face's closed circumcircle (finite face) or strictly beyond its hull edge
// (infinite face): then the face is one of the whole triangulation's too.
// With `missing`, the points that break it are listed (some of those in the
// circle; beyond a hull edge from corner v, the one v's hull edge in the
// whole reaches) so that a piece holding them comes closer to the whole.
bool face_is_whole(const Delaunay& dt, Delaunay::Face_handle face, const Held& held,
                   Delaunay::Vertex_handle v = {}, std::vector<std::uint32_t>* missing = nullptr) {
    // The points that break it weighed, at most: a wide circle may hold many.
    constexpr std::size_t kScanned = 4096;
    const GroundIndex& g = *held.all;
    if (g.covers_all(held.box)) return true;
    ScanShape s;
    if (dt.is_infinite(face)) {
        const int i = face->index(dt.infinite_vertex());
        const Point p = face->vertex(Delaunay::ccw(i))->point(), q = face->vertex(Delaunay::cw(i))->point();
        // The infinite vertex lies left of p -> q: so do the points beyond.
        s.half_plane = true;
        s.a = -(q.y() - p.y()), s.b = q.x() - p.x();
        s.c = s.a * p.x() + s.b * p.y();
        // From p the whole's hull edge turns furthest left, from q furthest right.
        const bool from_p = v == Delaunay::Vertex_handle() || v->point() == p;
        const Point& from = from_p ? p : q;
        Point reach = from_p ? q : p;
        std::size_t extreme = static_cast<std::size_t>(-1), listed = 0;
        const bool any = g.any_beyond(held.box, s, [&](std::size_t k) {
            const Point r(g.x[k], g.y[k]);
            if (CGAL::orientation(p, q, r) != CGAL::LEFT_TURN) return false;
            if (missing == nullptr || ++listed == kScanned) return true;
            if (CGAL::orientation(from, reach, r) == (from_p ? CGAL::LEFT_TURN : CGAL::RIGHT_TURN)) reach = r, extreme = k;
            return false;
        });
        if (missing != nullptr && extreme != static_cast<std::size_t>(-1)) missing->push_back(static_cast<std::uint32_t>(extreme));
        return !any && extreme == static_cast<std::size_t>(-1);
    }
    const Point& a = face->vertex(0)->point();
    const Point& b = face->vertex(1)->point();
    const Point& c = face->vertex(2)->point();
    const Point centre = CGAL::circumcenter(a, b, c);
    s.cx = centre.x(), s.cy = centre.y(), s.r = std::sqrt(CGAL::squared_distance(centre, a));
    const double pad = 1e-6 * s.r + 1e-6;
    if (s.cx - s.r - pad > held.box.x0 && s.cx + s.r + pad < held.box.x1 && s.cy - s.r - pad > held.box.y0 &&
        s.cy + s.r + pad < held.box.y1)
        return true;
    // Along each edge from v, the point in the circle whose circle with
    // that edge bulges least to the face's side: the corner the whole's
    // triangle there has, or closer to it.
    struct Edge {
        Point w;
        double best = HUGE_VAL;
        std::size_t at = static_cast<std::size_t>(-1);
    };
    std::vector<Edge> edges;
    const int iv = v == Delaunay::Vertex_handle() || !face->has_vertex(v) ? -1 : face->index(v);
    if (iv >= 0) edges = {{face->vertex(Delaunay::ccw(iv))->point()}, {face->vertex(Delaunay::cw(iv))->point()}};
    std::size_t listed = 0, first = 0;
    g.any_beyond(held.box, s, [&](std::size_t k) {
        const Point r(g.x[k], g.y[k]);
        // A corner may lie beyond the bins (a point the piece was given besides them).
        if (r == a || r == b || r == c || CGAL::side_of_oriented_circle(a, b, c, r) == CGAL::ON_NEGATIVE_SIDE) return false;
        if (listed++ == 0) first = k;
        for (Edge& e : edges) {
            const Point& o = face->vertex(iv)->point();
            const Point& third = e.w == face->vertex(Delaunay::ccw(iv))->point() ? face->vertex(Delaunay::cw(iv))->point()
                                                                                : face->vertex(Delaunay::ccw(iv))->point();
            if (CGAL::orientation(o, e.w, r) != CGAL::orientation(o, e.w, third)) continue;
            const Point m = CGAL::circumcenter(o, e.w, r);
            const double nx = -(e.w.y() - o.y()), ny = e.w.x() - o.x();
            const double side = (third.x() - o.x()) * nx + (third.y() - o.y()) * ny > 0 ? 1.0 : -1.0;
            const double bulge = side * ((m.x() - o.x()) * nx + (m.y() - o.y()) * ny);
            if (bulge < e.best) e.best = bulge, e.at = k;
        }
        return missing == nullptr || listed == kScanned;
    });
    if (missing != nullptr && listed > 0) {
        std::size_t added = 0;
        for (const Edge& e : edges) {
            if (e.at != static_cast<std::size_t>(-1)) missing->push_back(static_cast<std::uint32_t>(e.at)), ++added;
        }
        if (added == 0) missing->push_back(static_cast<std::uint32_t>(first));
    }
    return listed == 0;
}
}  // namespace

struct TerrainTriangulation::Impl {
    Delaunay triangulation;
    double max_edge = 0;
};

TerrainTriangulation::TerrainTriangulation(std::span<const double> x, std::span<const double> y,
                                           std::span<const double> z, double max_edge,
                                           std::span<const std::uint32_t> ids)
    : impl_(std::make_unique<Impl>()) {
    if (x.size() != y.size() || x.size() != z.size() || (!ids.empty() && ids.size() != x.size()))
        morva::text::stop_run("*** the ground points' coordinate arrays differ in length");
    impl_->max_edge = max_edge;
    std::vector<std::pair<Point, VertexInfo>> points;
    points.reserve(x.size());
    for (std::size_t i = 0; i < x.size(); ++i)
        points.emplace_back(Point(x[i], y[i]), VertexInfo{z[i], ids.empty() ? 0 : ids[i]});
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

void TerrainTriangulation::sample_row(double y, double x0, double step, std::size_t n, double* out,
                                      const Held* held) const {
    const Delaunay& dt = impl_->triangulation;
    const double nan = std::numeric_limits<double>::quiet_NaN();
    if (dt.dimension() < 2) {
        std::fill(out, out + n, nan);
        return;
    }
    const double limit2 = impl_->max_edge > 0 ? impl_->max_edge * impl_->max_edge : 0;
    // A face gives heights when its edges are short enough and, in a piece,
    // when it is one of the whole's.
    auto gives_heights = [&](Delaunay::Face_handle f) {
        return !dt.is_infinite(f) && (limit2 == 0 || !has_long_edge(f, limit2)) &&
               (held == nullptr || face_is_whole(dt, f, *held));
    };
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
            last_usable = gives_heights(face);
        }
        out[k] = last_usable ? linear_height(face, x, y) : nan;
        if (last_usable || held == nullptr || type == Delaunay::FACE) continue;
        // On an edge or a corner, another face holding the position may be
        // the whole's.
        if (type == Delaunay::EDGE) {
            const auto other = face->neighbor(index);
            if (gives_heights(other)) out[k] = linear_height(other, x, y);
            continue;
        }
        auto around = dt.incident_faces(face->vertex(index)), first = around;
        do {
            if (gives_heights(around)) {
                out[k] = linear_height(around, x, y);
                break;
            }
        } while (++around != first);
    }
}

void TerrainTriangulation::heights_along_row(double y, double x0, double step, std::size_t n, double* out) const {
    sample_row(y, x0, step, n, out, nullptr);
}

void TerrainTriangulation::heights_along_row_of_whole(double y, double x0, double step, std::size_t n, double* out,
                                                      const Held& held) const {
    sample_row(y, x0, step, n, out, &held);
}

PitVerdict TerrainTriangulation::pit_verdict(double x, double y, double depth, const Held& held) const {
    PitVerdict verdict;
    const Delaunay& dt = impl_->triangulation;
    if (dt.dimension() < 2) return verdict;
    Delaunay::Locate_type type;
    int index = 0;
    const auto face = dt.locate(Point(x, y), type, index);
    if (type != Delaunay::VERTEX) return verdict;
    const Delaunay::Vertex_handle v = face->vertex(index);
    auto faces = dt.incident_faces(v), first_face = faces;
    bool whole = true;
    do {
        whole = face_is_whole(dt, faces, held, v, &verdict.missing) && whole;
    } while (++faces != first_face);
    if (!whole) return verdict;
    double lowest_around = std::numeric_limits<double>::infinity();
    auto around = dt.incident_vertices(v), first = around;
    do {
        if (dt.is_infinite(around)) continue;
        lowest_around = std::min(lowest_around, around->info().z);
        verdict.neighbours.push_back(around->info().id);
    } while (++around != first);
    verdict.certain = true;
    verdict.pit = v->info().z < lowest_around - depth;
    return verdict;
}

std::size_t TerrainTriangulation::remove_pits(double depth) {
    Delaunay& dt = impl_->triangulation;
    auto is_pit = [&](Delaunay::Vertex_handle v) {
        double lowest_around = std::numeric_limits<double>::infinity();
        auto around = dt.incident_vertices(v), first = around;
        do {
            if (!dt.is_infinite(around)) lowest_around = std::min(lowest_around, around->info().z);
        } while (++around != first);
        return v->info().z < lowest_around - depth;
    };
    // Every point in the first pass; then only the neighbours of the points
    // removed, the only ones whose neighbours changed (in the order found).
    std::vector<Delaunay::Vertex_handle> candidates;
    for (auto v = dt.finite_vertices_begin(); v != dt.finite_vertices_end(); ++v) candidates.push_back(v);
    std::size_t removed = 0;
    for (int pass = 0; pass < kPitPasses && dt.dimension() == 2; ++pass) {
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
