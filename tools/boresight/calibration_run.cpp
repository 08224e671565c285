#include "calibration_run.hpp"

#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cstdio>

#include "adjustment.hpp"
#include "calibrated_control.hpp"
#include "flight.hpp"
#include "flight_geodesy.hpp"
#include "inputs/file_guard.hpp"
#include "inputs/output_guard.hpp"
#include "records/scan_point_record.hpp"
#include "report.hpp"
#include "staged_files.hpp"
#include "staged_text.hpp"
#include "text/out_stream.hpp"
#include "text/stop.hpp"
#include "text/warning.hpp"
#include "campaign_records.hpp"

namespace morva::boresight {
namespace {

[[noreturn]] void stop(const std::string& message) { text::stop_run(message); }

// One installation: one scanner (its header's geometry and calibration), one
// lever arm and calibration switch, one stated misalignment.
void check_installation(const std::vector<Flight>& flights) {
    const Flight& a = flights.front();
    for (std::size_t k = 1; k < flights.size(); ++k) {
        const Flight& b = flights[k];
        for (std::size_t j = 0; j < k; ++j) {
            if (inputs::same_file(flights[j].name, b.name)) stop(b.name + ": given twice");
        }
        const scanner::scanner_header& ha = a.header;
        const scanner::scanner_header& hb = b.header;
        const bool scanner_same = ha.nmeas == hb.nmeas && ha.range_unit == hb.range_unit &&
                                  ha.angle_unit == hb.angle_unit && ha.polar_id == hb.polar_id &&
                                  std::equal(ha.a, ha.a + 3, hb.a) && std::equal(ha.b, ha.b + 3, hb.b) &&
                                  std::equal(ha.c, ha.c + 3, hb.c) && std::equal(ha.d, ha.d + 3, hb.d) &&
                                  std::equal(ha.eps, ha.eps + 4, hb.eps);
        if (!scanner_same) stop(b.name + ": another scanner than " + a.name + " (its header's geometry differs)");
        if (a.rc.offx != b.rc.offx || a.rc.offy != b.rc.offy || a.rc.offz != b.rc.offz) {
            stop(b.name + ": another lever arm than " + a.name + " (offx offy offz)");
        }
        if (a.rc.use_cal != b.rc.use_cal || a.rc.angle_sign != b.rc.angle_sign) {
            stop(b.name + ": processed otherwise than " + a.name + " (use_cal or the scan-angle sign of iout_type)");
        }
        if (a.rc.dpitch != b.rc.dpitch || a.rc.droll != b.rc.droll || a.rc.dheading != b.rc.dheading) {
            stop(b.name + ": states another misalignment than " + a.name + "; one installation starts from one");
        }
    }
}

// The points a calibration recomputes, written as morva writes its scan
// points: the check that the recomputation is morva's own, for any navg.

// "run.in.points" for "run.in": beside the run control.
std::string dump_name(const std::string& run_control) { return run_control + ".points"; }

// Why the dump cannot be written (it exists, or is a file of any flight's
// run); empty when it can.
std::string dump_refusal(const std::vector<Flight>& flights, const Flight& flight) {
    const std::string out = dump_name(flight.name);
    struct stat st;
    if (::stat(out.c_str(), &st) == 0) return out + ": exists already; it is never written over";
    for (const Flight& f : flights) {
        const std::string why = inputs::output_refusal(out, common::run_files(f.rc, f.name, f.folder));
        if (!why.empty()) return why;
    }
    return {};
}

// Every output point of the flight at the misalignment `angles`, in the
// form of morva's scan-point file for its run control (binary for iout_type
// 2, text otherwise, with the group size when it averages), in morva's order.
std::string dump_points(const Flight& flight, const std::array<double, 3>& angles) {
    text::OutStream out;  // held in memory
    const bool with_group_size = flight.rc.navg > 1;
    for (const Shot& shot : flight.shots) {
        const georef::scanpt p = output_point(flight, shot, angles.data());
        if (flight.rc.binary_output) records::write_binary_record(out, p);
        else records::write_text_record(out, p, with_group_size);
    }
    return out.used == 0 ? std::string() : std::string(out.buffer.get(), out.used);
}

// The recomputed points of every flight at its stated misalignment.
int dump(const std::vector<Flight>& flights) {
    for (const Flight& f : flights) {
        const std::string why = dump_refusal(flights, f);
        if (!why.empty()) stop(why);
    }
    // Every flight's points appear together, when all are complete.
    common::StagedFiles staged;
    std::string lines;
    for (const Flight& f : flights) {
        const std::string name = dump_name(f.name);
        stage_text(staged, name, dump_points(f, {f.rc.dpitch, f.rc.droll, f.rc.dheading}));
        lines += name + ": " + std::to_string(f.shots.size()) + " points of " + std::to_string(f.measurements.size()) +
                 " measurements (navg " + std::to_string(f.rc.navg) + ")\n";
    }
    staged.commit();
    std::fwrite(lines.data(), 1, lines.size(), stdout);
    std::fflush(stdout);
    return 0;
}

}  // namespace

int calibrate(const BoresightOptions& o) {
    // The core readers' report lines stay in memory.
    text::attach_out(text::console(), -1, "the core's report");

    std::vector<Flight> flights(o.run_controls.size());
    for (std::size_t k = 0; k < flights.size(); ++k) {
        load_flight(o.run_controls[k], o.geodesy.value_or(georef::Geodesy::Flat), flights[k]);
    }
    std::string geodesy_source;
    const georef::Geodesy geodesy = flights_geodesy(flights, o.metadata, o.geodesy, geodesy_source);
    for (Flight& f : flights) f.geodesy = geodesy;
    if (geodesy_source == kFromRecords) text::note(std::string("geodesy ") + georef::geodesy_name(geodesy) + " from " + geodesy_source);
    if (o.dump_points) return dump(flights);
    check_installation(flights);
    if (!o.json.empty()) {
        for (const Flight& f : flights) {
            const std::string why =
                inputs::output_refusal(o.json, common::run_files(f.rc, f.name, f.folder));
            if (!why.empty()) stop(why);
        }
    }
    if (o.write_run_controls) {
        for (const Flight& f : flights) {
            const std::string why = calibrated_refusal(f);
            if (!why.empty()) stop(why);
        }
    }

    Calibration c;
    for (const Flight& f : flights) c.flights.push_back(&f);
    c.geodesy = georef::geodesy_name(geodesy);
    const std::array<double, 3> start = {flights[0].rc.dpitch, flights[0].rc.droll, flights[0].rc.dheading};
    c.adjustment.start = c.adjustment.estimate = start;

    const Flight& first = flights.front();
    const Geo centre = georeference_shot(first, first.shots[first.shots.size() / 2], start.data());
    const LocalFrame frame = frame_at(centre.lat, centre.lon);
    AdjustOptions adjust_options;
    adjust_options.threads = o.threads;
    adjust_options.max_sigma = o.max_sigma;

    // Twice: patches at the start, then at the first estimate (a patch's
    // strips then cover one plane even where the start was far off).
    std::array<double, 3> angles = start;
    for (int round = 0; round < 2 && flights.size() >= 2; ++round) {
        c.selection = select_patches(strip_points(flights, frame, angles.data(), o.threads), o.patch);
        if (static_cast<int>(c.selection.patches.size()) < o.min_patches) break;
        c.adjustment = adjust(flights, frame, c.selection.patches, start, adjust_options);
        std::vector<Patch> kept;
        for (std::size_t k : c.adjustment.used) kept.push_back(std::move(c.selection.patches[k]));
        c.selection.patches.swap(kept);
        if (!(c.adjustment.determined[0] && c.adjustment.determined[1] && c.adjustment.determined[2])) break;
        angles = c.adjustment.estimate;
    }
    explain(c, o.min_patches, o.max_sigma);

    // The calibrated copies and the JSON report appear together, when all are
    // complete; none of them on a stop or a signal.
    const bool ok = all_determined(c);
    common::StagedFiles staged;
    if (ok && o.write_run_controls) {
        for (const Flight& f : flights) {
            stage_calibrated(staged, f, calibrated_text(f, c.adjustment.estimate), c.adjustment.estimate);
            c.written.push_back(calibrated_name(f.name));
        }
    }
    if (!o.json.empty()) stage_text(staged, o.json, report_json(c));
    staged.commit();
    const std::string text = report_text(c);
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
    if (!ok) {
        std::fprintf(stderr, "morva-boresight: %s\n", refusal_line(c).c_str());
        return 1;
    }
    return 0;
}

}  // namespace morva::boresight
