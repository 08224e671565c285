#include "plane_cells.hpp"

#include <cmath>

#include <Eigen/Dense>

namespace morva::overlap {

Plane fit_plane(const CellSums& k) {
    Plane p;
    p.n = k.n;
    if (k.n < 3) return p;
    const double n = k.n;
    Eigen::Matrix3d normal;
    normal << n, k.sx, k.sy, k.sx, k.sxx, k.sxy, k.sy, k.sxy, k.syy;
    const Eigen::Vector3d rhs(k.sz, k.sxz, k.syz);
    const Eigen::LDLT<Eigen::Matrix3d> ldlt(normal);
    // Points on one line (or one spot) leave the plane undetermined.
    if (ldlt.info() != Eigen::Success || !ldlt.isPositive() || ldlt.vectorD().minCoeff() <= 1e-9 * n) return p;
    const Eigen::Vector3d beta = ldlt.solve(rhs);
    p.fitted = true;
    p.height = k.z0 + beta(0);
    p.slope_x = beta(1);
    p.slope_y = beta(2);
    p.residual_sq = std::max(0.0, k.szz - beta.dot(rhs));
    p.roughness = k.n > 3 ? std::sqrt(p.residual_sq / (n - 3)) : 0.0;
    const double mx = k.sx / n, my = k.sy / n;
    const double vxx = k.sxx / n - mx * mx, vyy = k.syy / n - my * my, vxy = k.sxy / n - mx * my;
    p.narrowest_spread = std::max(0.0, 0.5 * (vxx + vyy) - std::sqrt(0.25 * (vxx - vyy) * (vxx - vyy) + vxy * vxy));
    p.slope_deg = std::atan(std::hypot(p.slope_x, p.slope_y)) * (180.0 / M_PI);
    return p;
}

}  // namespace morva::overlap
