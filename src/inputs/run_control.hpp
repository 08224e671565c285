#pragma once
// The run-control text read from standard input: five file names and eight
// free-format groups of parameters, plus the values the run derives from them.

#include <cstdint>
#include <string>

#include "text/text_reader.hpp"

namespace morva::inputs {

inline constexpr std::size_t kNameLength = 36;

struct RunControl {
    std::string scanfile, gpsfile, geoidfile, scanptfile, centfile;  // 36 characters each

    double hr0 = 0;          // file start time when the scanner header has none
    std::int32_t min0 = 0;
    double sec0 = 0;
    double dtsec = 0;        // seconds added to every scanner time
    bool use_sync = false;
    double tstart = 0, tend = 0;  // processing window, decimal hours
    double latmin = 0, latmax = 0, lonmin = 0, lonmax = 0;
    std::int32_t navg = 0, nthin = 0, iout_type = 0;
    bool attitude = false, use_cal = false;
    std::int32_t icalib = 0;
    bool full_georef = false;
    double offx = 0, offy = 0, offz = 0;            // lever arm, metres
    double dpitch = 0, droll = 0, dheading = 0;     // misalignment, degrees
    double pcoef[4] = {0, 0, 0, 0};                 // across-scan correction p1..p4

    // Bit k set: name line k+1 runs across column 36 (characters 36 and 37
    // both non-blank), so the name it meant was cut. Text after a blank past
    // column 36 is a comment.
    unsigned names_cut = 0;

    // Derived once after reading.
    bool scanpt_wanted = false;
    bool geoid_wanted = false;
    bool regression_on = false;
    std::int32_t nparams = 1;       // regression parameters, icalib + 1
    double angle_sign = 1.0;        // -1 for iout_type 3
    bool binary_output = false;     // iout_type 2
};

// True for the name "0" (a 0 followed by 35 blanks): no such file.
bool is_none(const std::string& name);

// The name as used to open the file: trailing blanks removed.
std::string trimmed(const std::string& name);

// Reads the five name lines and eight groups; a malformed value or an early
// end of the text ends the run with a read error.
void read_run_control(text::TextReader& in, RunControl& rc);

// Fills the derived values.
void derive(RunControl& rc);

}  // namespace morva::inputs
