#include "georef/georeference.hpp"

#include "scanner/calibration.hpp"

namespace morva::georef {

namespace detail {

void calibrated_body(const Model& model, double r, double theta, std::int32_t scanno, double body[3]) {
    // One cache for each thread: the survey simulator georeferences in several.
    thread_local scanner::CalibrationCache cache;
    double cx, cy, cz;
    scanner::calibrated_point(cache, *model.header, r, theta, scanno, cx, cy, cz);
    // The scanner's first axis is the body's down axis, its second the
    // body's backward axis, its third the body's right axis.
    const inputs::RunControl& rc = *model.rc;
    body[0] = rc.offx - cy;
    body[1] = rc.offy + cz;
    body[2] = rc.offz + cx;
}

}  // namespace detail
}  // namespace morva::georef
