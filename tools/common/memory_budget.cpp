#include "memory_budget.hpp"

#include <cmath>
#include <cstdio>
#include <fstream>

#include "text/stop.hpp"

namespace morva::common {
namespace {

std::optional<std::uint64_t> meminfo_available() {
    std::ifstream in("/proc/meminfo");
    std::string key;
    std::uint64_t kib = 0;
    std::string unit;
    while (in >> key >> kib >> unit) {
        if (key == "MemAvailable:") return kib * 1024;
    }
    return std::nullopt;
}

std::optional<std::uint64_t> cgroup_limit() {
    for (const char* path : {"/sys/fs/cgroup/memory.max", "/sys/fs/cgroup/memory/memory.limit_in_bytes"}) {
        std::ifstream in(path);
        std::string text;
        if (!(in >> text) || text == "max") continue;
        try {
            const std::uint64_t limit = std::stoull(text);
            if (limit > 0 && limit < (std::uint64_t{1} << 60)) return limit;
        } catch (...) {
        }
    }
    return std::nullopt;
}

}  // namespace

std::uint64_t default_memory_bound() {
    std::optional<std::uint64_t> have = meminfo_available();
    if (const auto limit = cgroup_limit(); limit && (!have || *limit < *have)) have = limit;
    if (!have) return std::uint64_t{1} << 30;
    return *have / 4 * 3;
}

std::optional<std::uint64_t> parse_memory_size(std::string_view text) {
    const std::string s(text);
    std::size_t used = 0;
    double value = 0;
    try {
        value = std::stod(s, &used);
    } catch (...) {
        return std::nullopt;
    }
    std::string suffix = s.substr(used);
    for (char& c : suffix) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (suffix.ends_with("IB")) suffix.resize(suffix.size() - 2);
    else if (suffix.size() == 2 && suffix.back() == 'B') suffix.resize(1);
    double scale = 1;
    if (suffix == "K") scale = 1024.0;
    else if (suffix == "M") scale = 1024.0 * 1024;
    else if (suffix == "G") scale = 1024.0 * 1024 * 1024;
    else if (suffix == "T") scale = 1024.0 * 1024 * 1024 * 1024;
    else if (!suffix.empty() && suffix != "B") return std::nullopt;
    const double bytes = value * scale;
    if (!std::isfinite(bytes) || bytes < 1 || bytes > 1.0e18) return std::nullopt;
    return static_cast<std::uint64_t>(bytes);
}

std::string memory_text(std::uint64_t bytes) {
    const char* units[] = {"bytes", "KiB", "MiB", "GiB", "TiB"};
    double v = static_cast<double>(bytes);
    int u = 0;
    while (v >= 1024 && u < 4) {
        v /= 1024;
        ++u;
    }
    char buf[64];
    if (u == 0) std::snprintf(buf, sizeof buf, "%llu bytes", static_cast<unsigned long long>(bytes));
    else std::snprintf(buf, sizeof buf, v < 10 ? "%.1f %s" : "%.0f %s", v, units[u]);
    return buf;
}

void check_memory(std::uint64_t needed, std::uint64_t bound, const std::string& what, const std::string& advice) {
    if (needed <= bound) return;
    text::stop_run(what + " needs about " + memory_text(needed) + ", more than the memory bound of " +
                   memory_text(bound) + ": " + advice + ", or raise the bound with --max-memory");
}

text::Option memory_option(std::string help, std::uint64_t& target) {
    return text::value_option("--max-memory", "SIZE", std::move(help), [&target](std::string_view value) {
        const auto size = parse_memory_size(value);
        if (!size) return "'" + std::string(value) + "' is not a size such as 8G or 512M";
        target = *size;
        return std::string();
    });
}

}  // namespace morva::common
