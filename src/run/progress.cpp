#include "run/progress.hpp"

#include <cstdio>
#include <sys/stat.h>

#include "text/warning.hpp"

namespace morva::run {
namespace {

constexpr double kDrawInterval = 0.25;  // seconds

double seconds_since(const timespec& start) {
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<double>(now.tv_sec - start.tv_sec) + 1e-9 * static_cast<double>(now.tv_nsec - start.tv_nsec);
}

std::uint64_t position(const scanner::ByteReader& scan) { return scan.dropped + scan.begin; }

// "m:ss" at the rate of the bytes read so far; "--:--" before there is one.
void format_time_left(char (&text)[32], double bytes_left, double bytes_per_s) {
    if (bytes_per_s <= 0) {
        std::snprintf(text, sizeof text, "--:--");
        return;
    }
    const long s = static_cast<long>(bytes_left / bytes_per_s + 0.5);
    std::snprintf(text, sizeof text, "%ld:%02ld", s / 60, s % 60);
}

void draw(Progress& p, const scanner::ByteReader& scan, double elapsed) {
    const double scans_per_s = elapsed > 0 ? static_cast<double>(p.scans) / elapsed : 0.0;
    const double meas_per_s = scans_per_s * p.nmeas;
    const std::uint64_t at = position(scan);
    char line[160];
    if (p.file_bytes > 0) {
        const std::uint64_t read = at < p.file_bytes ? at : p.file_bytes;
        const double bytes_per_s =
            elapsed > 0 && p.scans > 0 ? static_cast<double>(read - p.start_bytes) / elapsed : 0.0;
        char left[32];
        format_time_left(left, static_cast<double>(p.file_bytes - read), bytes_per_s);
        std::snprintf(line, sizeof line,
                      "morva: %3.0f%% of the scanner file, %.0f scans/s, %.2f M measurements/s, %s left",
                      100.0 * static_cast<double>(read) / static_cast<double>(p.file_bytes), scans_per_s,
                      meas_per_s / 1e6, left);
    } else {
        // A pipe: no size, so no share and no time left.
        std::snprintf(line, sizeof line, "morva: %.1f MB of the scanner file, %.0f scans/s, %.2f M measurements/s",
                      static_cast<double>(at) / 1e6, scans_per_s, meas_per_s / 1e6);
    }
    text::show_status_line(line);
    p.drawn = true;
    p.next_draw = elapsed + kDrawInterval;
}

}  // namespace

void begin_progress(Progress& p, bool on, const scanner::ByteReader& scan, std::int32_t nmeas) {
    p = Progress{};
    p.on = on;
    if (!on) return;
    struct stat st{};
    if (::fstat(scan.fd, &st) == 0 && S_ISREG(st.st_mode)) p.file_bytes = static_cast<std::uint64_t>(st.st_size);
    p.start_bytes = position(scan);
    p.nmeas = nmeas;
    p.countdown = 16;
    ::clock_gettime(CLOCK_MONOTONIC, &p.start);
    draw(p, scan, 0.0);
}

void update_progress(Progress& p, const scanner::ByteReader& scan) {
    const double elapsed = seconds_since(p.start);
    if (elapsed >= p.next_draw) draw(p, scan, elapsed);
}

void end_progress(Progress& p) {
    if (p.drawn) text::clear_status_line();
    p.drawn = false;
}

}  // namespace morva::run
