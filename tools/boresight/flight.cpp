#include "flight.hpp"

#include <cmath>
#include <memory>
#include <utility>

#include "georef/scan_processing.hpp"
#include "scanner/byte_reader.hpp"
#include "scanner/scan_stream.hpp"
#include "text/out_stream.hpp"
#include "text/stop.hpp"
#include "text/text_reader.hpp"

namespace morva::boresight {
namespace {

[[noreturn]] void fail(const Flight& flight, const std::string& problem) {
    text::stop_run(flight.name + ": " + problem);
}

// The core's stop line ("*** ..."), said of this flight.
[[noreturn]] void fail_with(const Flight& flight, const std::string& what, const text::RunStopped& stop) {
    std::string line = text::stop_line(stop);
    if (line.rfind("*** ", 0) == 0) line.erase(0, 4);
    fail(flight, what + ": " + line);
}

// A name inside a run control, taken relative to the run control's folder.
std::string beside(const Flight& flight, const std::string& name) {
    if (name.empty() || name[0] == '/') return name;
    return flight.folder + name;
}

void read_control(Flight& f) {
    text::TextReader in;
    if (!text::open_in(in, f.name)) fail(f, "cannot read the run control");
    try {
        inputs::read_run_control(in, f.rc);
    } catch (const text::RunStopped& stop) {
        fail_with(f, "the run control", stop);
    }
    inputs::derive(f.rc);
    if (!f.rc.full_georef) {
        fail(f, "the run control asks for the simplified vertical computation (full_georef F): its points carry no "
                "positions to calibrate with");
    }
    if (f.rc.iout_type > 3) fail(f, "the run control's iout_type " + std::to_string(f.rc.iout_type) + " is not one morva processes");
}

void load_inputs(Flight& f) {
    const inputs::RunControl& rc = f.rc;
    // Opened before the core's readers take over: a stop of its own is not
    // one of theirs to be prefixed again.
    text::TextReader gps;
    const std::string gps_name = beside(f, inputs::trimmed(rc.gpsfile));
    if (!text::open_in(gps, gps_name)) fail(f, "cannot read its trajectory " + gps_name);
    try {
        if (rc.geoid_wanted) inputs::load_geoid(beside(f, inputs::trimmed(rc.geoidfile)), f.geoid);
        inputs::load_trajectory(gps, rc, f.trajectory);
    } catch (const text::RunStopped& stop) {
        fail_with(f, "its inputs", stop);
    }
    if (f.trajectory.ntraj < 2) fail(f, "its trajectory holds fewer than two records inside the time window");
}

// Every measurement the run would georeference, in the run's order, with
// the trajectory cursor the run would have; and the output points the run
// forms from them. Which measurements make a point is left to the core's
// output stage: fed the measurements' indices alone, it says when a point
// is formed and of how many of the accepted measurements before.
void read_shots(Flight& f) {
    const inputs::RunControl& rc = f.rc;
    const std::string scan_name = beside(f, inputs::trimmed(rc.scanfile));
    scanner::ByteReader in;
    if (!scanner::open_bytes(in, scan_name)) fail(f, "cannot read its scanner file " + scan_name);
    try {
        scanner::readhdr_quiet(in, f.header);
        scanner::ScanStream stream;
        scanner::begin_scans(f.header, rc, stream);
        text::OutStream report;  // the first scans' lines, not wanted here
        auto tables = std::make_unique<scanner::ScanTables>();
        const inputs::TrajectoryTable& traj = f.trajectory;
        std::int32_t jtraj = 1;
        for (;;) {
            text::clear(report);
            const std::uint8_t* raw = scanner::read_scan_record(in, f.header, stream, report);
            if (raw == nullptr) break;
            if (stream.tscan < rc.tstart) continue;
            const georef::ScanDecision decision = georef::scan_test(stream, rc);
            if (decision == georef::ScanDecision::End) break;
            if (decision == georef::ScanDecision::Skip) continue;
            scanner::decode_measurements(raw, f.header, stream.nsector, *tables);
            georef::OutputGroup group;  // a group never spans two scans
            for (std::int32_t i = 1; i <= f.header.nmeas; ++i) {
                const double thr = georef::measurement_time(stream.epoch, stream.tsec, tables->scan_timer[i - 1],
                                                            stream.tfrac, stream.dtsec);
                const double range = tables->scan_range[i - 1];
                if (range < georef::kMinRange) continue;
                const georef::Interval at = georef::advance(traj, jtraj, thr);
                georef::Pose pose;
                georef::interpolate_position(traj, at, pose);
                if (!georef::inside_area(rc, pose.lat, pose.lon)) continue;
                const auto k = static_cast<std::uint32_t>(f.measurements.size());
                f.measurements.push_back(
                    {thr, range, tables->scan_angle[i - 1], at.f, at.j, stream.scanno, i, tables->scan_ampl[i - 1]});
                note_measurement(f.shots, group, rc.navg, i, k);
            }
        }
    } catch (const text::RunStopped& stop) {
        fail_with(f, "its scanner file", stop);
    }
    if (f.measurements.empty()) fail(f, "no measurement of its scanner file lies inside the time window and the area");
    if (f.shots.empty()) fail(f, "its measurements inside the time window and the area form no averaged point (navg " + std::to_string(rc.navg) + ")");
}

// Mean track and height over the measurements, from the trajectory.
void describe_track(Flight& f) {
    const inputs::TrajectoryTable& traj = f.trajectory;
    const std::int32_t first = f.measurements.front().j, last = f.measurements.back().j + 1;
    double s = 0, c = 0, h = 0;
    for (std::int32_t k = first; k <= last; ++k) {
        const double a = traj.slot[k].heading * georef::kDegToRad;
        s += std::sin(a);
        c += std::cos(a);
        h += traj.slot[k].h;
    }
    f.heading = std::atan2(s, c) / georef::kDegToRad;
    f.height = h / (last - first + 1);
}

}  // namespace

void note_measurement(std::vector<Shot>& shots, georef::OutputGroup& group, std::int32_t navg, std::int32_t i,
                      std::uint32_t k) {
    georef::Accepted index{};
    index.i = i;
    georef::scanpt p;
    if (!georef::form_point(group, navg, index, p)) return;
    if (navg <= 1) shots.push_back({k, 1, k});
    else shots.push_back({k - static_cast<std::uint32_t>(p.n), static_cast<std::uint32_t>(p.n), k});
}

void load_flight(const std::string& run_control, georef::Geodesy geodesy, Flight& flight) {
    flight.name = run_control;
    const std::size_t slash = run_control.rfind('/');
    flight.folder = slash == std::string::npos ? "" : run_control.substr(0, slash + 1);
    flight.geodesy = geodesy;
    read_control(flight);
    load_inputs(flight);
    read_shots(flight);
    describe_track(flight);
    text::clear(text::console());  // the core readers' report lines
}

namespace {

// The flight's run control with a trial misalignment: one copy per flight
// and thread, so that trials on several threads never share one.
const inputs::RunControl& trial_control(const Flight& flight, const double angles[3]) {
    thread_local std::vector<std::pair<const Flight*, std::unique_ptr<inputs::RunControl>>> copies;
    inputs::RunControl* rc = nullptr;
    for (auto& [owner, copy] : copies) {
        if (owner == &flight) rc = copy.get();
    }
    if (rc == nullptr) {
        copies.emplace_back(&flight, std::make_unique<inputs::RunControl>(flight.rc));
        rc = copies.back().second.get();
    }
    rc->dpitch = angles[0];
    rc->droll = angles[1];
    rc->dheading = angles[2];
    return *rc;
}

// One measurement as georeferencing hands it to the output stage.
georef::Accepted accepted(const Flight& flight, const inputs::RunControl& rc, const Measurement& m,
                          double range_change) {
    const georef::Interval at{m.j, m.f};
    georef::Pose pose;
    georef::interpolate_position(flight.trajectory, at, pose);
    georef::interpolate_attitude(flight.trajectory, at, rc, pose);
    const georef::Model model{&rc, rc.geoid_wanted ? &flight.geoid : nullptr, &flight.header, flight.geodesy};
    georef::GroundPoint p;
    const double range = m.range + range_change;
    georef::locate(model, pose, m.thr, range, m.angle_gon, m.scanno, p);
    const double xscan = georef::across_scan_position(m.i, flight.header.nmeas);
    const double pcorr = georef::height_correction(rc.pcoef, xscan);
    return {m.thr, p.lat, p.lon, p.h - pcorr, pose.airh, p.alpha, xscan, range, m.ampl, m.i};
}

}  // namespace

georef::scanpt output_point(const Flight& flight, const Shot& shot, const double angles[3], double range_change) {
    const inputs::RunControl& rc = trial_control(flight, angles);
    georef::scanpt p{};
    georef::OutputGroup group;
    if (rc.navg <= 1) {
        georef::form_point(group, rc.navg, accepted(flight, rc, flight.measurements[shot.closer], range_change), p);
        return p;
    }
    for (std::uint32_t k = shot.first; k < shot.first + shot.count; ++k) {
        georef::join_group(group, accepted(flight, rc, flight.measurements[k], range_change));
    }
    // The closing measurement gives the point its index, range and
    // across-scan position only: its position is the next group's.
    const Measurement& closer = flight.measurements[shot.closer];
    georef::Accepted last{};
    last.i = closer.i;
    last.range = closer.range + range_change;
    last.xscan = georef::across_scan_position(closer.i, flight.header.nmeas);
    georef::close_group(group, last, p);
    return p;
}

Geo georeference_shot(const Flight& flight, const Shot& shot, const double angles[3], double range_change) {
    const georef::scanpt p = output_point(flight, shot, angles, range_change);
    return {p.lat, p.lon, p.h};
}

}  // namespace morva::boresight
