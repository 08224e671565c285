#include "run/progress.hpp"

#include <cerrno>
#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>

#include "text/warning.hpp"

namespace morva::run {
namespace {

constexpr double kDrawInterval = 0.25;  // seconds

double seconds_since(const timespec& start) {
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<double>(now.tv_sec - start.tv_sec) + 1e-9 * static_cast<double>(now.tv_nsec - start.tv_nsec);
}

void write_stderr(const char* text, std::size_t n) {
    while (n > 0) {
        const ssize_t w = ::write(2, text, n);
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) return;
        text += w;
        n -= static_cast<std::size_t>(w);
    }
}

std::uint64_t position(const scanner::ByteReader& scan) { return scan.dropped + scan.begin; }

void draw(Progress& p, const scanner::ByteReader& scan, double elapsed) {
    const double scans_per_s = elapsed > 0 ? static_cast<double>(p.scans) / elapsed : 0.0;
    const double meas_per_s = scans_per_s * p.nmeas;
    char line[200];
    int n;
    if (p.file_bytes > 0) {
        const std::uint64_t at = position(scan);
        const double share = at >= p.file_bytes ? 1.0 : static_cast<double>(at) / static_cast<double>(p.file_bytes);
        const double done = static_cast<double>(at - p.start_bytes);
        const double rate = elapsed > 0 ? done / elapsed : 0.0;  // bytes per second
        char left[32] = "--:--";
        if (rate > 0 && p.scans > 0) {
            const long s = static_cast<long>(static_cast<double>(p.file_bytes - (at < p.file_bytes ? at : p.file_bytes)) / rate + 0.5);
            std::snprintf(left, sizeof left, "%ld:%02ld", s / 60, s % 60);
        }
        n = std::snprintf(line, sizeof line, "\rmorva: %3.0f%% of the scanner file, %.0f scans/s, %.2f M measurements/s, %s left\033[K",
                          100.0 * share, scans_per_s, meas_per_s / 1e6, left);
    } else {
        n = std::snprintf(line, sizeof line, "\rmorva: %.1f MB of the scanner file, %.0f scans/s, %.2f M measurements/s\033[K",
                          static_cast<double>(position(scan)) / 1e6, scans_per_s, meas_per_s / 1e6);
    }
    if (n > 0) write_stderr(line, static_cast<std::size_t>(n) < sizeof line ? static_cast<std::size_t>(n) : sizeof line - 1);
    p.drawn = true;
    text::mark_status_line(true);
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
