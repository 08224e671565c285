#include "scan_point_records.hpp"

namespace morva::las {
namespace {

enum class Field { Value, Stars, NotANumber, Bad };

bool all_stars(const char* f, int w) {
    for (int k = 0; k < w; ++k) {
        if (f[k] != '*') return false;
    }
    return true;
}

// The words an F field holds for NaN and infinities, right-justified.
bool not_a_number(const char* f, int w) {
    int k = 0;
    while (k < w && f[k] == ' ') ++k;
    const int n = w - k;
    const char* s = f + k;
    return (n == 3 && ((s[0] == 'N' && s[1] == 'a' && s[2] == 'N') || (s[0] == 'I' && s[1] == 'n' && s[2] == 'f'))) ||
           (n == 4 && s[0] == '-' && s[1] == 'I' && s[2] == 'n' && s[3] == 'f');
}

// Fw.d (d above 0): blanks, an optional minus, integer digits (none when the
// field had no room for a 0), a point and exactly d decimals. The value in units of
// 10^-d, by integer arithmetic on the digits.
template <int w, int d>
[[gnu::always_inline]] inline Field fixed_point(const char* f, std::int64_t& value) {
    int k = 0;
    while (k < w && f[k] == ' ') ++k;
    if (k == w) return Field::Bad;
    bool negative = false;
    if (f[k] == '-') {
        negative = true;
        ++k;
    }
    std::int64_t v = 0;
    while (k < w - d - 1 && f[k] >= '0' && f[k] <= '9') {
        v = v * 10 + (f[k++] - '0');
    }
    if (k != w - d - 1 || f[k] != '.') {
        if (all_stars(f, w)) return Field::Stars;
        return not_a_number(f, w) ? Field::NotANumber : Field::Bad;
    }
    for (++k; k < w; ++k) {
        if (f[k] < '0' || f[k] > '9') return Field::Bad;
        v = v * 10 + (f[k] - '0');
    }
    value = negative ? -v : v;
    return Field::Value;
}

// Iw: blanks, an optional minus, at least one digit.
template <int w>
[[gnu::always_inline]] inline Field integer(const char* f, std::int32_t& value) {
    int k = 0;
    while (k < w && f[k] == ' ') ++k;
    if (k == w) return Field::Bad;
    bool negative = false;
    if (f[k] == '-') {
        negative = true;
        ++k;
    }
    if (k == w) return all_stars(f, w) ? Field::Stars : Field::Bad;
    std::int32_t v = 0;
    for (; k < w; ++k) {
        if (f[k] < '0' || f[k] > '9') return all_stars(f, w) ? Field::Stars : Field::Bad;
        v = v * 10 + (f[k] - '0');
    }
    value = negative ? -v : v;
    return Field::Value;
}

constexpr std::int64_t kCoordinateLimit = 2147483647;

}  // namespace

Decoded decode_text(const char* line, std::size_t length, bool with_group_size, ScanPoint& p) {
    if (length != text_record_length(with_group_size) || line[40] != ' ') return Decoded::Malformed;
    std::int64_t thr = 0, lat = 0, lon = 0, h = 0;
    const Field fields[4] = {fixed_point<9, 6>(line, thr), fixed_point<11, 6>(line + 9, lat),
                             fixed_point<12, 6>(line + 20, lon), fixed_point<8, 2>(line + 32, h)};
    bool missing = false;
    for (Field f : fields) {
        if (f == Field::Bad) return Decoded::Malformed;
        missing = missing || f != Field::Value;
    }
    std::int32_t ampl = 0, index = 0, group = 0;
    const Field ampl_field = integer<3>(line + 41, ampl);
    if (ampl_field == Field::Bad || (ampl_field == Field::Value && (ampl < -128 || ampl > 127))) {
        return Decoded::Malformed;
    }
    if (integer<4>(line + 44, index) != Field::Value || index < 0) return Decoded::Malformed;
    if (with_group_size && (integer<3>(line + 48, group) != Field::Value || group < 1)) return Decoded::Malformed;
    if (missing) return Decoded::NotAPoint;
    if (group > 255) return Decoded::OutOfRange;  // the 8-bit group_size field

    // Six decimals of degree and hour become seven; two of metre become three.
    lat *= 10;
    lon *= 10;
    if (lat > kCoordinateLimit || lat < -kCoordinateLimit || lon > kCoordinateLimit || lon < -kCoordinateLimit) {
        return Decoded::OutOfRange;
    }
    p.thr_e7 = thr * 10;
    p.lat_e7 = static_cast<std::int32_t>(lat);
    p.lon_e7 = static_cast<std::int32_t>(lon);
    p.h_mm = static_cast<std::int32_t>(h * 10);
    p.ampl_known = ampl_field == Field::Value;
    p.ampl = static_cast<std::uint8_t>(ampl & 0xFF);
    p.index = static_cast<std::uint16_t>(index);
    p.group_size = static_cast<std::uint16_t>(group);
    return Decoded::Point;
}

}  // namespace morva::las
