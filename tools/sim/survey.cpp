#include "survey.hpp"

#include <bit>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "georef/georeference.hpp"
#include "seeded_values.hpp"

namespace morva::sim {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kRad = kPi / 180.0;
constexpr std::int64_t kTimerWrap = std::int64_t{1} << 24;

std::string padded_name(const std::string& name) {
    std::string s = name;
    s.resize(inputs::kNameLength, ' ');
    return s;
}

// Degrees in (-180, 180], as the trajectory holds headings.
double reduce_degrees(double a) {
    a = std::fmod(a, 360.0);
    if (a > 180.0) a -= 360.0;
    if (a <= -180.0) a += 360.0;
    return a;
}

// A time in hours with six decimals whose text reads back to the same value.
double hours_text_value(double hours, bool up) {
    double scaled = up ? std::ceil(hours * 1e6) : std::floor(hours * 1e6);
    char text[64];
    std::snprintf(text, sizeof text, "%.6f", scaled / 1e6);
    return std::strtod(text, nullptr);
}

double motion(const Motion& m, double t, double phase) {
    return m.bias + m.amplitude * std::sin(2.0 * kPi * t / m.period + phase);
}

void set_header(const SimOptions& o, Survey& s) {
    LongHeader& h = s.header;
    h = default_long_header(static_cast<std::int16_t>(o.nmeas));
    h.range_unit = o.range_unit;
    h.angle_unit = o.angle_unit;
    h.timer_unit = o.timer_unit;
    h.polar_id = static_cast<std::int8_t>(o.polar_id);
    h.time_epoch = epoch_text(o.start[0], o.start[1], o.start[2]);
    h.time_source = o.time_source == TimeSource::Gps ? "GPS" : o.time_source == TimeSource::Rtc ? "RTC" : "";
    h.syncflag = o.clock == Clock::Synced ? 0b0000101 : 0;
    if (o.calibration) {
        // A plausible instrument: small emitter offsets and beam angles, a
        // mirror axis close to y, four facets close to the ideal ones.
        const float a[3] = {0.0125f, -0.0042f, 0.0031f}, b[3] = {0.00042f, -0.00027f, 0.0f};
        const float c[3] = {0.0011f, 0.9999992f, -0.0007f}, d[3] = {0.051f, 0.022f, -0.013f};
        const float e[4][3] = {{0.9999995f, 0.0009f, 0.0004f},
                               {-0.0006f, 0.0008f, 0.9999996f},
                               {-0.9999995f, -0.0007f, 0.0005f},
                               {0.0005f, -0.0009f, -0.9999995f}};
        const float eps[4] = {0.0512f, 0.0508f, 0.0511f, 0.0509f};
        for (int k = 0; k < 3; ++k) {
            h.a[k] = a[k], h.b[k] = b[k], h.c[k] = c[k], h.d[k] = d[k];
            for (int f = 0; f < 4; ++f) h.e[f][k] = e[f][k];
        }
        for (int f = 0; f < 4; ++f) h.eps[f] = eps[f];
    }

    scanner::scanner_header& r = s.hdr;
    r.nmeas = h.nmeas;
    r.range_unit = h.range_unit;
    r.angle_unit = h.angle_unit;
    r.timer_unit = h.timer_unit;
    r.measid = h.measid;
    r.bytes_per_scan = h.bytes_per_scan;
    r.polar_id = h.polar_id;
    r.epoch = o.time_source == TimeSource::None ? 0.0 : o.start[0] + o.start[1] / 60.0 + o.start[2] / 3600.0;
    for (int k = 0; k < 3; ++k) {
        r.a[k] = h.a[k], r.b[k] = h.b[k], r.c[k] = h.c[k], r.d[k] = h.d[k];
        for (int f = 0; f < 4; ++f) r.e[f][k] = h.e[f][k];
    }
    for (int f = 0; f < 4; ++f) r.eps[f] = h.eps[f];
}

void set_run_control(const SimOptions& o, inputs::RunControl& rc) {
    rc.scanfile = padded_name(kScanFile);
    rc.gpsfile = padded_name(kTrajectoryFile);
    rc.geoidfile = padded_name(o.geoid ? kGeoidFile : "0");
    rc.scanptfile = padded_name(o.binary ? kPointsBinary : kPointsText);
    rc.centfile = padded_name(kCentreFile);
    rc.hr0 = o.start[0];
    rc.min0 = o.start[1];
    rc.sec0 = o.start[2];
    rc.dtsec = o.dtsec;
    rc.use_sync = o.clock == Clock::Synced;
    rc.latmin = -90, rc.latmax = 90, rc.lonmin = -180, rc.lonmax = 180;
    rc.navg = 1;
    rc.nthin = 1;
    rc.iout_type = o.binary ? 2 : 1;
    rc.attitude = o.attitude;
    rc.use_cal = o.use_cal;
    rc.icalib = o.icalib;
    rc.full_georef = true;
    for (int k = 0; k < 3; ++k) {
        (&rc.offx)[k] = o.lever[k];
        (&rc.dpitch)[k] = o.misalign[k];
    }
    for (int k = 0; k < 4; ++k) rc.pcoef[k] = o.pcoef[k];
    inputs::derive(rc);
}

// Scan pattern: angles evenly spread over the field of view around the
// nadir, and the timer offset at which the mirror reaches each.
bool set_scan_pattern(const SimOptions& o, Survey& s, std::string& error) {
    const double au = s.hdr.angle_unit;
    const double sector_exact = 400.0 / au / o.polar_id;
    s.nsector = static_cast<std::int32_t>(sector_exact);
    const double fov_gon = o.fov * 400.0 / 360.0;
    const double first = 100.0 - fov_gon / 2.0;
    const double last = 100.0 + fov_gon / 2.0;
    if (first <= 0.0 || last >= 800.0 / o.polar_id) {
        error = "--fov does not fit into one sector of --polar-id";
        return false;
    }
    const std::int32_t n = o.nmeas;
    s.angle_count.resize(n);
    s.timer_count.resize(n);
    for (std::vector<double>* v : {&s.scan_angle, &s.timer_seconds, &s.xscan, &s.distortion, &s.alpha}) v->resize(n);
    const double tu = s.hdr.timer_unit;
    for (std::int32_t i = 0; i < n; ++i) {
        const double theta = first + (last - first) * i / (n - 1);
        const auto c = static_cast<std::uint32_t>(std::llround(theta / (2.0 * au)));
        if (i > 0 && c <= s.angle_count[i - 1]) {
            error = "--angle-unit too coarse for --nmeas measurements over --fov";
            return false;
        }
        if (c >= static_cast<std::uint32_t>(s.nsector)) {
            error = "--fov reaches beyond the encoder sector";
            return false;
        }
        s.angle_count[i] = c;
        s.scan_angle[i] = au * 2.0 * c;
        s.timer_count[i] = static_cast<std::uint32_t>(std::llround(c / sector_exact * s.period_counts));
        s.timer_seconds[i] = tu * s.timer_count[i];
        s.xscan[i] = georef::across_scan_position(i + 1, n);
        s.distortion[i] = georef::height_correction(o.distortion, s.xscan[i]);
    }
    // The nadir angle of each beam, as the run's georeferencing forms it.
    const georef::Model model{&s.rc, nullptr, &s.hdr};
    const georef::Pose level{};
    for (std::int32_t i = 0; i < n; ++i) {
        georef::GroundPoint p;
        georef::locate(model, level, 0.0, 100.0, s.scan_angle[i], i + 1, p);
        s.alpha[i] = p.alpha;
    }
    if (!(s.alpha.front() < 0.0 && s.alpha.back() >= 0.0)) {
        error = "the scan does not cross the nadir";
        return false;
    }
    return true;
}

// The scanner clock: a whole number of counts per second, scans at a fixed
// spacing, and counters the reader follows.
bool set_clock(const SimOptions& o, Survey& s, std::string& error) {
    const double tu = s.hdr.timer_unit;
    s.cps = std::llround(1.0 / tu);
    if (std::fabs(static_cast<double>(s.cps) * tu - 1.0) > 1e-7 || s.cps >= kTimerWrap) {
        error = "--timer-unit must give a whole number of counts per second, below 2^24";
        return false;
    }
    s.period_counts = static_cast<double>(s.cps) / o.scan_rate;
    s.nscans = static_cast<std::int64_t>(o.duration * o.scan_rate);
    if (s.nscans < 1) s.nscans = 1;
    const double first = (o.first_scan - o.dtsec) * static_cast<double>(s.cps);
    if (first < 0.0) {
        error = "the scanner clock would start before the file epoch (--first-scan below --dtsec)";
        return false;
    }
    s.first_count = std::llround(first);
    const std::int64_t last = scan_count(s, s.nscans - 1);
    s.gps_flags = o.clock == Clock::Synced ? 0b0000101 : 0;
    if (o.clock == Clock::Synced) {
        if (last / s.cps >= kTimerWrap) {
            error = "the seconds counter would overflow 24 bits";
            return false;
        }
        return true;
    }
    // Free-running timer: the reader adds 2^24 once, when a count falls at
    // least 16700000 below the first scan's.
    if (s.first_count >= kTimerWrap) {
        error = "--clock free: the first scan lies beyond the timer's 24 bits (lower --first-scan)";
        return false;
    }
    if (last >= kTimerWrap) {
        if (last >= 2 * kTimerWrap) {
            error = "--clock free: the recording would outlast the timer's second wrap";
            return false;
        }
        std::int64_t k = 0;
        while (scan_count(s, k) < kTimerWrap) ++k;
        if ((scan_count(s, k) - kTimerWrap) - s.first_count > -16700000) {
            error =
                "--clock free: the timer wraps where the reader cannot follow it; start the first scan within "
                "77216 counts of the wrap, or keep the recording short enough not to wrap";
            return false;
        }
    }
    return true;
}

void set_window(Survey& s) {
    const double t0 = scan_time(s, 0).tscan;
    const double t1 = scan_time(s, s.nscans - 1).tscan;
    s.rc.tstart = hours_text_value(t0 - 1e-6, false);
    s.rc.tend = hours_text_value(t1 + 1e-6, true);
}

void set_surface(const SimOptions& o, Surface& f) {
    f.kind = o.surface;
    const bool at_start = !is_set(o.surface_origin);
    f.lat0 = at_start ? o.lat : o.surface_origin[0];
    f.lon0 = at_start ? o.lon : o.surface_origin[1];
    f.metres_per_degree_lon = georef::kMetresPerDegree * std::cos(f.lat0 * kRad);
    f.ground = o.ground;
    f.slope_north = o.tilt[0];
    f.slope_east = o.tilt[1];
    f.amplitude = o.waves[0];
    f.wavenumber = 2.0 * kPi / o.waves[1];
    f.phase_north = 2.0 * kPi * unit_random(o.seed, 1);
    f.phase_east = 2.0 * kPi * unit_random(o.seed, 2);
    f.roof_cell = o.roofs;
    f.roof_seed = splitmix(o.seed ^ 0x726F6F6673ull);
    set_scene(o, f);
}

// Half the width of the ground the beams can reach, in metres.
double swath_margin(const SimOptions& o) {
    double tilt = o.fov / 2.0 + std::fabs(o.misalign[0]) + std::fabs(o.misalign[1]) + 5.0;
    if (is_set(o.misalign_truth)) tilt += std::fabs(o.misalign_truth[0]) + std::fabs(o.misalign_truth[1]);
    for (const Motion* m : {&o.pitch, &o.roll}) tilt += std::fabs(m->bias) + std::fabs(m->amplitude);
    if (tilt > 80.0) tilt = 80.0;
    double drop = o.height + std::fabs(o.climb) * (o.duration + 10.0) + 100.0;
    if (o.surface == SurfaceKind::Tilt || o.surface == SurfaceKind::Roofs) {
        drop += (std::fabs(o.tilt[0]) + std::fabs(o.tilt[1])) * (o.speed * (o.duration + 10.0) + 5000.0);
    }
    return drop * std::tan(tilt * kRad) + 500.0 + std::fabs(o.lever[0]) + std::fabs(o.lever[1]);
}

// The nodes of the grid whose extent `s.geoid` holds: a gentle slope and an
// undulation; every value a multiple of 1/256 m, so that its decimal text
// reads back to the same single value. Laid out from the surface origin,
// like the surface, so that flights over one origin share one geoid.
void fill_geoid(Survey& s) {
    const SimOptions& o = s.opt;
    inputs::GeoidGrid& g = s.geoid;
    const double sp = g.dlat;
    const std::int32_t nlat = g.nlat, nlon = g.nlon;
    g.node.reset(new float[std::size_t(nlat) * nlon + 1]);
    g.node[0] = 0.0f;
    const double pa = 2.0 * kPi * unit_random(o.seed, 3), pb = 2.0 * kPi * unit_random(o.seed, 4);
    for (std::int32_t r = 1; r <= nlat; ++r) {
        const double dl = g.glat1 + (r - 1) * sp - s.surface.lat0;
        for (std::int32_t c = 1; c <= nlon; ++c) {
            const double dn = g.glon1 + (c - 1) * sp - s.surface.lon0;
            const double v = o.geoid_height + 1.2 * dl - 0.7 * dn +
                             0.25 * std::sin(2.0 * kPi * dl / 0.07 + pa) * std::cos(2.0 * kPi * dn / 0.09 + pb);
            g.node[std::size_t(r - 1) * nlon + c] = static_cast<float>(std::round(v * 256.0) / 256.0);
        }
    }
}

bool set_geoid(const SimOptions& o, Survey& s, std::string& error) {
    // The area flown, with the swath and some room around it.
    const double span = o.speed * (o.duration + 8.0);
    const double north = span * std::cos(o.heading * kRad), east = span * std::sin(o.heading * kRad);
    const double margin = swath_margin(o);
    const double dlat_margin = margin * georef::kDegreesPerMetre;
    const double lat_a = std::fmin(o.lat, o.lat + north * georef::kDegreesPerMetre) - dlat_margin;
    const double lat_b = std::fmax(o.lat, o.lat + north * georef::kDegreesPerMetre) + dlat_margin;
    const double widest = std::fmax(std::fabs(lat_a), std::fabs(lat_b));
    if (widest >= 89.5) {
        error = "the survey area reaches too close to a pole";
        return false;
    }
    const double per_lon = georef::kMetresPerDegree * std::cos(widest * kRad);
    const double east_deg = east / s.metres_per_degree_lon;
    const double lon_a = std::fmin(o.lon, o.lon + east_deg) - margin / per_lon;
    const double lon_b = std::fmax(o.lon, o.lon + east_deg) + margin / per_lon;
    if (lon_a <= -180.0 || lon_b >= 180.0) {
        error = "the survey area crosses longitude 180";
        return false;
    }
    if (!o.geoid) return true;

    inputs::GeoidGrid& g = s.geoid;
    const double sp = o.geoid_spacing;
    g.dlat = g.dlon = sp;
    g.glat1 = std::floor(lat_a / sp) * sp;
    g.glon1 = std::floor(lon_a / sp) * sp;
    const auto nlat = static_cast<std::int32_t>(std::ceil((lat_b - g.glat1) / sp)) + 1;
    const auto nlon = static_cast<std::int32_t>(std::ceil((lon_b - g.glon1) / sp)) + 1;
    g.glat2 = g.glat1 + (nlat - 1) * sp;
    g.glon2 = g.glon1 + (nlon - 1) * sp;
    if (std::int64_t{nlat} * nlon > inputs::kGeoidNodes) {
        error = "the geoid grid would need " + std::to_string(std::int64_t{nlat} * nlon) +
                " nodes (at most 500000): raise --geoid-spacing";
        return false;
    }
    // The loader works the dimensions out of the header again.
    if (inputs::grid_count(g.glat1, g.glat2, sp) != nlat || inputs::grid_count(g.glon1, g.glon2, sp) != nlon) {
        error = "internal: geoid grid dimensions do not read back";
        return false;
    }
    g.nlat = nlat;
    g.nlon = nlon;
    fill_geoid(s);
    s.has_geoid = true;
    return true;
}

double geoid_at(const Survey& s, double lat, double lon) {
    if (!s.has_geoid) return 0.0;
    const inputs::GeoidGrid& g = s.geoid;
    return inputs::bilin((lat - g.glat1) / g.dlat + 1, (lon - g.glon1) / g.dlon + 1, g.node.get(), g.nlat, g.nlon);
}

// The pose of the aircraft (continuous model, before sampling) at t seconds
// after the first scan.
struct FlightPose {
    double lat, lon, h, pitch, roll, heading;
};

FlightPose flight_pose(const Survey& s, double t) {
    const SimOptions& o = s.opt;
    const double along = o.speed * t;
    FlightPose p;
    p.lat = o.lat + along * std::cos(o.heading * kRad) * georef::kDegreesPerMetre;
    p.lon = o.lon + along * std::sin(o.heading * kRad) / s.metres_per_degree_lon;
    const double h_start = s.opt.height + terrain_height(s.surface, o.lat, o.lon) + geoid_at(s, o.lat, o.lon);
    p.h = h_start + o.climb * t;
    p.pitch = motion(o.pitch, t, 0.0);
    p.roll = motion(o.roll, t, 1.0);
    p.heading = reduce_degrees(o.heading + motion(o.yaw, t, 2.0));
    return p;
}

bool set_trajectory(const SimOptions& o, Survey& s, std::string& error) {
    const double tu = s.hdr.timer_unit;
    const double t_first = static_cast<double>(s.first_count) * tu + o.dtsec;
    const double t_last = static_cast<double>(scan_count(s, s.nscans)) * tu + o.dtsec;
    const double begin = t_first - 3.0;
    const auto count = static_cast<std::int64_t>(std::ceil((t_last + 3.0 - begin) * o.traj_rate)) + 1;
    s.track.clear();
    s.track.reserve(static_cast<std::size_t>(count));
    for (std::int64_t j = 0; j < count; ++j) {
        const double t = begin + static_cast<double>(j) / o.traj_rate;
        const FlightPose p = flight_pose(s, t - t_first);
        inputs::TrajectoryRecord r{};
        r.thr = s.epoch + t / 3600.0;
        r.lat = p.lat;
        r.lon = p.lon;
        r.h = p.h;
        if (o.attitude) {
            r.pitch = p.pitch;
            r.roll = p.roll;
            r.heading = p.heading;
        }
        s.track.push_back(r);
    }

    // The records the run keeps: from the first inside the window to the
    // last before the first one after it; that one stays in the next slot.
    const inputs::TimeWindow window = inputs::trajectory_window(s.rc.tstart, s.rc.tend);
    s.table.slot = inputs::allocate_trajectory_slots();
    std::int32_t n = 0;
    s.table.slot[1] = inputs::TrajectoryRecord{};
    s.table.slot[2] = inputs::TrajectoryRecord{};
    for (const inputs::TrajectoryRecord& r : s.track) {
        const inputs::WindowPlace place = inputs::place_in_window(window, r.thr);
        if (place == inputs::WindowPlace::Before) continue;
        if (n + 2 > inputs::kTrajectorySlots) {
            error = "too many trajectory records in the window (lower --traj-rate or --duration)";
            return false;
        }
        s.table.slot[n + 1] = r;
        if (place == inputs::WindowPlace::After) break;
        ++n;
        s.table.slot[n + 1] = inputs::TrajectoryRecord{};
    }
    s.table.ntraj = n;
    if (n < 2) {
        error = "internal: fewer than two trajectory records in the window";
        return false;
    }
    inputs::trajectory_speeds(s.table.slot.get(), n);
    return true;
}

// The blocks standing on the roofs' `ground` (the plane of the tilt).
double roofs_height(const Surface& s, double north, double east, double ground) {
    const Block b = block_of(s, s.roof_cell, s.roof_seed, static_cast<std::int64_t>(std::floor(north / s.roof_cell)),
                             static_cast<std::int64_t>(std::floor(east / s.roof_cell)));
    if (!b.present) return ground;
    return std::fmax(ground, block_height(b, north, east));
}

}  // namespace

Block block_of(const Surface& s, double c, std::uint64_t seed, std::int64_t row, std::int64_t col,
               double flat_share) {
    const std::uint64_t cell = cell_seed(seed, row, col);
    auto draw = [&](std::uint64_t field) { return unit_random(cell, field); };
    Block b;
    b.present = draw(0) < 0.75;
    if (!b.present) return b;
    b.half_length = 0.5 * c * (0.35 + 0.25 * draw(1));
    b.half_width = 0.5 * c * (0.25 + 0.15 * draw(2));
    const double turn = kPi * draw(3);
    b.cos_t = std::cos(turn);
    b.sin_t = std::sin(turn);
    b.tan_pitch = std::tan((15.0 + 30.0 * draw(4)) * kRad);
    if (flat_share > 0.0 && draw(8) < flat_share) b.tan_pitch = 0.0;
    const double wall = 3.0 + 5.0 * draw(5);
    // Room for the block and its walls' foot inside the cell, whatever its turn.
    const double rise = wall + b.half_width * b.tan_pitch + (std::fabs(s.slope_north) + std::fabs(s.slope_east)) * c;
    const double reach = std::hypot(b.half_length, b.half_width) + rise / kWallSlope + 0.5;
    const double play = std::fmax(0.0, 0.5 * c - reach);
    b.north = (static_cast<double>(row) + 0.5) * c + play * (2.0 * draw(6) - 1.0);
    b.east = (static_cast<double>(col) + 0.5) * c + play * (2.0 * draw(7) - 1.0);
    b.eave = ground_height(s, b.north, b.east) + wall;
    return b;
}

double block_height(const Block& b, double north, double east) {
    const double dn = north - b.north, de = east - b.east;
    const double along = dn * b.cos_t + de * b.sin_t, across = -dn * b.sin_t + de * b.cos_t;
    const double out = std::hypot(std::fmax(std::fabs(along) - b.half_length, 0.0),
                                  std::fmax(std::fabs(across) - b.half_width, 0.0));
    return b.eave + std::fmax(0.0, b.half_width - std::fabs(across)) * b.tan_pitch - kWallSlope * out;
}

double ground_height(const Surface& s, double north, double east) {
    switch (s.kind) {
        case SurfaceKind::Flat:
            return s.ground;
        case SurfaceKind::Tilt:
        case SurfaceKind::Roofs:  // the ground between the blocks
            return s.ground + s.slope_north * north + s.slope_east * east;
        case SurfaceKind::Waves:
            // Zero at the start position, so the ground there is as asked.
            return s.ground + s.amplitude * (std::sin(s.wavenumber * north + s.phase_north) *
                                                 std::cos(s.wavenumber * east + s.phase_east) -
                                             std::sin(s.phase_north) * std::cos(s.phase_east));
    }
    return s.ground;
}

double terrain_height(const Surface& s, double lat, double lon) {
    return ground_height(s, (lat - s.lat0) * georef::kMetresPerDegree, (lon - s.lon0) * s.metres_per_degree_lon);
}

SceneHit surface_hit(const Surface& s, double lat, double lon, Sees sees) {
    const double north = (lat - s.lat0) * georef::kMetresPerDegree;
    const double east = (lon - s.lon0) * s.metres_per_degree_lon;
    const double ground = ground_height(s, north, east);
    if (s.kind == SurfaceKind::Roofs) {
        const double top = roofs_height(s, north, east, ground);
        return {top, ground, top > ground ? Cover::Building : Cover::Ground};
    }
    if (s.scene.objects == 0) return {ground, ground, Cover::Ground};
    return scene_hit(s, north, east, ground, sees);
}

double surface_height(const Surface& s, double lat, double lon) { return surface_hit(s, lat, lon).height; }

ScanTime scan_time(const Survey& s, std::int64_t k) {
    ScanTime st;
    const std::int64_t count = scan_count(s, k);
    st.trailer.unused = 0;
    st.trailer.scan_number = static_cast<std::uint16_t>((s.opt.scan_number + k) & 0xFFFF);
    st.trailer.gps_flags = s.gps_flags;
    std::int32_t counter;
    if (s.opt.clock == Clock::Synced) {
        st.trailer.seconds = static_cast<std::uint32_t>(count / s.cps);
        st.trailer.timer = static_cast<std::uint32_t>(count % s.cps);
        counter = static_cast<std::int32_t>(st.trailer.timer);
    } else {
        st.trailer.seconds = 0;
        st.trailer.timer = static_cast<std::uint32_t>(count % kTimerWrap);
        counter = static_cast<std::int32_t>(count);  // after the reader's unwrap
    }
    st.tsec = st.trailer.seconds;
    st.tfrac = s.hdr.timer_unit * counter;
    st.tscan = s.epoch + (st.tsec + st.tfrac + s.rc.dtsec) / 3600.0;
    return st;
}

void share_one_geoid(std::vector<Survey>& surveys) {
    bool any = false;
    double lat1 = 0, lon1 = 0, lat2 = 0, lon2 = 0;
    for (const Survey& s : surveys) {
        if (!s.has_geoid) continue;
        const inputs::GeoidGrid& g = s.geoid;
        lat1 = any ? std::fmin(lat1, g.glat1) : g.glat1;
        lon1 = any ? std::fmin(lon1, g.glon1) : g.glon1;
        lat2 = any ? std::fmax(lat2, g.glat2) : g.glat2;
        lon2 = any ? std::fmax(lon2, g.glon2) : g.glon2;
        any = true;
    }
    if (!any) return;
    const double sp = surveys.front().geoid.dlat;
    const auto nlat = static_cast<std::int32_t>(std::llround((lat2 - lat1) / sp)) + 1;
    const auto nlon = static_cast<std::int32_t>(std::llround((lon2 - lon1) / sp)) + 1;
    const double top = lat1 + (nlat - 1) * sp, right = lon1 + (nlon - 1) * sp;
    // Too large, or dimensions the loader would not read back: each keeps its own.
    if (std::int64_t{nlat} * nlon > inputs::kGeoidNodes || inputs::grid_count(lat1, top, sp) != nlat ||
        inputs::grid_count(lon1, right, sp) != nlon) {
        return;
    }
    for (Survey& s : surveys) {
        // Every grid's nodes lie on multiples of the spacing, so the wider
        // grid holds the same values at the nodes each flight used.
        if (!s.has_geoid || s.geoid.dlat != sp) continue;
        inputs::GeoidGrid& g = s.geoid;
        g.glat1 = lat1;
        g.glon1 = lon1;
        g.glat2 = top;
        g.glon2 = right;
        g.nlat = nlat;
        g.nlon = nlon;
        fill_geoid(s);
    }
}

bool build_survey(const SimOptions& opt, Survey& s, std::string& error) {
    error = check_options(opt);
    if (!error.empty()) return false;
    s.opt = opt;
    set_header(opt, s);
    set_run_control(opt, s.rc);
    s.epoch = s.hdr.epoch != 0.0 ? s.hdr.epoch : s.rc.hr0 + s.rc.min0 / 60.0 + s.rc.sec0 / 3600.0;
    set_surface(opt, s.surface);
    s.metres_per_degree_lon = georef::kMetresPerDegree * std::cos(opt.lat * kRad);
    s.noise_seed = opt.seed;
    for (double v : {opt.lat, opt.lon, opt.heading}) s.noise_seed = splitmix(s.noise_seed ^ std::bit_cast<std::uint64_t>(v));
    if (!set_clock(opt, s, error)) return false;
    if (!set_scan_pattern(opt, s, error)) return false;
    set_window(s);
    s.rc_truth = s.rc;
    if (is_set(opt.misalign_truth)) {
        for (int k = 0; k < 3; ++k) (&s.rc_truth.dpitch)[k] = opt.misalign_truth[k];
        inputs::derive(s.rc_truth);
    }
    if (!set_geoid(opt, s, error)) return false;
    return set_trajectory(opt, s, error);
}

}  // namespace morva::sim
