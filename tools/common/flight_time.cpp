#include "flight_time.hpp"

namespace morva::common {
namespace {

bool leap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int days_in_month(int y, int m) {
    static constexpr int days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && leap(y) ? 29 : days[m - 1];
}

// Days from 1970-01-01 of a proleptic Gregorian date (shifting the year to
// begin in March puts the leap day last).
std::int64_t days_from_civil(int y, int m, int d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const std::int64_t yoe = y - era * 400;
    const std::int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

const std::int64_t kGpsEpoch = days_from_civil(1980, 1, 6);

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
    if (d.month < 1 || d.month > 12 || d.day < 1 || d.day > days_in_month(d.year, d.month)) return std::nullopt;
    if (days_since_gps_epoch(d) < 0) return std::nullopt;
    return d;
}

std::int64_t days_since_gps_epoch(const Date& d) { return days_from_civil(d.year, d.month, d.day) - kGpsEpoch; }

int day_of_year(const Date& d) {
    return static_cast<int>(days_from_civil(d.year, d.month, d.day) - days_from_civil(d.year, 1, 1)) + 1;
}

std::string_view format_date(const Date& d, char (&buffer)[11]) {
    const int fields[3] = {d.year, d.month, d.day};
    const int widths[3] = {4, 2, 2};
    int at = 0;
    for (int k = 0; k < 3; ++k) {
        if (k > 0) buffer[at++] = '-';
        int v = fields[k];
        for (int w = widths[k] - 1; w >= 0; --w) {
            buffer[at + w] = static_cast<char>('0' + v % 10);
            v /= 10;
        }
        at += widths[k];
    }
    buffer[10] = '\0';
    return {buffer, 10};
}

TimeBase adjusted_gps_time_base(const Date& flight_day) {
    return {days_since_gps_epoch(flight_day) * 86400 * 100000 - std::int64_t{1000000000} * 100000};
}

TimeBase time_of_day_base() { return {0}; }

}  // namespace morva::common
