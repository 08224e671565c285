#pragma once
// Scanner files described in a few readable lines, for tests and examples.
//
// One statement per line; "#" starts a comment. Integers are decimal, or
// hexadecimal with 0x, or binary with 0b; values wider than their field keep
// their low bits.
//
//   header [KEY=VALUE ...]   the long 210-byte header with defaults (see
//                            scanner_writer.hpp). Keys: length,
//                            bytes_per_scan (default 12 + 10 x nmeas),
//                            protocol, headerid, bytes_per_meas, nmeas
//                            (default 1), measid, parid, instrument,
//                            range_unit, angle_unit, timer_unit, polar_id,
//                            a, b, c, d, e1, e2, e3, e4 (three values joined
//                            by commas), eps (four values), epoch (the
//                            32-character text), time=hh:mm:ss (an epoch
//                            text for that time), source, syncflag. Text
//                            values may be quoted: epoch="x y".
//   short [KEY=VALUE ...]    the short 47-byte header instead. Keys: length,
//                            bytes_per_scan, bytes_per_meas, nmeas,
//                            range_unit, angle_unit, timer_unit, angleid.
//   scan NUMBER FLAGS SECONDS TIMER [sync=V] [unused=V]
//                            a scan record: syncseq V (default: the header's
//                            bytes per scan), the measurement lines that
//                            follow, then the trailer with the raw scan
//                            number, GPS flags, seconds and timer counts.
//   scans COUNT NUMBER FLAGS SECONDS TIMER [sync=V] [step=DN,DS,DT]
//                            COUNT such records, the same measurements in
//                            each; scan number, seconds and timer advance by
//                            DN, DS, DT (default 1,0,0) from record to record.
//   m RANGE AMPL ANGLE TIMER one measurement (counts) of the current scan.
//   ramp N RANGE AMPL ANGLE TIMER [DR DA DANG DT]
//                            N measurements, each field stepped by its
//                            increment (default 0) from one to the next.
//   bytes HEX...             raw bytes appended as they stand.
//   patch OFFSET HEX...      overwrites bytes of the finished file.
//   cut SIZE                 the finished file ends after SIZE bytes.
//
// Example: two scans of three measurements, the file cut inside the second
// scan's trailer.
//
//   header nmeas=3 time=10:30:00 source=GPS
//   scan 7 0b101 100 250000
//   ramp 3 50000 100 0 0 10 1 1000 10
//   scan 8 0b101 100 275000
//   ramp 3 50000 100 0 0 10 1 1000 10
//   cut 288

#include <string>
#include <string_view>

namespace morva::sim {

// Builds the bytes of a scanner file from a script; on a malformed script
// returns an empty string and sets `error`.
std::string build_scanner_file(std::string_view script, std::string& error);

}  // namespace morva::sim
