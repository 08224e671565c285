#pragma once
// The centre-point record: one text line per point where the beam passes the
// aircraft's nadir, with the aircraft's height and the range. Writer and
// reader side by side, on one layout: time, latitude, longitude, height,
// amplitude (the signed value of its 8 bits), aircraft height, range.

#include <cstddef>
#include <cstdint>

#include "records/scan_point_record.hpp"
#include "text/fixed_line.hpp"
#include "text/out_stream.hpp"

namespace morva::records {

inline constexpr text::Notation kCentreText{"1X F11.7 F11.6 F12.6 F8.2 1X I3 F8.2 F8.2"};
// The names of its values, in order.
inline constexpr const char* kCentreTextNames[] = {"thr", "lat", "lon", "h", "ampl", "airh", "range"};

inline constexpr std::size_t centre_record_bytes() {
    return static_cast<std::size_t>(text::line::fields<kCentreText>().length);
}

void write_centre_record(text::OutStream& out, const scanpt& p);

// A centre record as printed: each value in units of its last digit.
struct CentreRecord {
    std::int64_t thr_e7 = 0;   // 10^-7 hour
    std::int64_t lat_e6 = 0;   // 10^-6 degree
    std::int64_t lon_e6 = 0;
    std::int64_t h_cm = 0;     // centimetres
    std::int32_t ampl = 0;     // the signed amplitude
    bool ampl_known = true;    // false: asterisks
    std::int64_t airh_cm = 0;
    std::int64_t range_cm = 0;
    bool is_point = true;      // false: a value other than the amplitude missing
};

// One line without its line end: Point, NotAPoint (a field other than the
// amplitude without a value: asterisks, NaN) or Malformed.
Decoded decode_centre(const char* line, std::size_t length, CentreRecord& r);

}  // namespace morva::records
