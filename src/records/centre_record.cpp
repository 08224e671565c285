#include "records/centre_record.hpp"

#include "records/field_reader.hpp"

namespace morva::records {

void write_centre_record(text::OutStream& out, const scanpt& p) {
    text::write_line<kCentreText>(out, p.thr, p.lat, p.lon, p.h, static_cast<std::int8_t>(p.ampl), p.airh, p.range);
}

Decoded decode_centre(const char* line, std::size_t length, CentreRecord& r) {
    using fields::Field;
    static constexpr auto f = text::line::fields<kCentreText>();
    if (length != static_cast<std::size_t>(f.length - 1) || !fields::blanks<f.items[0]>(line) ||
        !fields::blanks<f.items[5]>(line)) {
        return Decoded::Malformed;
    }
    const Field values[6] = {
        fields::fixed_point<f.items[1]>(line, r.thr_e7), fields::fixed_point<f.items[2]>(line, r.lat_e6),
        fields::fixed_point<f.items[3]>(line, r.lon_e6), fields::fixed_point<f.items[4]>(line, r.h_cm),
        fields::fixed_point<f.items[7]>(line, r.airh_cm), fields::fixed_point<f.items[8]>(line, r.range_cm)};
    bool missing = false;
    for (Field v : values) {
        if (v == Field::Bad) return Decoded::Malformed;
        missing = missing || v != Field::Value;
    }
    const Field ampl = fields::integer<f.items[6]>(line, r.ampl);
    if (ampl == Field::Bad) return Decoded::Malformed;
    r.ampl_known = ampl == Field::Value;
    r.is_point = !missing;
    return missing ? Decoded::NotAPoint : Decoded::Point;
}

}  // namespace morva::records
