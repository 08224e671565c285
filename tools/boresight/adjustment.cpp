#include "adjustment.hpp"

#include <algorithm>
#include <cmath>
#include <numeric>

#include <Eigen/Dense>
#include <ceres/ceres.h>
#include <ceres/covariance.h>

namespace morva::boresight {
namespace {

constexpr double kAngleStep = 1e-4;  // degrees, for the central differences
constexpr double kLeastCosine = 0.2;  // between beam and plane normal

// The range residual of one patch point, recomputed with the trial angles:
// how far along its beam the point lies from its patch's plane
// z = a x + b y + d (patch coordinates). The scanner's noise is in the
// range, so this is the residual with one variance for every point; the
// point-to-plane distance is it times the cosine between beam and normal,
// and minimising that would reward planes that turn towards the beams (the
// cosine depends on the plane), a bias of the order of the noise's
// variance over the patch's size. The beam direction is taken once, at the
// angles the patches were chosen with: it moves with the angles by no more
// than they do. The angles' derivatives by central differences through the
// core's georeferencing, the plane's in closed form.
class RangeToPlane final : public ceres::SizedCostFunction<1, 3, 3> {
public:
    RangeToPlane(const Flight& flight, const Shot& shot, const LocalFrame& frame, const Eigen::Vector3d& origin,
                 const Eigen::Vector3d& beam)
        : flight_(flight), shot_(shot), frame_(frame), origin_(origin), beam_(beam) {}

    bool Evaluate(double const* const* parameters, double* residuals, double** jacobians) const override {
        const double* angles = parameters[0];
        const double* plane = parameters[1];
        const Eigen::Vector3d p = point(angles);
        const double cosine = across(plane);
        const double r = height(p, plane) / cosine;
        residuals[0] = r;
        if (jacobians == nullptr) return true;
        if (jacobians[0] != nullptr) {
            for (int k = 0; k < 3; ++k) {
                double trial[3] = {angles[0], angles[1], angles[2]};
                trial[k] = angles[k] + kAngleStep;
                const double up = height(point(trial), plane);
                trial[k] = angles[k] - kAngleStep;
                const double down = height(point(trial), plane);
                jacobians[0][k] = (up - down) / (2 * kAngleStep * cosine);
            }
        }
        if (jacobians[1] != nullptr) {
            jacobians[1][0] = (-p.x() + r * beam_.x()) / cosine;
            jacobians[1][1] = (-p.y() + r * beam_.y()) / cosine;
            jacobians[1][2] = -1.0 / cosine;
        }
        return true;
    }

    // The point's distance from the plane, perpendicular to it (metres).
    double point_to_plane(const double* angles, const double* plane) const {
        return height(point(angles), plane) / std::sqrt(1.0 + plane[0] * plane[0] + plane[1] * plane[1]);
    }

private:
    Eigen::Vector3d point(const double* angles) const {
        return to_local(frame_, georeference_shot(flight_, shot_, angles)) - origin_;
    }
    // Height above the plane, and the beam's component along (-a, -b, 1).
    static double height(const Eigen::Vector3d& p, const double* plane) {
        return p.z() - plane[0] * p.x() - plane[1] * p.y() - plane[2];
    }
    double across(const double* plane) const { return beam_.z() - plane[0] * beam_.x() - plane[1] * beam_.y(); }

    const Flight& flight_;
    const Shot& shot_;
    const LocalFrame& frame_;
    Eigen::Vector3d origin_;
    Eigen::Vector3d beam_;  // unit, from the ground point towards the scanner
};

// The unit beam direction of a shot at `angles`, pointing up to the scanner:
// its point moved one metre nearer along the range.
Eigen::Vector3d beam_direction(const Flight& flight, const Shot& shot, const LocalFrame& frame, const double* angles) {
    return (to_local(frame, georeference_shot(flight, shot, angles, -1.0)) -
            to_local(frame, georeference_shot(flight, shot, angles)))
        .normalized();
}

struct Block {
    std::size_t patch;
    RangeToPlane* cost;
};

struct Problem {
    ceres::Problem problem;
    std::vector<Block> blocks;
    std::vector<std::array<double, 3>> planes;
    double angles[3] = {0, 0, 0};
    Problem() : problem(ceres_options()) {}
    static ceres::Problem::Options ceres_options() {
        ceres::Problem::Options o;
        o.cost_function_ownership = ceres::TAKE_OWNERSHIP;
        o.loss_function_ownership = ceres::TAKE_OWNERSHIP;
        return o;
    }
};

// Makes the residuals of every patch point; returns the mean secant of the
// angle between beam and normal, which turns a distance to the plane into
// a range.
double build(Problem& pr, const std::vector<Flight>& flights, const LocalFrame& frame, const std::vector<Patch>& patches) {
    double secants = 0;
    pr.planes.resize(patches.size());
    for (std::size_t k = 0; k < patches.size(); ++k) {
        const Patch& patch = patches[k];
        // The plane through all strips' points at the start.
        const Eigen::Vector3d& n = patch.normal;
        pr.planes[k] = {-n.x() / n.z(), -n.y() / n.z(), 0.0};
        for (const PatchStrip& strip : patch.strips) {
            const Flight& f = flights[strip.flight];
            for (std::uint32_t s : strip.shots) {
                const Eigen::Vector3d beam = beam_direction(f, f.shots[s], frame, pr.angles);
                // A beam grazing the plane has no range to it worth the name.
                if (!(beam.dot(n) >= kLeastCosine)) continue;
                auto* cost = new RangeToPlane(f, f.shots[s], frame, patch.centre, beam);
                pr.blocks.push_back({k, cost});
                secants += 1.0 / beam.dot(n);
            }
        }
    }
    return pr.blocks.empty() ? 1.0 : secants / static_cast<double>(pr.blocks.size());
}

void add_residuals(Problem& pr, double loss) {
    for (const Block& b : pr.blocks) {
        pr.problem.AddResidualBlock(b.cost, new ceres::HuberLoss(loss), pr.angles, pr.planes[b.patch].data());
    }
}

ceres::Solver::Summary solve(Problem& pr, int threads, int iterations) {
    ceres::Solver::Options o;
    o.linear_solver_type = ceres::SPARSE_SCHUR;
    o.num_threads = threads;
    o.max_num_iterations = iterations;
    o.function_tolerance = 1e-12;
    o.parameter_tolerance = 1e-12;
    o.gradient_tolerance = 1e-14;
    o.logging_type = ceres::SILENT;
    ceres::Solver::Summary summary;
    ceres::Solve(o, &pr.problem, &summary);
    return summary;
}

double rms(const Problem& pr) {
    double sum = 0;
    for (const Block& b : pr.blocks) {
        const double r = b.cost->point_to_plane(pr.angles, pr.planes[b.patch].data());
        sum += r * r;
    }
    return pr.blocks.empty() ? 0.0 : std::sqrt(sum / static_cast<double>(pr.blocks.size()));
}

// The angles' information with the planes eliminated, each point weighted
// as the Huber loss weighs it.
Eigen::Matrix3d angle_information(const Problem& pr, std::size_t npatches, double loss) {
    struct Sums {
        Eigen::Matrix3d aa = Eigen::Matrix3d::Zero(), ap = Eigen::Matrix3d::Zero(), pp = Eigen::Matrix3d::Zero();
    };
    std::vector<Sums> sums(npatches);
    for (const Block& b : pr.blocks) {
        const double* parameters[2] = {pr.angles, pr.planes[b.patch].data()};
        double r = 0;
        Eigen::Vector3d ja, jp;
        double* jacobians[2] = {ja.data(), jp.data()};
        b.cost->Evaluate(parameters, &r, jacobians);
        const double w = std::fabs(r) <= loss ? 1.0 : loss / std::fabs(r);
        Sums& s = sums[b.patch];
        s.aa += w * ja * ja.transpose();
        s.ap += w * ja * jp.transpose();
        s.pp += w * jp * jp.transpose();
    }
    Eigen::Matrix3d info = Eigen::Matrix3d::Zero();
    for (const Sums& s : sums) {
        info += s.aa - s.ap * s.pp.completeOrthogonalDecomposition().solve(s.ap.transpose());
    }
    return info;
}

// Which angles the information determines, and the standard deviation each
// would have (a null direction gives infinity to the angles it holds).
void judge(const Eigen::Matrix3d& info, double noise, const AdjustOptions& options, Adjustment& a) {
    const Eigen::SelfAdjointEigenSolver<Eigen::Matrix3d> eigen(info);
    const double largest = std::fabs(eigen.eigenvalues()(2));
    Eigen::Matrix3d cov = Eigen::Matrix3d::Zero();
    std::array<bool, 3> null_part{false, false, false};
    for (int i = 0; i < 3; ++i) {
        const double lambda = eigen.eigenvalues()(i);
        const Eigen::Vector3d v = eigen.eigenvectors().col(i);
        if (!(lambda > largest * 1e-12) || largest == 0) {
            for (int k = 0; k < 3; ++k) null_part[k] = null_part[k] || std::fabs(v(k)) > 0.1;
            continue;
        }
        cov += v * v.transpose() / lambda;
    }
    for (int k = 0; k < 3; ++k) {
        a.spread[k] = null_part[k] ? INFINITY : noise * std::sqrt(cov(k, k));
        a.determined[k] = !null_part[k] && a.spread[k] <= options.max_sigma;
    }
}

// Patches whose plane turned away from the strips' (two surfaces taken for
// one, the plane leaning to fit both) or whose points stay far from it.
std::vector<std::size_t> misfits(const Problem& pr, const std::vector<Patch>& patches, double noise, double agreement) {
    std::vector<double> squares(patches.size(), 0.0);
    std::vector<int> counts(patches.size(), 0);
    for (const Block& b : pr.blocks) {
        const double* parameters[2] = {pr.angles, pr.planes[b.patch].data()};
        double r = 0;
        b.cost->Evaluate(parameters, &r, nullptr);
        squares[b.patch] += r * r;
        ++counts[b.patch];
    }
    std::vector<std::size_t> bad;
    for (std::size_t k = 0; k < patches.size(); ++k) {
        const auto& p = pr.planes[k];
        const Eigen::Vector3d n = Eigen::Vector3d(-p[0], -p[1], 1.0).normalized();
        const bool turned = !(n.dot(patches[k].normal) >= std::cos(agreement * 3.14159265358979323846 / 180.0));
        const bool far = !(std::sqrt(squares[k] / std::max(counts[k], 1)) <= 3.0 * noise);
        if (turned || far) bad.push_back(k);
    }
    return bad;
}

Adjustment adjust_once(const std::vector<Flight>& flights, const LocalFrame& frame, const std::vector<Patch>& patches,
                       const std::array<double, 3>& start, const AdjustOptions& options, std::vector<std::size_t>& bad) {
    Adjustment a;
    a.start = a.estimate = start;
    double sum = 0;
    std::int64_t nstrips = 0;
    for (const Patch& p : patches) {
        for (const PatchStrip& s : p.strips) {
            sum += s.rms;
            ++nstrips;
        }
    }
    Problem pr;
    for (int k = 0; k < 3; ++k) pr.angles[k] = start[k];
    const double secant = build(pr, flights, frame, patches);
    // The strips' own plane-fit RMS, along the beams: the range noise,
    // whatever the angles.
    const double strip_noise = nstrips > 0 ? secant * sum / static_cast<double>(nstrips) : 0.0;
    a.loss = options.loss > 0 ? options.loss : std::max(3.0 * strip_noise, 0.01);
    add_residuals(pr, a.loss);
    a.points = static_cast<std::int64_t>(pr.blocks.size());
    const double parameters = 3.0 + 3.0 * static_cast<double>(patches.size());

    // Before: the planes fitted with the angles held at the start.
    pr.problem.SetParameterBlockConstant(pr.angles);
    solve(pr, options.threads, options.max_iterations);
    a.rms_before = rms(pr);
    pr.problem.SetParameterBlockVariable(pr.angles);
    const double dof = std::max(1.0, static_cast<double>(a.points) - parameters);

    judge(angle_information(pr, patches.size(), a.loss), std::max(strip_noise, 1e-4), options, a);
    if (!(a.determined[0] && a.determined[1] && a.determined[2])) {
        a.rms_after = a.rms_before;
        return a;
    }

    const ceres::Solver::Summary summary = solve(pr, options.threads, options.max_iterations);
    a.iterations = static_cast<int>(summary.iterations.size());
    a.converged = summary.termination_type == ceres::CONVERGENCE;
    for (int k = 0; k < 3; ++k) a.estimate[k] = pr.angles[k];
    a.rms_after = rms(pr);
    a.noise = std::sqrt(2.0 * summary.final_cost / dof);

    bad = misfits(pr, patches, a.noise, 10.0);
    const Eigen::Matrix3d info = angle_information(pr, patches.size(), a.loss);
    judge(info, std::max(a.noise, 1e-6), options, a);

    // The covariance of the angles from the solver, scaled by the residuals'
    // variance (the residuals are not normalised).
    Eigen::Matrix3d cov;
    ceres::Covariance::Options co;
    co.num_threads = options.threads;
    ceres::Covariance covariance(co);
    const std::vector<std::pair<const double*, const double*>> wanted = {{pr.angles, pr.angles}};
    if (covariance.Compute(wanted, &pr.problem)) {
        covariance.GetCovarianceBlock(pr.angles, pr.angles, cov.data());
    } else {
        cov = info.inverse();
    }
    cov *= a.noise * a.noise;
    for (int i = 0; i < 3; ++i) {
        a.sigma[i] = std::sqrt(cov(i, i));
        for (int j = 0; j < 3; ++j) a.correlation[i][j] = cov(i, j) / std::sqrt(cov(i, i) * cov(j, j));
    }
    return a;
}

}  // namespace

Adjustment adjust(const std::vector<Flight>& flights, const LocalFrame& frame, const std::vector<Patch>& patches,
                  const std::array<double, 3>& start, const AdjustOptions& options) {
    std::vector<std::size_t> kept(patches.size());
    std::iota(kept.begin(), kept.end(), std::size_t{0});
    Adjustment a;
    for (int pass = 0; pass < 3; ++pass) {
        std::vector<Patch> used;
        for (std::size_t k : kept) used.push_back(patches[k]);
        std::vector<std::size_t> bad;
        a = adjust_once(flights, frame, used, start, options, bad);
        a.used = kept;
        if (bad.empty() || !(a.determined[0] && a.determined[1] && a.determined[2])) break;
        // The misfits are listed in ascending order.
        std::vector<std::size_t> next;
        for (std::size_t k = 0; k < kept.size(); ++k) {
            if (!std::ranges::binary_search(bad, k)) next.push_back(kept[k]);
        }
        a.dropped += bad.size();
        kept.swap(next);
        if (kept.size() < 3) break;
    }
    return a;
}

}  // namespace morva::boresight
