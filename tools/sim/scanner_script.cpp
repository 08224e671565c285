#include "scanner_script.hpp"

#include <charconv>
#include <cstdint>
#include <stdexcept>
#include <vector>

#include "scanner_writer.hpp"

namespace morva::sim {
namespace {

struct Fail : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Words of a line; a double-quoted part keeps its blanks (quotes dropped).
std::vector<std::string> split_words(std::string_view line) {
    std::vector<std::string> words;
    std::string word;
    bool quoted = false, any = false;
    for (char c : line) {
        if (c == '"') {
            quoted = !quoted;
            any = true;
        } else if (!quoted && (c == ' ' || c == '\t' || c == '\r')) {
            if (any) words.push_back(word);
            word.clear();
            any = false;
        } else {
            word += c;
            any = true;
        }
    }
    if (quoted) throw Fail("unbalanced quote");
    if (any) words.push_back(word);
    return words;
}

std::int64_t integer(std::string_view s) {
    bool negative = !s.empty() && s[0] == '-';
    if (negative) s.remove_prefix(1);
    int base = 10;
    if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) base = 16;
    if (s.size() > 2 && s[0] == '0' && (s[1] == 'b' || s[1] == 'B')) base = 2;
    if (base != 10) s.remove_prefix(2);
    std::uint64_t v = 0;
    auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v, base);
    if (ec != std::errc() || end != s.data() + s.size() || s.empty()) {
        throw Fail("not an integer: " + std::string(s));
    }
    return negative ? -static_cast<std::int64_t>(v) : static_cast<std::int64_t>(v);
}

float real(std::string_view s) {
    float v = 0;
    auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (ec != std::errc() || end != s.data() + s.size() || s.empty()) throw Fail("not a number: " + std::string(s));
    return v;
}

void reals(std::string_view s, float* out, int n) {
    for (int i = 0; i < n; ++i) {
        std::size_t comma = s.find(',');
        if ((comma == std::string_view::npos) != (i == n - 1)) {
            throw Fail("expected " + std::to_string(n) + " values joined by commas");
        }
        out[i] = real(s.substr(0, comma));
        if (comma != std::string_view::npos) s.remove_prefix(comma + 1);
    }
}

std::pair<std::string, std::string> key_value(const std::string& word) {
    std::size_t eq = word.find('=');
    if (eq == std::string::npos) throw Fail("expected KEY=VALUE, got " + word);
    return {word.substr(0, eq), word.substr(eq + 1)};
}

// The keys both headers have; false for another.
template <class Header>
bool shared_key(Header& h, const std::string& key, const std::string& value) {
    if (key == "length") h.header_length = static_cast<std::int32_t>(integer(value));
    else if (key == "bytes_per_scan") h.bytes_per_scan = static_cast<std::int16_t>(integer(value));
    else if (key == "bytes_per_meas") h.bytes_per_meas = static_cast<std::int16_t>(integer(value));
    else if (key == "nmeas") h.nmeas = static_cast<std::int16_t>(integer(value));
    else if (key == "range_unit") h.range_unit = real(value);
    else if (key == "angle_unit") h.angle_unit = real(value);
    else if (key == "timer_unit") h.timer_unit = real(value);
    else return false;
    return true;
}

// The keys of one header alone; false for another.
bool own_key(LongHeader& h, const std::string& key, const std::string& value) {
    if (key == "protocol") h.protocol_id = static_cast<std::int8_t>(integer(value));
    else if (key == "headerid") h.headerid = static_cast<std::int8_t>(integer(value));
    else if (key == "measid") h.measid = static_cast<std::int16_t>(integer(value));
    else if (key == "parid") h.par_id_main = static_cast<std::int8_t>(integer(value));
    else if (key == "instrument") h.instrument = value;
    else if (key == "polar_id") h.polar_id = static_cast<std::int8_t>(integer(value));
    else if (key == "a") reals(value, h.a, 3);
    else if (key == "b") reals(value, h.b, 3);
    else if (key == "c") reals(value, h.c, 3);
    else if (key == "d") reals(value, h.d, 3);
    else if (key == "e1") reals(value, h.e[0], 3);
    else if (key == "e2") reals(value, h.e[1], 3);
    else if (key == "e3") reals(value, h.e[2], 3);
    else if (key == "e4") reals(value, h.e[3], 3);
    else if (key == "eps") reals(value, h.eps, 4);
    else if (key == "epoch") h.time_epoch = value;
    else if (key == "time") {
        if (value.size() != 8 || value[2] != ':' || value[5] != ':') throw Fail("time=hh:mm:ss expected");
        h.time_epoch = epoch_text(static_cast<int>(integer(value.substr(0, 2))),
                                  static_cast<int>(integer(value.substr(3, 2))),
                                  static_cast<int>(integer(value.substr(6, 2))));
    } else if (key == "source") h.time_source = value;
    else if (key == "syncflag") h.syncflag = static_cast<std::uint8_t>(integer(value));
    else return false;
    return true;
}

bool own_key(ShortHeader& h, const std::string& key, const std::string& value) {
    if (key != "angleid") return false;
    h.angleid = static_cast<std::uint8_t>(integer(value));
    return true;
}

// Header `h` changed by its KEY=VALUE words; the bytes per scan, unless
// given, follow the measurements.
template <class Header>
Header header_of(const std::vector<std::string>& words, Header h, const char* unknown) {
    bool bytes_given = false;
    for (std::size_t i = 1; i < words.size(); ++i) {
        auto [key, value] = key_value(words[i]);
        bytes_given = bytes_given || key == "bytes_per_scan";
        if (!shared_key(h, key, value) && !own_key(h, key, value)) throw Fail(unknown + key);
    }
    if (!bytes_given) h.bytes_per_scan = record_bytes(h.nmeas);
    return h;
}

// Scan records whose trailer is still open to measurement lines.
struct ScanGroup {
    bool open = false;
    std::int64_t count = 0;
    std::int16_t syncseq = 0;
    Trailer first;
    std::int64_t step_number = 1, step_seconds = 0, step_timer = 0;
    std::vector<Measurement> body;
};

void emit(ScannerWriter& w, ScanGroup& g) {
    if (!g.open) return;
    Trailer t = g.first;
    for (std::int64_t n = 0; n < g.count; ++n) {
        put_syncseq(w, g.syncseq);
        for (const Measurement& m : g.body) put_measurement(w, m);
        put_trailer(w, t);
        t.scan_number = static_cast<std::uint16_t>(t.scan_number + g.step_number);
        t.seconds = static_cast<std::uint32_t>(t.seconds + g.step_seconds) & 0xFFFFFFu;
        t.timer = static_cast<std::uint32_t>(t.timer + g.step_timer) & 0xFFFFFFu;
    }
    g = ScanGroup{};
}

void need(const std::vector<std::string>& words, std::size_t low, std::size_t high) {
    if (words.size() < low || words.size() > high) throw Fail("wrong number of values for " + words[0]);
}

ScanGroup scan_group(const std::vector<std::string>& words, std::int64_t count, std::size_t first,
                     std::int16_t default_syncseq) {
    ScanGroup g;
    g.open = true;
    g.count = count;
    g.syncseq = default_syncseq;
    g.first.scan_number = static_cast<std::uint16_t>(integer(words[first]));
    g.first.gps_flags = static_cast<std::uint8_t>(integer(words[first + 1]));
    g.first.seconds = static_cast<std::uint32_t>(integer(words[first + 2])) & 0xFFFFFFu;
    g.first.timer = static_cast<std::uint32_t>(integer(words[first + 3])) & 0xFFFFFFu;
    for (std::size_t i = first + 4; i < words.size(); ++i) {
        auto [key, value] = key_value(words[i]);
        if (key == "sync") {
            g.syncseq = static_cast<std::int16_t>(integer(value));
        } else if (key == "unused") {
            g.first.unused = static_cast<std::uint8_t>(integer(value));
        } else if (key == "step" && count > 1) {
            std::size_t c1 = value.find(','), c2 = value.rfind(',');
            if (c1 == std::string::npos || c1 == c2) throw Fail("step=DN,DS,DT expected");
            g.step_number = integer(std::string_view(value).substr(0, c1));
            g.step_seconds = integer(std::string_view(value).substr(c1 + 1, c2 - c1 - 1));
            g.step_timer = integer(std::string_view(value).substr(c2 + 1));
        } else {
            throw Fail("unknown scan key " + key);
        }
    }
    return g;
}

void add_measurements(const std::vector<std::string>& words, ScanGroup& g) {
    if (!g.open) throw Fail("a measurement outside a scan");
    if (words[0] == "m") {
        need(words, 5, 5);
        g.body.push_back({static_cast<std::uint32_t>(integer(words[1])), static_cast<std::uint8_t>(integer(words[2])),
                          static_cast<std::uint32_t>(integer(words[3])), static_cast<std::uint32_t>(integer(words[4]))});
        return;
    }
    need(words, 6, 10);
    const std::int64_t n = integer(words[1]);
    if (n < 0 || n > 100000) throw Fail("ramp count out of range");
    std::int64_t v[4], step[4] = {0, 0, 0, 0};
    for (int k = 0; k < 4; ++k) v[k] = integer(words[2 + k]);
    for (std::size_t k = 6; k < words.size(); ++k) step[k - 6] = integer(words[k]);
    for (std::int64_t i = 0; i < n; ++i) {
        g.body.push_back({static_cast<std::uint32_t>(v[0]), static_cast<std::uint8_t>(v[1]), static_cast<std::uint32_t>(v[2]),
                          static_cast<std::uint32_t>(v[3])});
        for (int k = 0; k < 4; ++k) v[k] += step[k];
    }
}

std::vector<std::uint8_t> hex_bytes(const std::vector<std::string>& words, std::size_t first) {
    std::vector<std::uint8_t> bytes;
    for (std::size_t i = first; i < words.size(); ++i) {
        std::uint32_t v = 0;
        const std::string& s = words[i];
        auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v, 16);
        if (ec != std::errc() || end != s.data() + s.size() || v > 255) throw Fail("not a hex byte: " + s);
        bytes.push_back(static_cast<std::uint8_t>(v));
    }
    return bytes;
}

struct Patch {
    std::int64_t offset;
    std::vector<std::uint8_t> bytes;
};

}  // namespace

std::string build_scanner_file(std::string_view script, std::string& error) {
    error.clear();
    std::string out;
    ScannerWriter w;
    attach_writer(w, out);
    ScanGroup group;
    std::vector<Patch> patches;
    std::int64_t cut = -1;
    std::int16_t syncseq = 12;
    int line_no = 0;
    try {
        while (!script.empty()) {
            ++line_no;
            std::size_t nl = script.find('\n');
            std::string_view line = script.substr(0, nl);
            script.remove_prefix(nl == std::string_view::npos ? script.size() : nl + 1);
            if (std::size_t hash = line.find('#'); hash != std::string_view::npos) line = line.substr(0, hash);
            std::vector<std::string> words = split_words(line);
            if (words.empty()) continue;
            const std::string& op = words[0];
            if (op == "m" || op == "ramp") {
                add_measurements(words, group);
                continue;
            }
            emit(w, group);
            if (op == "header") {
                LongHeader h = header_of(words, default_long_header(1), "unknown header key ");
                syncseq = h.bytes_per_scan;
                put_long_header(w, h);
            } else if (op == "short") {
                ShortHeader h = header_of(words, ShortHeader{.nmeas = 1}, "unknown short header key ");
                syncseq = h.bytes_per_scan;
                put_short_header(w, h);
            } else if (op == "scan") {
                need(words, 5, 7);
                group = scan_group(words, 1, 1, syncseq);
            } else if (op == "scans") {
                need(words, 6, 9);
                std::int64_t count = integer(words[1]);
                if (count < 0 || count > 10000000) throw Fail("scan count out of range");
                group = scan_group(words, count, 2, syncseq);
            } else if (op == "bytes") {
                std::vector<std::uint8_t> bytes = hex_bytes(words, 1);
                put_raw(w, bytes.data(), bytes.size());
            } else if (op == "patch") {
                need(words, 3, 1u << 20);
                patches.push_back({integer(words[1]), hex_bytes(words, 2)});
            } else if (op == "cut") {
                need(words, 2, 2);
                cut = integer(words[1]);
            } else {
                throw Fail("unknown statement " + op);
            }
        }
        emit(w, group);
        close_writer(w);
        for (const Patch& p : patches) {
            const auto size = static_cast<std::int64_t>(out.size());
            if (p.offset < 0 || p.offset + static_cast<std::int64_t>(p.bytes.size()) > size) {
                throw Fail("patch outside the file of " + std::to_string(out.size()) + " bytes");
            }
            for (std::size_t i = 0; i < p.bytes.size(); ++i) out[p.offset + i] = static_cast<char>(p.bytes[i]);
        }
        if (cut >= 0) {
            if (cut > static_cast<std::int64_t>(out.size())) {
                throw Fail("cut beyond the end of the file of " + std::to_string(out.size()) + " bytes");
            }
            out.resize(static_cast<std::size_t>(cut));
        }
    } catch (const Fail& e) {
        error = "line " + std::to_string(line_no) + ": " + e.what();
        return {};
    }
    return out;
}

}  // namespace morva::sim
