#include "scanner/scanner_header.hpp"

#include <cstdint>
#include <string>
#include <string_view>

#include "scanner/header_layout.hpp"
#include "text/free_output.hpp"
#include "text/layout.hpp"
#include "text/out_stream.hpp"
#include "text/stop.hpp"
#include "text/text_reader.hpp"

namespace morva::scanner {
namespace {

using text::console;
using text::write_fixed;
using text::write_free;

namespace at = header_at;

[[noreturn]] void end_in_header() { text::stop_run("*** end of file met in header"); }

// Reads exactly n bytes of the header or stops the run.
void read_header_bytes(ByteReader& in, std::uint8_t* dest, std::size_t n) {
    if (read_bytes(in, dest, n) < n) end_in_header();
}

std::string_view chars(const std::uint8_t* p, std::size_t n) {
    return {reinterpret_cast<const char*>(p), n};
}

void read_floats(const std::uint8_t* p, float* out, int n) {
    for (int i = 0; i < n; ++i) out[i] = le_f32(p + 4 * i);
}

void read_short_variant(const std::uint8_t* raw, std::int32_t length, scanner_header& hdr, text::OutStream* report_to) {
    static const text::Layout report = text::layout(
        R"(/" RIEGL Q140 HEADER bytes:" I4 ", bytes pr scan:" I5 " bytes pr meas:" I5)"
        R"( / " measurements per scan:" I5 / " range,angle and timer units:" 3F12.6)");
    const std::int16_t bytes_per_scan = le_i16(raw + at::bytes_per_scan);
    const std::int16_t bytes_per_meas = le_i16(raw + at::bytes_per_meas);
    const std::int16_t nmeas = le_i16(raw + at::nmeas);
    const float range_unit = le_f32(raw + at::range_unit), angle_unit = le_f32(raw + at::angle_unit), timer_unit = le_f32(raw + at::timer_unit);
    const std::uint8_t angleid = raw[at::polar_id];

    if (report_to != nullptr) {
        write_fixed(*report_to, report,
                    {length, bytes_per_scan, bytes_per_meas, nmeas, range_unit, angle_unit, timer_unit});
        write_free(*report_to, {});
        if (angleid != 4) write_free(*report_to, {"*** warning: header angleid is not 4 !!"});
    }

    hdr.nmeas = nmeas;
    hdr.bytes_per_scan = bytes_per_scan;
    hdr.range_unit = range_unit;
    hdr.angle_unit = angle_unit;
    hdr.timer_unit = timer_unit;
    hdr.measid = 140;
}

// Hour, minute and second from the time epoch text: 11X, I2, 1X, I2, 1X, I2.
void read_epoch_text(const ByteReader& in, std::string_view text, std::int32_t& hour, std::int32_t& minute,
                     std::int32_t& second) {
    static const text::Layout fields = text::layout("11X I2 1X I2 1X I2");
    if (!text::read_fixed(text, fields, {&hour, &minute, &second})) {
        text::stop_run("*** read error in " + in.name + ", header time epoch " +
                       text::quote_excerpt(text.substr(0, 19)) + ": hour, minute or second is not an integer");
    }
}

void print_measid_contents(text::OutStream& out, std::int16_t measid) {
    struct Content {
        int bit;
        const char* line;
    };
    static constexpr Content contents[] = {
        {0, "- range"}, {2, "- intensity"}, {3, "- angle"}, {4, "- meas qual"}, {6, "- synctimer"}};
    for (const Content& c : contents) {
        if ((measid >> c.bit) & 1) write_free(out, {c.line});
    }
}

void print_calibration(text::OutStream& out, const scanner_header& h) {
    static const text::Layout report = text::layout(
        R"(" RIEGL calibration parameters:")"
        R"( / " a " 3(" " G10.4) / " b " 3(" " G10.4) / " c " 3(" " G10.4) / " d " 3(" " G10.4))"
        R"( / " e1" 3(" " G10.4) " eps1 " G10.4 / " e2" 3(" " G10.4) " eps2 " G10.4)"
        R"( / " e3" 3(" " G10.4) " eps3 " G10.4 / " e4" 3(" " G10.4) " eps4 " G10.4 /)");
    write_fixed(out, report,
                {h.a[0],    h.a[1],    h.a[2],    h.b[0],    h.b[1],    h.b[2],    h.c[0],    h.c[1],
                 h.c[2],    h.d[0],    h.d[1],    h.d[2],    h.e[0][0], h.e[0][1], h.e[0][2], h.eps[0],
                 h.e[1][0], h.e[1][1], h.e[1][2], h.eps[1], h.e[2][0], h.e[2][1], h.e[2][2], h.eps[2],
                 h.e[3][0], h.e[3][1], h.e[3][2], h.eps[3]});
}

void read_long_variant(ByteReader& in, scanner_header& hdr, text::OutStream* report_to) {
    static const text::Layout first_line =
        text::layout(R"(/" RIEGL Q120/220 HEADER bytes:" I4 ", bytes pr scan:" I5 ", protocol id:" I2)");
    static const text::Layout sizes_and_units = text::layout(
        R"(" bytes pr meas:" I5 ", measurements per scan:" I5 / " range,angle and timer units:" 4F12.6)");
    static const text::Layout source_line = text::layout(R"(" time source: " A8 " syncflag: " B7.7)");

    std::uint8_t raw[at::kLongSize];
    rewind(in);

    // Bytes 0-7: sizes and the header id.
    read_header_bytes(in, raw, 8);
    const std::int32_t length = le_i32(raw + at::length);
    const std::int16_t bytes_per_scan = le_i16(raw + at::bytes_per_scan);
    const std::int8_t protocol_id = static_cast<std::int8_t>(raw[at::protocol_id]);
    const std::int8_t headerid = static_cast<std::int8_t>(raw[at::headerid]);
    if (report_to != nullptr) write_fixed(*report_to, first_line, {length, bytes_per_scan, protocol_id});
    if (headerid != 10) {
        write_free(console(), {"*** error in header: headerid is not 10:", headerid});
        text::stop_run();
    }

    // Bytes 8-25: measurement layout and type.
    read_header_bytes(in, raw + 8, 18);
    const std::int16_t bytes_per_meas = le_i16(raw + at::bytes_per_meas);
    const std::int16_t nmeas = le_i16(raw + at::nmeas);
    const std::int16_t measid = le_i16(raw + at::measid);
    const std::int8_t par_id_main = static_cast<std::int8_t>(raw[at::par_id_main]);
    if (report_to != nullptr) {
        write_free(*report_to, {"scanner output: measid ", measid});
        print_measid_contents(*report_to, measid);
    }
    if (measid != 77) text::stop_run("*** only measid 77 is implemented");
    if (par_id_main != 8) {
        write_free(console(), {"*** error in header: parIDmain not 8:", par_id_main});
        text::stop_run();
    }

    // Bytes 26-209: instrument, units, calibration and time.
    read_header_bytes(in, raw + 26, at::kLongSize - 26);
    const std::string_view instrument = chars(raw + at::instrument, at::kInstrumentSize);
    const float range_unit = le_f32(raw + at::range_unit), angle_unit = le_f32(raw + at::angle_unit), timer_unit = le_f32(raw + at::timer_unit);
    const std::int8_t polar_id = static_cast<std::int8_t>(raw[at::polar_id]);
    const std::string_view epoch_text = chars(raw + at::time_epoch, at::kTimeEpochSize);
    const std::string_view time_source = chars(raw + at::time_source, at::kTimeSourceSize);
    const std::uint8_t syncflag = raw[at::syncflag];

    std::int32_t hour = 0, minute = 0, second = 0;
    const std::string_view source_kind = time_source.substr(0, 3);
    if (source_kind == "GPS" || source_kind == "RTC") read_epoch_text(in, epoch_text, hour, minute, second);
    hdr.epoch = hour + minute / 60.0 + second / 3600.0;
    epoch_text.copy(hdr.epoch_text, sizeof hdr.epoch_text);

    hdr.nmeas = nmeas;
    hdr.bytes_per_scan = bytes_per_scan;
    hdr.measid = measid;
    hdr.polar_id = polar_id;
    hdr.range_unit = range_unit;
    hdr.angle_unit = angle_unit;
    hdr.timer_unit = timer_unit;
    read_floats(raw + at::a, hdr.a, 3);
    read_floats(raw + at::b, hdr.b, 3);
    read_floats(raw + at::c, hdr.c, 3);
    read_floats(raw + at::d, hdr.d, 3);
    for (int k = 0; k < 4; ++k) {
        read_floats(raw + at::e + at::kFacetStride * k, hdr.e[k], 3);
        hdr.eps[k] = le_f32(raw + at::eps + at::kFacetStride * k);
    }

    if (report_to == nullptr) return;
    write_fixed(*report_to, sizes_and_units, {bytes_per_meas, nmeas, range_unit, angle_unit, timer_unit});
    write_free(*report_to, {"instrument id: ", instrument, " polarangle id: ", polar_id});
    write_free(*report_to, {"time epoch: ", epoch_text, " hr,min,sec =", hour, minute, second});
    write_fixed(*report_to, source_line, {time_source, syncflag});
    print_calibration(*report_to, hdr);
}

void read_header(ByteReader& in, scanner_header& hdr, text::OutStream* report_to) {
    std::uint8_t head[at::kShortSize];
    read_header_bytes(in, head, at::kShortSize);
    const std::int32_t length = le_i32(head + at::length);
    if (length <= static_cast<std::int32_t>(at::kShortSize)) {
        read_short_variant(head, length, hdr, report_to);
        return;
    }
    read_long_variant(in, hdr, report_to);
}

}  // namespace

void readhdr(ByteReader& in, scanner_header& hdr) { read_header(in, hdr, &console()); }

void readhdr_quiet(ByteReader& in, scanner_header& hdr) { read_header(in, hdr, nullptr); }

}  // namespace morva::scanner
