#pragma once
// PROJ's context and objects released on every path, and the few questions
// the companion library asks of them more than once.

#include <memory>
#include <string>

#include <proj.h>

namespace morva::common {

// PROJ's own log stays silent: its reasons come back through the error texts.
struct ProjContext {
    PJ_CONTEXT* ctx = proj_context_create();
    ProjContext() {
        if (ctx == nullptr) return;
        proj_log_level(ctx, PJ_LOG_NONE);
        proj_log_func(ctx, nullptr, [](void*, int, const char*) {});
    }
    ProjContext(const ProjContext&) = delete;
    ProjContext& operator=(const ProjContext&) = delete;
    ~ProjContext() { proj_context_destroy(ctx); }
};

struct ProjDrop {
    void operator()(PJ* p) const { proj_destroy(p); }
};
using ProjObject = std::unique_ptr<PJ, ProjDrop>;

inline const char* one_line_wkt(PJ_CONTEXT* ctx, PJ* crs, PJ_WKT_TYPE type) {
    const char* options[] = {"MULTILINE=NO", nullptr};
    return proj_as_wkt(ctx, crs, type, options);
}

inline std::string last_proj_error(PJ_CONTEXT* ctx) {
    const int code = proj_context_errno(ctx);
    const char* text = code != 0 ? proj_context_errno_string(ctx, code) : nullptr;
    return text != nullptr ? text : "PROJ gave no reason";
}

// The unit of a CRS's first axis as PROJ names it, and its size in metres
// (left as they are when PROJ does not say).
inline bool first_axis_unit(PJ_CONTEXT* ctx, PJ* crs, const char*& unit, double& factor) {
    const ProjObject cs(proj_crs_get_coordinate_system(ctx, crs));
    return cs && proj_cs_get_axis_info(ctx, cs.get(), 0, nullptr, nullptr, nullptr, &factor, &unit, nullptr, nullptr) &&
           unit != nullptr;
}

}  // namespace morva::common
