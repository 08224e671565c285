#include "flight_time.hpp"

#include <chrono>
#include <cstdio>

namespace morva::common {
namespace {

// Days from 1970-01-01 of a proleptic Gregorian date.
std::int64_t days_from_civil(const Date& d) {
    using namespace std::chrono;
    return sys_days(year(d.year) / d.month / d.day).time_since_epoch().count();
}

const std::int64_t kGpsEpoch = days_from_civil({1980, 1, 6});

bool digits(std::string_view s, int& value) {
    value = 0;
    for (char c : s) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + (c - '0');
    }
    return true;
}

}  // namespace

std::optional<Date> parse_date(std::string_view text) {
    Date d;
    if (text.size() != 10 || text[4] != '-' || text[7] != '-') return std::nullopt;
    if (!digits(text.substr(0, 4), d.year) || !digits(text.substr(5, 2), d.month) ||
        !digits(text.substr(8, 2), d.day)) {
        return std::nullopt;
    }
    if (!std::chrono::year_month_day(std::chrono::year(d.year) / d.month / d.day).ok()) return std::nullopt;
    if (days_since_gps_epoch(d) < 0) return std::nullopt;
    return d;
}

std::int64_t days_since_gps_epoch(const Date& d) { return days_from_civil(d) - kGpsEpoch; }

int day_of_year(const Date& d) { return static_cast<int>(days_from_civil(d) - days_from_civil({d.year, 1, 1})) + 1; }

std::string_view format_date(const Date& d, char (&buffer)[11]) {
    std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d", d.year, d.month, d.day);
    return {buffer, 10};
}

TimeBase adjusted_gps_time_base(const Date& flight_day) {
    return {days_since_gps_epoch(flight_day) * 86400 * 100000 - std::int64_t{1000000000} * 100000};
}

TimeBase time_of_day_base() { return {0}; }

}  // namespace morva::common
