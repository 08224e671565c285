#pragma once
// Where each field of the scanner file header lies (bytes from the file's
// start, little-endian): the long Q120/220 variant of 210 bytes and the
// short Q140 variant of 47, which shares the long one's first fields. The
// one description of that layout, for the reader and for the simulator that
// writes it.

#include <cstddef>

namespace morva::scanner::header_at {

inline constexpr std::size_t kShortSize = 47, kLongSize = 210;

// Both variants.
inline constexpr std::size_t length = 0;           // int32: the header's bytes
inline constexpr std::size_t bytes_per_scan = 4;   // int16
inline constexpr std::size_t bytes_per_meas = 10;  // int16
inline constexpr std::size_t nmeas = 12;           // int16: measurements per scan
inline constexpr std::size_t range_unit = 34;      // float32: metres per count
inline constexpr std::size_t angle_unit = 38;      // float32: gon per count
inline constexpr std::size_t timer_unit = 42;      // float32: seconds per count
inline constexpr std::size_t polar_id = 46;        // int8 (the short variant's angle id)

// The long variant only.
inline constexpr std::size_t protocol_id = 6;   // int8
inline constexpr std::size_t headerid = 7;      // int8
inline constexpr std::size_t measid = 18;       // int16: measurement type bits
inline constexpr std::size_t par_id_main = 23;  // int8
inline constexpr std::size_t instrument = 26, kInstrumentSize = 8;
// Calibration: vectors a, b, c, d of three float32 each, then for facet k
// (0 to 3) its vector e (three float32) and offset eps, 16 bytes a facet.
inline constexpr std::size_t a = 57, b = 69, c = 81, d = 93;
inline constexpr std::size_t e = 105, eps = 117, kFacetStride = 16;
inline constexpr std::size_t time_epoch = 169, kTimeEpochSize = 32;
inline constexpr std::size_t time_source = 201, kTimeSourceSize = 8;
inline constexpr std::size_t syncflag = 209;  // uint8

}  // namespace morva::scanner::header_at
