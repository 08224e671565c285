// The two conversions of morva-las that a wrong digit would spoil silently:
// flight date and time of day into LAS GPS Time (against dates worked by
// hand from GPS week numbers), and text scan-point fields into the stored
// integers, at the edges of the text layout.

#include <gtest/gtest.h>

#include <string>

#include "flight_time.hpp"
#include "scan_point_las.hpp"
#include "records/scan_point_record.hpp"

namespace morva::common {
namespace {

struct TimeCase {
    const char* date;
    std::int64_t thr_e7;  // time of day, 1e-7 hour
    double adjusted;      // GPS seconds since 1980-01-06 less 1e9
    int day_of_year;
};

// GPS week 2314 began on Sunday 2024-05-12; 2024-05-17 is its day 5.
// Week 1024 began on 1999-08-22. Week 2347 began on 2024-12-29.
const TimeCase kTimes[] = {
    {"1980-01-06", 0, -1.0e9, 6},
    {"1999-08-22", 0, 1024.0 * 604800 - 1e9, 234},
    {"2024-05-17", 105000000, 2314.0 * 604800 + 5 * 86400 + 37800 - 1e9, 138},
    {"2024-05-17", 105000001, 399977000.00036, 138},
    // Past midnight: 24.5 h on the last day of 2024 is 00:30 on 2025-01-01 (day 3 of week 2347).
    {"2024-12-31", 245000000, 2347.0 * 604800 + 3 * 86400 + 1800 - 1e9, 366},
    {"2025-01-01", 5000000, 2347.0 * 604800 + 3 * 86400 + 1800 - 1e9, 1},
    {"2023-12-31", 0, 2295.0 * 604800 - 1e9, 365},
};

TEST(LasTime, AdjustedStandardGpsTimeOfHandWorkedDates) {
    for (const TimeCase& c : kTimes) {
        const auto date = parse_date(c.date);
        ASSERT_TRUE(date) << c.date;
        EXPECT_EQ(gps_time(adjusted_gps_time_base(*date), c.thr_e7), c.adjusted) << c.date << " " << c.thr_e7;
        EXPECT_EQ(day_of_year(*date), c.day_of_year) << c.date;
        char text[11];
        EXPECT_EQ(format_date(*date, text), c.date);
    }
    EXPECT_EQ(gps_time(time_of_day_base(), 105000000), 37800.0);
}

TEST(LasTime, OnlyRealDatesFromTheGpsEpochOn) {
    for (const char* bad : {"2023-02-29", "2024-13-01", "2024-04-31", "1980-01-05", "2024-5-17", "2024-05-17 ",
                            "2024/05/17", "", "0000-00-00", "20a4-05-17"}) {
        EXPECT_FALSE(parse_date(bad)) << bad;
    }
    EXPECT_TRUE(parse_date("2024-02-29"));
    EXPECT_TRUE(parse_date("2000-02-29"));
    EXPECT_FALSE(parse_date("2100-02-29"));
}

// A text line as morva-las takes it: the record, then its LAS fields.
enum class Decoded { Point, NotAPoint, Malformed, OutOfRange };

Decoded las_decode(const char* line, std::size_t length, bool averaged, ScanPointRecord& p) {
    switch (records::decode_text(line, length, averaged, p)) {
        case records::Decoded::Point: return fits_las(p) ? Decoded::Point : Decoded::OutOfRange;
        case records::Decoded::NotAPoint: return Decoded::NotAPoint;
        case records::Decoded::Malformed: break;
    }
    return Decoded::Malformed;
}

struct FieldCase {
    std::string line;
    bool averaged;
    Decoded result;
    std::int64_t thr_e7 = 0;
    std::int32_t lat_e7 = 0, lon_e7 = 0, h_mm = 0;
    int ampl = 0;  // -1: not written
    int index = 0, group = 0;
};

const FieldCase kFields[] = {
    {"12.500000  52.123456    4.654321    1.23  57  12", false, Decoded::Point, 125000000, 521234560, 46543210,
     1230, 57, 12, 0},
    // Signed amplitudes are the byte's bits; negative coordinates and heights.
    {" 0.000001 -33.000001 -179.999999   -0.06 -56   1", false, Decoded::Point, 10, -330000010, -1799999990, -60,
     200, 1, 0},
    {"23.999999  -0.500000   -0.000001 -999.99 -99 999", false, Decoded::Point, 239999990, -5000000, -10, -999990, 157,
     999, 0},
    {"10.000000  52.000000    5.000000   10.00 ***   7  3", true, Decoded::Point, 100000000, 520000000, 50000000,
     10000, -1, 7, 3},
    // A fraction written without its 0 ahead of the point.
    {" -.500000  52.000000    5.000000   10.00   0   7", false, Decoded::Point, -5000000, 520000000, 50000000, 10000, 0,
     7, 0},
    {"*********  52.000000    5.000000   10.00   0   7", false, Decoded::NotAPoint},
    {"10.000000        NaN    5.000000   10.00   0   7", false, Decoded::NotAPoint},
    {"10.000000  52.000000        -Inf   10.00   0   7", false, Decoded::NotAPoint},
    {"10.000000  52.000000    5.000000********   0   7", false, Decoded::NotAPoint},
    {"10.000000 999.000000    5.000000   10.00   0   7", false, Decoded::OutOfRange},
    {"10.000000  52.000000    5.000000   10.00   0   7256", true, Decoded::OutOfRange},
    // Not records of this form.
    {"10.000000  52.000000    5.000000   10.00   0   7", true, Decoded::Malformed},
    {"10.000000  52.000000    5.000000   10.00   0   7  3", false, Decoded::Malformed},
    {"10.000000  52.00000     5.000000   10.00   0   7", false, Decoded::Malformed},
    {"10.000000  52.000000    5.000000   10.00 128   7", false, Decoded::Malformed},
    {"10.000000  52.000000    5.000000   10.00   0    ", false, Decoded::Malformed},
    {"10.000000  52.0000x0    5.000000   10.00   0   7", false, Decoded::Malformed},
    {"10.000000  52.000000    5.000000   10.00 x 0   7", false, Decoded::Malformed},
    {"", false, Decoded::Malformed},
};

TEST(LasFields, TextRecordsBecomeTheStoredIntegers) {
    for (const FieldCase& c : kFields) {
        ScanPointRecord p;
        const Decoded d = las_decode(c.line.data(), c.line.size(), c.averaged, p);
        ASSERT_EQ(d, c.result) << "[" << c.line << "]";
        if (d != Decoded::Point) continue;
        EXPECT_EQ(p.thr_e7, c.thr_e7) << c.line;
        EXPECT_EQ(p.lat_e7, c.lat_e7) << c.line;
        EXPECT_EQ(p.lon_e7, c.lon_e7) << c.line;
        EXPECT_EQ(p.h_mm, c.h_mm) << c.line;
        EXPECT_EQ(p.ampl_known, c.ampl >= 0) << c.line;
        if (c.ampl >= 0) {
            EXPECT_EQ(p.ampl, c.ampl) << c.line;
        }
        EXPECT_EQ(p.index, c.index) << c.line;
        EXPECT_EQ(p.group_size, c.group) << c.line;
    }
}

}  // namespace
}  // namespace morva::common
