#include "records/scan_point_record.hpp"

#include "records/field_reader.hpp"

namespace morva::records {
namespace {

using fields::Field;

template <text::Notation L>
Decoded decode(const char* line, std::size_t length, ScanPointRecord& p) {
    static constexpr auto f = text::line::fields<L>();
    constexpr bool with_group_size = f.values == 7;
    if (length != static_cast<std::size_t>(f.length - 1) || !fields::blanks<f.items[4]>(line)) return Decoded::Malformed;
    std::int64_t thr = 0, lat = 0, lon = 0, h = 0;
    const Field values[4] = {fields::fixed_point<f.items[0]>(line, thr), fields::fixed_point<f.items[1]>(line, lat),
                             fields::fixed_point<f.items[2]>(line, lon), fields::fixed_point<f.items[3]>(line, h)};
    bool missing = false;
    for (Field v : values) {
        if (v == Field::Bad) return Decoded::Malformed;
        missing = missing || v != Field::Value;
    }
    std::int32_t ampl = 0, index = 0, group = 0;
    const Field ampl_field = fields::integer<f.items[5]>(line, ampl);
    if (ampl_field == Field::Bad || (ampl_field == Field::Value && (ampl < -128 || ampl > 127))) {
        return Decoded::Malformed;
    }
    if (fields::integer<f.items[6]>(line, index) != Field::Value || index < 0) return Decoded::Malformed;
    if constexpr (with_group_size) {
        if (fields::integer<f.items[7]>(line, group) != Field::Value || group < 1) return Decoded::Malformed;
    }
    p.is_point = !missing;
    // Six decimals of hour and degree become seven; two of metre three.
    static_assert(f.items[0].d == 6 && f.items[1].d == 6 && f.items[2].d == 6 && f.items[3].d == 2);
    p.thr_e7 = thr * 10;
    p.lat_e7 = lat * 10;
    p.lon_e7 = lon * 10;
    p.h_mm = static_cast<std::int32_t>(h * 10);
    p.ampl_known = ampl_field == Field::Value;
    p.ampl = static_cast<std::uint8_t>(ampl & 0xFF);
    p.index = static_cast<std::uint16_t>(index);
    p.group_size = static_cast<std::uint16_t>(group);
    return missing ? Decoded::NotAPoint : Decoded::Point;
}

}  // namespace

void write_text_record(text::OutStream& out, const scanpt& p, bool with_group_size) {
    const auto ampl = static_cast<std::int8_t>(p.ampl);  // printed as the signed value of its 8 bits
    if (with_group_size) {
        text::write_line<kScanPointTextWithGroupSize>(out, p.thr, p.lat, p.lon, p.h, ampl, p.i, p.n);
    } else {
        text::write_line<kScanPointText>(out, p.thr, p.lat, p.lon, p.h, ampl, p.i);
    }
}

Decoded decode_text(const char* line, std::size_t length, bool with_group_size, ScanPointRecord& p) {
    return with_group_size ? decode<kScanPointTextWithGroupSize>(line, length, p) : decode<kScanPointText>(line, length, p);
}

}  // namespace morva::records
