#pragma once
// The scans of a survey, computed in fixed chunks of consecutive scans.
// Each chunk starts its range search afresh, so the recording does not
// depend on how many threads compute the chunks; the chunks are handed on
// in file order.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "scanner_writer.hpp"
#include "survey.hpp"

namespace morva::sim {

inline constexpr std::int64_t kChunkScans = 128;

// What the run should make of one measurement.
struct TruthPoint {
    double thr;             // hours
    double lat, lon;        // the footprint of the exact range, degrees
    double surface;         // true surface height there, metres
    double residual;        // the run's height at the exact range minus surface and distortion
    double airh;            // aircraft height, metres
    double ac_lat, ac_lon;  // aircraft position, degrees
    double tilt;            // |pitch| + |roll| of the pose, degrees
    double range;           // the recorded range, metres
    // Where a run in the verified mode puts the point at the recorded range:
    // the footprint above, unless the run's geodesy or misalignment differs
    // from the truth's or the range carries noise.
    double run_lat, run_lon;  // degrees
    double run_dh;            // its height minus the true footprint's, metres
    // What the beam hit (noise for a low outlier), and where the point
    // truly is: the footprint on what it hit, or for an outlier where its
    // range puts it along the true beam; the bare ground below that.
    Cover cover;
    double true_lat, true_lon, true_h;  // degrees, metres (without the distortion)
    double ground;                      // metres
};

struct Chunk {
    std::int64_t first_scan = 0;  // 0-based
    std::int64_t nscans = 0;
    std::vector<Trailer> trailers;
    std::vector<Measurement> meas;  // nscans x nmeas
    std::vector<TruthPoint> truth;  // likewise, when asked for
    std::int64_t evaluations = 0;   // forward-model evaluations
    std::string error;              // set when a range could not be found
    // Ranges and slopes of the two scans before, per measurement: the
    // starting guesses of the search.
    std::vector<double> r_prev, r_prev2, slope_prev;
};

// The run a verification checks: its geodesy and the misalignment its run
// control states (which may differ from the survey's).
struct RunView {
    georef::Geodesy geodesy = georef::Geodesy::Flat;
    double misalign[3] = {0, 0, 0};  // dpitch, droll, dheading, degrees
};
// The run that `rc` describes, in `geodesy`.
RunView run_view(const inputs::RunControl& rc, georef::Geodesy geodesy);

// Computes the scans [first, first + count) into `chunk`; the truth also
// says where `run` puts every point.
void simulate_chunk(const Survey& s, std::int64_t first, std::int64_t count, bool with_truth, const RunView& run,
                    Chunk& chunk);
inline void simulate_chunk(const Survey& s, std::int64_t first, std::int64_t count, bool with_truth,
                           georef::Geodesy run_geodesy, Chunk& chunk) {
    simulate_chunk(s, first, count, with_truth, run_view(s.rc, run_geodesy), chunk);
}

// Calls `use` on every chunk of the survey, in order, computing them on up
// to `threads` threads (0: one per processor). Stops at the first chunk
// with an error, or when `use` returns false; returns the error text.
std::string for_each_chunk(const Survey& s, int threads, bool with_truth, const std::function<bool(const Chunk&)>& use);
std::string for_each_chunk(const Survey& s, int threads, bool with_truth, const RunView& run,
                           const std::function<bool(const Chunk&)>& use);

// The seeded standard normal draw of measurement i of scan k: the range
// noise in units of its standard deviation.
double range_noise(std::uint64_t seed, std::int64_t k, std::int32_t i);

// The amplitude of measurement i of scan k: spread over 0-255.
std::uint8_t amplitude(std::uint64_t seed, std::int64_t k, std::int32_t i);

}  // namespace morva::sim
