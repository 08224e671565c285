#include "text/json_writer.hpp"

#include <charconv>
#include <cmath>

namespace morva::text {
namespace {

// The separator and the indentation before a value or a key.
void next_item(JsonWriter& w) {
    if (w.after_key) {
        w.after_key = false;
        return;
    }
    if (w.has_member.empty()) return;
    if (w.has_member.back()) w.text += ',';
    w.has_member.back() = true;
    w.text += '\n';
    w.text.append(2 * w.has_member.size(), ' ');
}

void open(JsonWriter& w, char bracket) {
    next_item(w);
    w.text += bracket;
    w.has_member.push_back(false);
}

void close(JsonWriter& w, char bracket) {
    const bool had_member = w.has_member.back();
    w.has_member.pop_back();
    if (had_member) {
        w.text += '\n';
        w.text.append(2 * w.has_member.size(), ' ');
    }
    w.text += bracket;
    if (w.has_member.empty()) w.text += '\n';
}

// The string as a JSON string literal, quotes included.
std::string json_quoted(std::string_view s) {
    static const char kHex[] = "0123456789abcdef";
    std::string q = "\"";
    for (const char c : s) {
        const auto u = static_cast<unsigned char>(c);
        switch (c) {
            case '"': q += "\\\""; break;
            case '\\': q += "\\\\"; break;
            case '\n': q += "\\n"; break;
            case '\r': q += "\\r"; break;
            case '\t': q += "\\t"; break;
            default:
                if (u < 0x20 || u == 0x7f) {
                    q += "\\u00";
                    q += kHex[u >> 4];
                    q += kHex[u & 15];
                } else {
                    q += c;  // bytes of UTF-8 pass as they are
                }
        }
    }
    return q + "\"";
}

}  // namespace

void begin_object(JsonWriter& w) { open(w, '{'); }
void end_object(JsonWriter& w) { close(w, '}'); }
void begin_array(JsonWriter& w) { open(w, '['); }
void end_array(JsonWriter& w) { close(w, ']'); }

void key(JsonWriter& w, std::string_view name) {
    next_item(w);
    w.text += json_quoted(name);
    w.text += ": ";
    w.after_key = true;
}

void value(JsonWriter& w, std::string_view s) {
    next_item(w);
    w.text += json_quoted(s);
}

void value(JsonWriter& w, double x) {
    if (!std::isfinite(x)) return null_value(w);
    next_item(w);
    char digits[32];
    const auto result = std::to_chars(digits, digits + sizeof digits, x);
    w.text.append(digits, result.ptr);
}

void value(JsonWriter& w, std::int64_t n) {
    next_item(w);
    w.text += std::to_string(n);
}

void value(JsonWriter& w, bool b) {
    next_item(w);
    w.text += b ? "true" : "false";
}

void null_value(JsonWriter& w) {
    next_item(w);
    w.text += "null";
}

}  // namespace morva::text
