#include "crs_unit.hpp"

#include <memory>

#include <proj.h>

namespace morva::ground_program {

double metres_per_unit(const std::string& crs) {
    struct Context {
        PJ_CONTEXT* ctx = proj_context_create();
        ~Context() { proj_context_destroy(ctx); }
    } c;
    proj_log_level(c.ctx, PJ_LOG_NONE);
    auto drop = [](PJ* p) { proj_destroy(p); };
    std::unique_ptr<PJ, decltype(drop)> whole(proj_create(c.ctx, crs.c_str()), drop);
    if (!whole) return 0;
    std::unique_ptr<PJ, decltype(drop)> cs(proj_crs_get_coordinate_system(c.ctx, whole.get()), drop);
    if (!cs) return 0;
    double factor = 0;
    if (!proj_cs_get_axis_info(c.ctx, cs.get(), 0, nullptr, nullptr, nullptr, &factor, nullptr, nullptr, nullptr))
        return 0;
    return factor;
}

}  // namespace morva::ground_program
