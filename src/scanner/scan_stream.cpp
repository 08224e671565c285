#include "scanner/scan_stream.hpp"

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

#include "text/free_output.hpp"
#include "text/layout.hpp"
#include "text/out_stream.hpp"
#include "text/stop.hpp"
#include "text/warning.hpp"

namespace morva::scanner {
namespace {

using text::console;
using text::write_fixed;
using text::write_free;

constexpr std::size_t kTrailerBytes = 10;

// Whole part of a real as a report integer; values no integer field could
// hold saturate (they print as asterisks), NaN gives 0.
std::int64_t whole(double v) {
    if (std::isnan(v)) return 0;
    if (v >= 9.0e18) return std::numeric_limits<std::int64_t>::max();
    if (v <= -9.0e18) return std::numeric_limits<std::int64_t>::min();
    return static_cast<std::int64_t>(v);
}

std::int32_t to_i32(std::uint32_t bits) { return static_cast<std::int32_t>(bits); }
std::uint32_t to_u32(std::int32_t v) { return static_cast<std::uint32_t>(v); }

// Sectors of the angle encoder: counts per sector, or 0 when the header's
// unit and polar id give no usable sector.
std::int32_t counts_per_sector(double angle_unit, std::int8_t polar_id) {
    const double n = 400.0 / angle_unit / polar_id;
    if (!std::isfinite(n) || n < 1.0 || n >= 2147483648.0) return 0;
    return static_cast<std::int32_t>(n);
}

void print_file_start(const ScanStream& s) {
    static const text::Layout line = text::layout(R"(" File start epoch:" F9.5 " " I5 I3 F6.2 ", dtsec:" F7.2)");
    const std::int64_t hours = whole(s.epoch);
    const double fraction = s.epoch - static_cast<double>(hours);
    const std::int64_t minutes = whole(fraction * 60.0);
    const double seconds = (fraction - static_cast<double>(minutes) / 60.0) * 3600.0;
    write_fixed(console(), line, {s.epoch, hours, minutes, seconds, s.dtsec});
}

// The trailer's counters, numbering and time of the current scan.
void apply_trailer(const std::uint8_t* p, const scanner_header& hdr, ScanStream& s, text::OutStream& report) {
    static const text::Layout first_scan = text::layout(R"(/" First scan epoch (seconds from GPS init):" F12.6)");
    static const text::Layout scan_line =
        text::layout(R"L(" scan no:" 2I4 ", time (hr)" F10.6 ", GPS sync flags: " B7.7)L");
    static const text::Layout centre_heading = text::layout(
        R"(" Centre of scan data every 30 sec: " / "     scan no     thr       lat        lon        h")"
        R"( "   ampl  flags")");

    // A read replaces only the low bits; the high bits carry.
    s.scan_counter = to_i32((to_u32(s.scan_counter) & 0xFFFF0000u) | le_u16(p + 1));
    s.gpsflags = p[3];
    std::uint32_t seconds = le_u24(p + 4);
    s.timer_counter = to_i32((to_u32(s.timer_counter) & 0xFF000000u) | le_u24(p + 7));

    if (s.nscan == 1) {
        write_fixed(report, first_scan, {seconds + hdr.timer_unit * s.timer_counter});
        s.first_timer = s.timer_counter;
        s.first_scan_number = s.scan_counter;
    } else if (!s.sync_used) {
        // The free-running timer wrapped since the first scan (only once is supported).
        if (std::int64_t{s.timer_counter} - s.first_timer <= -16700000) {
            s.timer_counter = to_i32(to_u32(s.timer_counter) + 16777216u);
        }
    }

    std::int32_t scanno = to_i32(to_u32(s.scan_counter) - to_u32(s.first_scan_number) + 1u);
    if (s.nscan > 1 && scanno < s.prev_scanno) scanno = to_i32(to_u32(scanno) + 65536u);
    s.scanno = scanno;
    s.scan_counter = scanno;
    s.prev_scanno = scanno;

    // A seconds count that has already advanced while the timer still reads
    // the end of the previous second is one second early.
    const double tfrac = hdr.timer_unit * s.timer_counter;
    if (s.nscan > 1 && seconds > s.prev_seconds && tfrac > static_cast<double>(0.999f)) seconds -= 1;
    s.prev_seconds = seconds;

    s.tsec = seconds;
    s.tfrac = tfrac;
    s.tscan = s.epoch + (s.tsec + s.tfrac + s.dtsec) / 3600.0;

    if (s.nscan <= 5) {
        write_fixed(report, scan_line, {s.nscan, s.scanno, s.tscan, s.gpsflags});
        if (s.nscan == 5) write_fixed(report, centre_heading, {});
    }
}

// A unit that is not a positive finite number would turn every measurement
// into the overflow marker or NaN and still end "normally".
void check_units(const scanner_header& hdr, const inputs::RunControl& rc) {
    auto usable = [](double unit) { return std::isfinite(unit) && unit > 0; };
    if (!usable(hdr.range_unit)) text::stop_run("*** invalid range unit in header: not a positive number");
    if (!usable(hdr.timer_unit)) text::stop_run("*** invalid timer unit in header: not a positive number");
    // The calibration values count only where they are applied.
    if (!rc.use_cal || !rc.full_georef) return;
    struct Named {
        const char* name;
        const float* values;
        int n;
    };
    const Named fields[] = {{"a", hdr.a, 3},        {"b", hdr.b, 3},        {"c", hdr.c, 3},
                            {"d", hdr.d, 3},        {"e1", hdr.e[0], 3},    {"e2", hdr.e[1], 3},
                            {"e3", hdr.e[2], 3},    {"e4", hdr.e[3], 3},    {"eps", hdr.eps, 4}};
    for (const Named& f : fields) {
        for (int k = 0; k < f.n; ++k) {
            if (!std::isfinite(f.values[k])) {
                text::stop_run(std::string("*** invalid calibration value in header: ") + f.name +
                               " is not a finite number (use_cal is T)");
            }
        }
    }
}

// A file that ends inside a scan's measurements ends the loop as the end of
// the file would; the user learns what was lost.
void warn_cut_scan(const ByteReader& in, const scanner_header& hdr, const ScanStream& s, std::size_t held,
                   std::size_t record) {
    text::warn("the scanner file " + in.name + " ends inside scan " + std::to_string(s.nscan) + ", after " +
               std::to_string(held) + " of its " + std::to_string(record) + " bytes: its " +
               std::to_string(hdr.nmeas) + (hdr.nmeas == 1 ? " measurement is" : " measurements are") +
               " lost");
}

}  // namespace

void decode_measurements(const std::uint8_t* p, const scanner_header& hdr, std::int32_t nsector, ScanTables& t) {
    const std::int32_t n = hdr.nmeas > 0 ? hdr.nmeas : 0;
    const double range_unit = hdr.range_unit;
    const double angle_step = hdr.angle_unit * 2.0;
    const double timer_unit = hdr.timer_unit;
    const std::uint32_t sector = static_cast<std::uint32_t>(nsector);
    for (std::int32_t i = 0; i < n; ++i, p += kMeasurementBytes) {
        t.scan_range[i] = range_unit * measurement_range(p);
        t.scan_ampl[i] = measurement_amplitude(p);
        t.scan_angle[i] = angle_step * (measurement_angle(p) % sector);
        t.scan_timer[i] = timer_unit * measurement_timer(p);
    }
}

void begin_scans(const scanner_header& hdr, const inputs::RunControl& rc, ScanStream& s) {
    if (hdr.measid != 77) text::stop_run("*** only measis 77 implemented");
    if (hdr.nmeas > kScanDim) text::stop_run("*** increase iscandim");
    s.nsector = counts_per_sector(hdr.angle_unit, hdr.polar_id);
    if (s.nsector == 0) text::stop_run("*** invalid angle unit or polar angle id in header");
    check_units(hdr, rc);

    if (!rc.use_cal) write_free(console(), {"- Riegl calibration par not used"});

    s.epoch = hdr.epoch;
    s.dtsec = rc.dtsec;
    if (s.epoch == 0) {
        s.epoch = rc.hr0 + rc.min0 / 60.0 + rc.sec0 / 3600.0;
        s.sync_used = false;
        write_free(console(), {"- Riegl header record: no gps sync found"});
    } else if (rc.use_sync) {
        s.sync_used = true;
    } else {
        write_free(console(), {"- GPS sync found, but not used"});
        s.sync_used = false;
    }
    print_file_start(s);
}

const std::uint8_t* read_scan_record(ByteReader& in, const scanner_header& hdr, ScanStream& s,
                                     text::OutStream& report) {
    ++s.nscan;
    const std::size_t meas_bytes = measurement_bytes(hdr);
    const std::size_t record = 2 + meas_bytes + kTrailerBytes;

    // The whole record is made contiguous in the buffer and read in place.
    const std::size_t held = in.end - in.begin >= record ? record : ensure(in, record);
    if (held < 2) {
        if (held > 0) warn_cut_scan(in, hdr, s, held, record);
        in.begin = in.end;
        return nullptr;
    }
    const std::uint8_t* p = in.buffer.get() + in.begin;
    ++s.records_read;

    const std::int16_t syncseq = le_i16(p);
    if (syncseq != hdr.bytes_per_scan) {
        write_free(report, {"*** warning - syncseq not ok", syncseq, hdr.bytes_per_scan});
    }
    if (held < 2 + meas_bytes) {
        warn_cut_scan(in, hdr, s, held, record);
        in.begin = in.end;
        return nullptr;
    }
    if (held < record) {
        text::stop_run("*** read error in " + in.name + ", scan " + std::to_string(s.nscan) +
                       ": end of file inside the scan trailer");
    }

    apply_trailer(p + 2 + meas_bytes, hdr, s, report);
    in.begin += record;
    return p + 2;
}

bool read_scan(ByteReader& in, const scanner_header& hdr, ScanStream& s, ScanTables& tables) {
    const std::uint8_t* p = read_scan_record(in, hdr, s, console());
    if (p == nullptr) return false;
    decode_measurements(p, hdr, s.nsector, tables);
    return true;
}

}  // namespace morva::scanner
