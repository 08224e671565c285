#pragma once
// The scanner file header: the long Q120/220 variant (210 bytes) and the
// short Q140 variant (47 bytes).

#include <cstdint>

#include "scanner/byte_reader.hpp"

namespace morva::scanner {

struct scanner_header {
    std::int32_t nmeas = 0;           // measurements per scan
    double range_unit = 0;            // metres per range count
    double angle_unit = 0;            // gon per encoder count
    double timer_unit = 0;            // seconds per timer count
    std::int16_t measid = 0;          // measurement type bit set
    std::int32_t bytes_per_scan = 0;
    std::int8_t polar_id = 0;         // sectors per turn of the encoder
    double epoch = 0;                 // hours of the day at file start; 0 = none
    float a[3] = {}, b[3] = {}, c[3] = {}, d[3] = {};
    float e[4][3] = {};               // e[k] = facet vector of facet k+1
    float eps[4] = {};                // facet offsets
    char epoch_text[32] = {};         // the time epoch text as stored (long variant)
};

// Reads the header from byte 0, prints its report and leaves the file after
// it; stops the run on a header it cannot use.
void readhdr(ByteReader& in, scanner_header& hdr);

// The same read without the report, for the companion programs that need a
// header value (the flight date of the epoch text) but not the console lines.
// A header the run could not use stops as readhdr does.
void readhdr_quiet(ByteReader& in, scanner_header& hdr);

}  // namespace morva::scanner
