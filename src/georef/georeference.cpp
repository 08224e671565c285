#include "georef/georeference.hpp"

#include "scanner/calibration.hpp"

namespace morva::georef {

namespace detail {

void calibrated_body(const Model& model, double r, double theta, std::int32_t scanno, double body[3]) {
    // The scanner's first axis is the body's down axis, its second the
    // body's backward axis, its third the body's right axis.
    const run::RunControl& rc = *model.rc;
    const scanner::scanner_header& hdr = *model.header;
    double cx, cy, cz;
    scanner::riegl_cal(r, theta, scanno, cx, cy, cz, hdr.a, hdr.b, hdr.c, hdr.d, hdr.e, hdr.eps);
    body[0] = rc.offx - cy;
    body[1] = rc.offy + cz;
    body[2] = rc.offz + cx;
}

}  // namespace detail
}  // namespace morva::georef
