#pragma once
// Flight dates and the time stamps of LAS points: a scan point's time is the
// GPS time of day in hours; LAS wants Adjusted Standard GPS Time (GPS seconds
// since 1980-01-06 00:00, less 10^9), which needs the day of the flight.

#include <cstdint>
#include <optional>
#include <string_view>

namespace morva::common {

struct Date {
    int year = 0, month = 0, day = 0;
};

// A valid calendar date written YYYY-MM-DD (exactly ten characters), on or
// after the GPS epoch; nothing otherwise.
std::optional<Date> parse_date(std::string_view text);

// Days from 1980-01-06 (the GPS epoch) to the date.
std::int64_t days_since_gps_epoch(const Date& d);

// Day of the year, 1 for 1 January.
int day_of_year(const Date& d);

// "YYYY-MM-DD".
std::string_view format_date(const Date& d, char (&buffer)[11]);

// How a point's time becomes its LAS GPS Time: the time of day is held in
// units of 10^-7 hour (0.36 ms), which is 36 units of 10^-5 s, so the sum
// stays an exact integer until one final division.
struct TimeBase {
    std::int64_t base_e5 = 0;  // 10^-5 s added before the division: the day, less 10^9 s
};

// Adjusted Standard GPS Time on the given flight day.
TimeBase adjusted_gps_time_base(const Date& flight_day);
// Seconds of the day (no date; readers take them for seconds of the week).
TimeBase time_of_day_base();

// The LAS GPS Time of a time of day in 10^-7 hour; past 24 h (or below 0)
// it runs on into the next (previous) day.
inline double gps_time(const TimeBase& base, std::int64_t thr_e7) {
    return static_cast<double>(base.base_e5 + thr_e7 * 36) / 1.0e5;
}

}  // namespace morva::common
