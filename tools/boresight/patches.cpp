#include "patches.hpp"

#include <cstdint>

#include <algorithm>
#include <cmath>
#include <memory>
#include <thread>
#include <unordered_map>

#include <Eigen/Eigenvalues>
#include <nanoflann.hpp>

#include "georef/geodesy.hpp"

namespace morva::boresight {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kDegree = kPi / 180.0;

// A strip's points seen from above, for nanoflann.
struct GroundView {
    const std::vector<Eigen::Vector3f>* points;
    std::size_t kdtree_get_point_count() const { return points->size(); }
    float kdtree_get_pt(std::size_t k, std::size_t dim) const { return (*points)[k][static_cast<int>(dim)]; }
    template <class Box>
    bool kdtree_get_bbox(Box&) const {
        return false;
    }
};
using Tree = nanoflann::KDTreeSingleIndexAdaptor<nanoflann::L2_Simple_Adaptor<float, GroundView>, GroundView, 2,
                                                 std::uint32_t>;

// Radius holding about twice the wanted points in the sparsest strip: from
// the distance to the eighth neighbour of points spread over each strip.
double patch_radius(const std::vector<std::vector<Eigen::Vector3f>>& points, const std::vector<std::unique_ptr<Tree>>& trees,
                    int min_points) {
    constexpr int kNeighbours = 8;
    double widest = 0;
    for (std::size_t s = 0; s < points.size(); ++s) {
        const std::size_t n = points[s].size();
        if (n < 2 * kNeighbours) continue;
        std::vector<double> radii;
        for (std::size_t k = 0; k < 257; ++k) {
            const Eigen::Vector3f& p = points[s][k * (n - 1) / 256];
            std::uint32_t index[kNeighbours];
            float d2[kNeighbours];
            const float q[2] = {p.x(), p.y()};
            if (trees[s]->knnSearch(q, kNeighbours, index, d2) == kNeighbours) radii.push_back(std::sqrt(d2[kNeighbours - 1]));
        }
        if (radii.empty()) continue;
        std::nth_element(radii.begin(), radii.begin() + radii.size() / 2, radii.end());
        widest = std::max(widest, radii[radii.size() / 2]);
    }
    return std::max(0.5, widest * std::sqrt(2.0 * min_points / kNeighbours));
}

// A candidate: the strips' points within the radius of one centre.
struct Candidate {
    Eigen::Vector3d centre;
    std::vector<PatchStrip> strips;
    std::vector<Eigen::Vector3d> normals;
    double worst_rms = 0;
};

// Plane through points: centroid, unit normal (upward), residual RMS.
struct PlaneFit {
    Eigen::Vector3d centroid, normal;
    double rms = 0;
};

PlaneFit fit_plane(const std::vector<Eigen::Vector3d>& points) {
    PlaneFit fit;
    fit.centroid.setZero();
    for (const Eigen::Vector3d& p : points) fit.centroid += p;
    fit.centroid /= static_cast<double>(points.size());
    Eigen::Matrix3d scatter = Eigen::Matrix3d::Zero();
    for (const Eigen::Vector3d& p : points) scatter += (p - fit.centroid) * (p - fit.centroid).transpose();
    const Eigen::SelfAdjointEigenSolver<Eigen::Matrix3d> eigen(scatter);
    fit.normal = eigen.eigenvectors().col(0);
    if (fit.normal.z() < 0) fit.normal = -fit.normal;
    fit.rms = std::sqrt(std::max(0.0, eigen.eigenvalues()(0)) / static_cast<double>(points.size()));
    return fit;
}

std::vector<std::uint32_t> evenly(const std::vector<std::pair<std::uint32_t, float>>& found, int most) {
    std::vector<std::uint32_t> index;
    index.reserve(found.size());
    for (const auto& f : found) index.push_back(f.first);
    std::sort(index.begin(), index.end());
    if (static_cast<int>(index.size()) <= most) return index;
    std::vector<std::uint32_t> kept;
    for (int k = 0; k < most; ++k) kept.push_back(index[static_cast<std::size_t>(k) * index.size() / most]);
    return kept;
}

}  // namespace

LocalFrame frame_at(double lat, double lon) {
    using namespace georef::wgs84;
    const double phi = lat * kDegree;
    const double w = std::sqrt(1.0 - kE2 * std::sin(phi) * std::sin(phi));
    LocalFrame f;
    f.lat0 = lat;
    f.lon0 = lon;
    f.north_per_degree = kDegree * kA * (1.0 - kE2) / (w * w * w);
    f.east_per_degree = kDegree * kA / w * std::cos(phi);
    return f;
}

std::vector<std::vector<Eigen::Vector3f>> strip_points(const std::vector<Flight>& flights, const LocalFrame& frame,
                                                       const double angles[3], int threads) {
    std::vector<std::vector<Eigen::Vector3f>> points(flights.size());
    for (std::size_t s = 0; s < flights.size(); ++s) {
        const Flight& f = flights[s];
        std::vector<Eigen::Vector3f>& out = points[s];
        out.resize(f.shots.size());
        const std::size_t n = f.shots.size(), parts = static_cast<std::size_t>(std::max(threads, 1));
        std::vector<std::thread> workers;
        for (std::size_t t = 0; t < parts; ++t) {
            workers.emplace_back([&, t] {
                for (std::size_t k = t * n / parts; k < (t + 1) * n / parts; ++k) {
                    out[k] = to_local(frame, georeference_shot(f, f.shots[k], angles)).cast<float>();
                }
            });
        }
        for (std::thread& w : workers) w.join();
    }
    return points;
}

PatchSelection select_patches(const std::vector<std::vector<Eigen::Vector3f>>& points, const PatchOptions& options) {
    PatchSelection result;
    const std::size_t nstrips = points.size();
    std::vector<GroundView> views(nstrips);
    std::vector<std::unique_ptr<Tree>> trees;
    Eigen::AlignedBox2f box;
    for (std::size_t s = 0; s < nstrips; ++s) {
        views[s].points = &points[s];
        trees.push_back(std::make_unique<Tree>(2, views[s], nanoflann::KDTreeSingleIndexAdaptorParams(16)));
        for (const Eigen::Vector3f& p : points[s]) box.extend(p.head<2>());
    }
    const double r = options.radius > 0 ? options.radius : patch_radius(points, trees, options.min_points);
    result.radius = r;
    if (box.isEmpty()) return result;

    // Candidates on a lattice of spacing r, covered by two strips or more;
    // over a large area a wider lattice, still some two hundred lattice points for
    // every patch wanted.
    std::vector<Candidate> candidates;
    std::vector<std::pair<std::uint32_t, float>> found;
    const nanoflann::SearchParams unsorted(32, 0, false);
    const double step = std::max(r, std::sqrt(static_cast<double>(box.sizes().x()) * box.sizes().y() /
                                              (200.0 * options.max_patches)));
    const auto nx = static_cast<long>(std::floor(box.sizes().x() / step)) + 1;
    const auto ny = static_cast<long>(std::floor(box.sizes().y() / step)) + 1;
    std::vector<Eigen::Vector3d> local;
    for (long iy = 0; iy < ny; ++iy) {
        for (long ix = 0; ix < nx; ++ix) {
            const float q[2] = {static_cast<float>(box.min().x() + (ix + 0.5) * step),
                                static_cast<float>(box.min().y() + (iy + 0.5) * step)};
            Candidate c;
            for (std::size_t s = 0; s < nstrips; ++s) {
                trees[s]->radiusSearch(q, static_cast<float>(r * r), found, unsorted);
                if (static_cast<int>(found.size()) < options.min_points) continue;
                PatchStrip strip;
                strip.flight = static_cast<std::uint32_t>(s);
                strip.shots = evenly(found, options.max_points);
                local.clear();
                for (std::uint32_t k : strip.shots) local.push_back(points[s][k].cast<double>());
                const PlaneFit fit = fit_plane(local);
                strip.rms = fit.rms;
                c.worst_rms = std::max(c.worst_rms, fit.rms);
                c.normals.push_back(fit.normal);
                c.strips.push_back(std::move(strip));
            }
            if (c.strips.size() < 2) continue;
            c.centre = {q[0], q[1], 0};
            candidates.push_back(std::move(c));
        }
    }
    result.candidates = static_cast<std::int64_t>(candidates.size());
    if (candidates.empty()) return result;

    // Planar: residuals near the noise, which most candidates show.
    double limit = options.planarity;
    if (!(limit > 0)) {
        std::vector<double> rms;
        for (const Candidate& c : candidates) {
            for (const PatchStrip& s : c.strips) rms.push_back(s.rms);
        }
        std::nth_element(rms.begin(), rms.begin() + rms.size() / 2, rms.end());
        limit = std::max(2.0 * rms[rms.size() / 2], 0.005);
    }
    result.planarity = limit;
    const double agreement = std::cos(options.agreement * kDegree);
    std::vector<Patch> planar;
    for (Candidate& c : candidates) {
        if (c.worst_rms > limit) continue;
        bool agree = true;
        for (std::size_t a = 1; a < c.normals.size(); ++a) agree = agree && c.normals[a].dot(c.normals[0]) >= agreement;
        if (!agree) continue;
        Patch p;
        p.strips = std::move(c.strips);
        local.clear();
        for (const PatchStrip& s : p.strips) {
            for (std::uint32_t k : s.shots) local.push_back(points[s.flight][k].cast<double>());
        }
        const PlaneFit fit = fit_plane(local);
        p.centre = fit.centroid;
        p.normal = fit.normal;
        p.slope = std::acos(std::clamp(fit.normal.z(), -1.0, 1.0)) / kDegree;
        p.aspect = std::atan2(fit.normal.x(), fit.normal.y()) / kDegree;
        if (p.aspect < 0) p.aspect += 360.0;
        planar.push_back(std::move(p));
    }
    result.planar = static_cast<std::int64_t>(planar.size());

    // Spread: bins of position (6 x 6 over the area) and orientation (level,
    // or one of eight aspects), taken in turn, the best of each bin first;
    // patches never share points (centres at least 2r apart).
    constexpr int kCells = 6;
    auto bin_of = [&](const Patch& p) {
        const int cx = std::clamp(static_cast<int>((p.centre.x() - box.min().x()) / box.sizes().x() * kCells), 0, kCells - 1);
        const int cy = std::clamp(static_cast<int>((p.centre.y() - box.min().y()) / box.sizes().y() * kCells), 0, kCells - 1);
        const int orientation = p.slope < 5.0 ? 0 : 1 + static_cast<int>(p.aspect / 45.0) % 8;
        return (cy * kCells + cx) * 9 + orientation;
    };
    // Best: the most strips, then the most points in its sparsest strip.
    // Never the smallest fit RMS: that would choose the patches whose noise
    // happened to be small, and the residuals would then understate the
    // noise the estimate carries (by some 7 % at the default sizes).
    auto quality = [](const Patch& p) {
        std::size_t fewest = SIZE_MAX;
        for (const PatchStrip& s : p.strips) fewest = std::min(fewest, s.shots.size());
        return std::make_pair(-static_cast<long>(p.strips.size()), -static_cast<long>(fewest));
    };
    std::vector<std::vector<std::size_t>> bins(kCells * kCells * 9);
    for (std::size_t k = 0; k < planar.size(); ++k) bins[bin_of(planar[k])].push_back(k);
    for (auto& b : bins) {
        std::stable_sort(b.begin(), b.end(),
                         [&](std::size_t a, std::size_t c) { return quality(planar[a]) < quality(planar[c]); });
    }
    std::unordered_map<long long, std::vector<std::size_t>> taken;  // chosen patches by cell of 2r
    auto cell_of = [&](double v) { return static_cast<long>(std::floor(v / (2 * r))); };
    auto cell_key = [&](long cx, long cy) { return cx * 1000003LL + cy; };
    auto apart = [&](const Patch& p) {
        const long cx = cell_of(p.centre.x()), cy = cell_of(p.centre.y());
        for (long dy = -1; dy <= 1; ++dy) {
            for (long dx = -1; dx <= 1; ++dx) {
                const auto it = taken.find(cell_key(cx + dx, cy + dy));
                if (it == taken.end()) continue;
                for (std::size_t k : it->second) {
                    if ((result.patches[k].centre - p.centre).head<2>().norm() < 2 * r) return false;
                }
            }
        }
        return true;
    };
    std::vector<std::size_t> next(bins.size(), 0);
    for (bool progress = true; progress && static_cast<int>(result.patches.size()) < options.max_patches;) {
        progress = false;
        for (std::size_t b = 0; b < bins.size() && static_cast<int>(result.patches.size()) < options.max_patches; ++b) {
            while (next[b] < bins[b].size()) {
                Patch& p = planar[bins[b][next[b]++]];
                if (!apart(p)) continue;
                taken[cell_key(cell_of(p.centre.x()), cell_of(p.centre.y()))].push_back(result.patches.size());
                result.patches.push_back(std::move(p));
                progress = true;
                break;
            }
        }
    }
    return result;
}

}  // namespace morva::boresight
