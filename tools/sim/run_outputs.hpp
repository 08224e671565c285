#pragma once
// Reading back what a run wrote: scan-point records (binary or text),
// centre-point records, and the centre lines and regression report of the
// console.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "records/record_file.hpp"

namespace morva::sim {

// A fixed-width field of a text record; nothing for blanks or asterisks.
std::optional<double> text_field(const std::string& line, std::size_t from, std::size_t width);

// One scan point as the run wrote it, in degrees, hours and metres.
struct OutPoint {
    double thr = 0, lat = 0, lon = 0, h = 0;
    std::int64_t thr_count = 0;  // the time field in 1e-7 hour
    int ampl = 0;                // 0-255 in binary, the signed byte in text
    bool ampl_known = true;      // false for a text field of asterisks
    int index = 0;               // low 8 bits in binary
};

struct PointReader {
    bool binary = false;
    bool ended = false;  // after a line that cannot be passed
    records::ScanPointFile file;
};
bool open_points(PointReader& r, const std::string& path, records::ScanPointForm form);

// False at the end of the file; `problem` set for a record it cannot read.
bool next_point(PointReader& r, OutPoint& p, std::string& problem);

// One centre-point record, in degrees, hours and metres.
struct CentreRecord {
    double thr, lat, lon, h, airh, range;
};
struct CentreReader {
    bool ended = false;
    records::CentreFile file;
};
bool open_centres(CentreReader& r, const std::string& path);
// False at the end of the file; `line` is the record as written, `problem`
// set when it holds no values.
bool next_centre(CentreReader& r, CentreRecord& c, std::string& line, bool& problem);

// One console centre line: " " 2I6 F11.7 F10.6 F11.6 F8.2 1X I3 1X B7.7.
struct ConsoleCentre {
    std::string line;
    double nscan, scanno, thr, lat, lon, h;
};
// The lines of the report that have that layout, in order.
std::string read_console_centres(const std::string& path, std::vector<ConsoleCentre>& lines);

// The end of a console centre line (1X I3 1X B7.7) for these values.
std::string amplitude_and_flags(std::uint8_t amplitude, std::uint8_t flags);

// The regression lines of a console report.
struct RegressionReport {
    std::int64_t points = -1;
    int params = -1;
    double bias = 0, slope = 0, coef[4] = {0, 0, 0, 0};
    bool warning = false;  // singular pivots reported
};
std::string read_regression(const std::string& path, RegressionReport& r);

}  // namespace morva::sim
