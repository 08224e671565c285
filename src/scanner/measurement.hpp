#pragma once
// The 10 bytes of one measurement in a scan record, little-endian: range
// (24 bits, in range units), amplitude (8 bits), angle encoder count (24
// bits) and timer (24 bits, in timer units). The one description of that
// layout, for the readers and for the simulator that writes it.

#include <cstddef>
#include <cstdint>

#include "scanner/byte_reader.hpp"

namespace morva::scanner {

inline constexpr std::size_t kMeasurementBytes = 10;
inline constexpr std::size_t kRangeAt = 0, kAmplitudeAt = 3, kAngleAt = 4, kTimerAt = 7;

inline std::uint32_t measurement_range(const std::uint8_t* m) { return le_u24(m + kRangeAt); }
inline std::uint8_t measurement_amplitude(const std::uint8_t* m) { return m[kAmplitudeAt]; }
inline std::uint32_t measurement_angle(const std::uint8_t* m) { return le_u24(m + kAngleAt); }
inline std::uint32_t measurement_timer(const std::uint8_t* m) { return le_u24(m + kTimerAt); }

}  // namespace morva::scanner
