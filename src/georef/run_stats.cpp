#include "georef/run_stats.hpp"

#include <cmath>

#include "text/free_output.hpp"
#include "text/layout.hpp"

namespace morva::georef {

void report_time_gap(text::OutStream& out, double t, double delta, std::int32_t i, std::int32_t nscan) {
    static const text::Layout gap = text::layout(R"(" ** time gap scan" I7 I4 F11.7 ", seconds" F10.3)");
    text::write_fixed(out, gap, {nscan, i, t, delta * 3600.0});
}

void print_report(const RunStats& s, std::int32_t scans_read, const inputs::RunControl& rc) {
    static const text::Layout ranges = text::layout(
        R"(" min and max laser range measured:  " 2F9.2 /)"
        R"(" min and max flight elevation:      " 2F9.2 /)"
        R"(" range of ground heights:           " 2F9.2 /)"
        R"(" min and max polynomial correction: " 2F9.2 /)"
        R"(" range of output lat/lon: " 4F10.4)");
    auto& out = text::console();
    text::write_free(out, {});
    text::write_free(out, {"Total number of scans read: ", scans_read});
    text::write_free(out, {"Total number of points output: ", s.npts});
    text::write_fixed(out, ranges,
                      {s.range_min, s.range_max, s.elevation_min, s.elevation_max, s.height_min, s.height_max,
                       s.correction_min, s.correction_max, s.lat_min, s.lat_max, s.lon_min, s.lon_max});
    text::write_free(out, {});
    text::write_free(out, {"scanpt data (thr,lat,lon,h,ampl,i) output on: ", rc.scanptfile});
    text::write_free(out, {"center pts (thr,lat,lon,h,ampl,i,airh,range): ", rc.centfile});
}

}  // namespace morva::georef
