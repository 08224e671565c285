#include "scan_chunks.hpp"

#include <cmath>
#include <thread>

#include "range_solver.hpp"
#include "seeded_values.hpp"

namespace morva::sim {

std::uint8_t amplitude(std::uint64_t seed, std::int64_t k, std::int32_t i) {
    std::uint64_t x =
        seed * 0x9E3779B97F4A7C15ull + static_cast<std::uint64_t>(k) * 1000003ull + static_cast<std::uint64_t>(i);
    x = (x ^ (x >> 31)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 29)) * 0x94D049BB133111EBull;
    return static_cast<std::uint8_t>((x ^ (x >> 32)) >> 24);
}

double range_noise(std::uint64_t seed, std::int64_t k, std::int32_t i) {
    // Two uniform values from one hash of the measurement, then Box-Muller.
    const std::uint64_t base = splitmix(seed ^ 0x6E6F697365ull) + static_cast<std::uint64_t>(k) * 4093ull;
    const std::uint64_t a = splitmix(base + static_cast<std::uint64_t>(i) * 2);
    const std::uint64_t b = splitmix(a ^ (base + static_cast<std::uint64_t>(i) * 2 + 1));
    const double u1 = (static_cast<double>(a >> 11) + 1.0) * 0x1.0p-53;  // (0, 1]
    const double u2 = static_cast<double>(b >> 11) * 0x1.0p-53;
    return std::sqrt(-2.0 * std::log(u1)) * std::cos(2.0 * 3.14159265358979323846 * u2);
}

RunView run_view(const inputs::RunControl& rc, georef::Geodesy geodesy) {
    RunView run;
    run.geodesy = geodesy;
    for (int k = 0; k < 3; ++k) run.misalign[k] = (&rc.dpitch)[k];
    return run;
}

void simulate_chunk(const Survey& s, std::int64_t first, std::int64_t count, bool with_truth, const RunView& run,
                    Chunk& c) {
    const georef::Geodesy run_geodesy = run.geodesy;
    inputs::RunControl run_rc = s.rc;
    for (int k = 0; k < 3; ++k) (&run_rc.dpitch)[k] = run.misalign[k];
    const std::int32_t n = s.opt.nmeas;
    const std::size_t total = static_cast<std::size_t>(count) * n;
    c.first_scan = first;
    c.nscans = count;
    c.evaluations = 0;
    c.error.clear();
    c.trailers.resize(static_cast<std::size_t>(count));
    c.meas.resize(total);
    c.truth.resize(with_truth ? total : 0);
    c.r_prev.assign(n, 0.0);
    c.r_prev2.assign(n, 0.0);
    c.slope_prev.assign(n, 0.0);

    const georef::Model model{&s.rc, s.has_geoid ? &s.geoid : nullptr, &s.hdr, s.opt.geodesy};
    // What a run in another mode makes of the recorded ranges, for a verification.
    const georef::Model run_model{&run_rc, s.has_geoid ? &s.geoid : nullptr, &s.hdr, run_geodesy};
    const bool run_differs = run_geodesy != s.opt.geodesy || s.opt.range_noise > 0.0 ||
                             run_rc.dpitch != s.rc_truth.dpitch || run_rc.droll != s.rc_truth.droll ||
                             run_rc.dheading != s.rc_truth.dheading || (s.surface.scene.objects & kOutliers) != 0;
    const double range_unit = s.hdr.range_unit;
    const double max_range = range_unit * 16777215.0;
    const double ground_guess =
        terrain_height(s.surface, s.opt.lat, s.opt.lon) + (s.has_geoid ? s.opt.geoid_height : 0.0);
    std::int32_t jtraj = 1;

    for (std::int64_t k = first; k < first + count; ++k) {
        const std::int64_t local = k - first;
        const ScanTime st = scan_time(s, k);
        c.trailers[static_cast<std::size_t>(local)] = st.trailer;
        const auto scanno = static_cast<std::int32_t>(k + 1);
        const std::uint32_t sector_start =
            static_cast<std::uint32_t>((k % s.opt.polar_id) * static_cast<std::int64_t>(s.nsector));
        Measurement* out = c.meas.data() + local * n;

        for (std::int32_t i = 0; i < n; ++i) {
            const double thr = georef::measurement_time(s.epoch, st.tsec, s.timer_seconds[i], st.tfrac, s.rc.dtsec);
            const georef::Interval at = georef::advance(s.table, jtraj, thr);
            georef::Pose pose;
            georef::interpolate_position(s.table, at, pose);
            // The recording's attitude carries the truth's misalignment.
            georef::interpolate_attitude(s.table, at, s.rc_truth, pose);

            // Start from the same beam of the scans before (extrapolated),
            // else from the neighbouring beam, else from a level guess.
            double guess, slope;
            if (local >= 2) {
                guess = 2.0 * c.r_prev[i] - c.r_prev2[i];
                slope = c.slope_prev[i];
            } else if (local == 1) {
                guess = c.r_prev[i];
                slope = c.slope_prev[i];
            } else if (i > 0) {
                guess = c.r_prev[i - 1];
                slope = c.slope_prev[i - 1];
            } else {
                const double down = std::cos(s.alpha[i] + (pose.roll) * georef::kDegToRad);
                slope = -std::fmax(0.1, down);
                guess = (pose.airh - ground_guess) / -slope;
            }
            const BeamFate fate = beam_fate(s.surface.scene, s.noise_seed, k, i);
            const Beam beam{&model, &pose, &s.surface, thr, s.scan_angle[i], scanno, s.distortion[i],
                            fate.sees};
            // No beam reaches farther than a steep slant from this height.
            const double reach = std::fmin(max_range, 20.0 * std::fabs(pose.airh - ground_guess) + 1000.0);
            const RangeFit fit = solve_range(beam, guess, slope, reach);
            c.evaluations += fit.evaluations;
            if (!fit.ok || !(fit.r >= georef::kMinRange + range_unit) || !(fit.r < max_range)) {
                c.error = "no range found for measurement " + std::to_string(i + 1) + " of scan " +
                          std::to_string(k + 1) + " (the beam misses the surface, or the range is out of reach)";
                return;
            }
            c.r_prev2[i] = c.r_prev[i];
            c.r_prev[i] = fit.r;
            c.slope_prev[i] = fit.slope;

            // What the scanner records: the range to the surface, plus noise.
            const double noise = s.opt.range_noise > 0.0 ? s.opt.range_noise * range_noise(s.noise_seed, k, i) : 0.0;
            const double recorded = std::fmax(fit.r + noise + fate.outlier_range, georef::kMinRange + range_unit);
            Measurement& m = out[i];
            m.range = static_cast<std::uint32_t>(std::llround(recorded / range_unit));
            m.amplitude = amplitude(s.opt.seed, k, i);
            m.angle = sector_start + s.angle_count[i];
            m.timer = s.timer_count[i];

            if (with_truth) {
                georef::GroundPoint p;
                const double residual = misfit(beam, fit.r, p);
                TruthPoint& t = c.truth[static_cast<std::size_t>(local) * n + i];
                t.thr = thr;
                t.lat = p.lat;
                t.lon = p.lon;
                t.run_lat = p.lat;
                t.run_lon = p.lon;
                t.run_dh = 0.0;
                if (run_differs) {
                    georef::GroundPoint q;
                    georef::Pose run_pose = pose;
                    georef::interpolate_attitude(s.table, at, run_rc, run_pose);
                    georef::locate(run_model, run_pose, thr, recorded, s.scan_angle[i], scanno, q);
                    t.run_lat = q.lat;
                    t.run_lon = q.lon;
                    t.run_dh = q.h - p.h;
                }
                const SceneHit hit = surface_hit(s.surface, p.lat, p.lon, beam.sees);
                t.surface = hit.height;
                t.cover = hit.cover;
                t.true_lat = p.lat;
                t.true_lon = p.lon;
                t.true_h = hit.height;
                t.ground = hit.ground;
                if (fate.outlier_range > 0.0) {
                    georef::GroundPoint q;
                    georef::locate(model, pose, thr, fit.r + fate.outlier_range, s.scan_angle[i], scanno, q);
                    t.cover = Cover::Noise;
                    t.true_lat = q.lat;
                    t.true_lon = q.lon;
                    t.true_h = q.h - s.distortion[i];
                    t.ground = terrain_height(s.surface, q.lat, q.lon);
                }
                t.residual = residual;
                t.airh = pose.airh;
                t.ac_lat = pose.lat;
                t.ac_lon = pose.lon;
                t.tilt = std::fabs(pose.pitch) + std::fabs(pose.roll);
                t.range = range_unit * m.range;
            }
        }
    }
}

std::string for_each_chunk(const Survey& s, int threads, bool with_truth,
                           const std::function<bool(const Chunk&)>& use) {
    return for_each_chunk(s, threads, with_truth, run_view(s.rc, s.opt.geodesy), use);
}

std::string for_each_chunk(const Survey& s, int threads, bool with_truth, const RunView& run,
                           const std::function<bool(const Chunk&)>& use) {
    const std::int64_t nchunks = (s.nscans + kChunkScans - 1) / kChunkScans;
    if (threads <= 0) threads = static_cast<int>(std::thread::hardware_concurrency());
    if (threads <= 0) threads = 1;
    if (threads > nchunks) threads = static_cast<int>(nchunks);
    std::vector<Chunk> chunks(static_cast<std::size_t>(threads));
    auto compute = [&](std::int64_t index, Chunk& c) {
        const std::int64_t first = index * kChunkScans;
        const std::int64_t count = std::min(kChunkScans, s.nscans - first);
        simulate_chunk(s, first, count, with_truth, run, c);
    };
    // Rounds of one chunk per thread, handed on in order after each round.
    for (std::int64_t base = 0; base < nchunks; base += threads) {
        const int in_round = static_cast<int>(std::min<std::int64_t>(threads, nchunks - base));
        std::vector<std::thread> workers;
        for (int t = 1; t < in_round; ++t) workers.emplace_back(compute, base + t, std::ref(chunks[t]));
        compute(base, chunks[0]);
        for (std::thread& w : workers) w.join();
        for (int t = 0; t < in_round; ++t) {
            if (!chunks[t].error.empty()) return chunks[t].error;
            if (!use(chunks[t])) return "stopped";
        }
    }
    return {};
}

}  // namespace morva::sim
