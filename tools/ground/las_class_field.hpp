#pragma once
// Where a LAS point record keeps its class: formats 0-5 in the low five bits
// of byte 15 (the synthetic, key-point and withheld flags above them), 6-10
// in byte 16.

#include <cstdint>

namespace morva::ground_program {

inline void set_record_class(std::uint8_t* record, int point_format, std::uint8_t cls) {
    if (point_format >= 6)
        record[16] = cls;
    else
        record[15] = std::uint8_t((record[15] & 0xE0) | (cls & 31));
}

}  // namespace morva::ground_program
