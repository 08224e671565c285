#include "text/free_input.hpp"

#include <charconv>
#include <cstring>
#include <string>

namespace morva::text {
namespace {

// Longer tokens cannot be numbers of this system's inputs.
constexpr std::size_t kMaxToken = 128;

bool is_blank(int c) { return c == ' ' || c == '\t' || c == '\r'; }
bool ends_token(int c) { return c < 0 || is_blank(c) || c == ',' || c == '/' || c == '\n'; }

enum class Next { Value, Null, Slash, End };

// State of one free-format read: a pending r*value repeat.
struct FreeCursor {
    TextReader& in;
    std::int64_t repeat_left = 0;
    bool repeat_null = false;
    char token[kMaxToken + 1];
    std::size_t length = 0;
    std::int64_t token_line = 1;
    // A value was read and no comma has followed it yet: a comma after the
    // line end (and blanks) still only separates, it is no null value.
    bool comma_due = false;
};

// Ends the run with a read error on the token's line: what is wrong, then the token.
[[noreturn]] void token_error(FreeCursor& cur, const std::string& what) {
    cur.in.line = cur.token_line;
    read_error(cur.in, what + ": " + quote_excerpt(std::string_view(cur.token, cur.length)));
}

// Copies the token at the read position into cursor.token.
void take_token(FreeCursor& cur) {
    TextReader& in = cur.in;
    cur.length = 0;
    cur.token_line = in.line;
    for (;;) {
        int c = peek(in);
        if (ends_token(c)) break;
        if (cur.length == kMaxToken) token_error(cur, "value too long");
        cur.token[cur.length++] = static_cast<char>(c);
        ++in.begin;
    }
    cur.token[cur.length] = '\0';
}

// After a value: blanks, then at most one comma, on the same line. True
// when the comma was there.
bool skip_separator(TextReader& in) {
    int c = peek(in);
    while (is_blank(c)) {
        ++in.begin;
        c = peek(in);
    }
    if (c != ',') return false;
    ++in.begin;
    return true;
}

Next next_value(FreeCursor& cur) {
    if (cur.repeat_left > 0) {
        --cur.repeat_left;
        return cur.repeat_null ? Next::Null : Next::Value;
    }
    TextReader& in = cur.in;
    for (;;) {
        int c = peek(in);
        if (c < 0) return Next::End;
        if (is_blank(c)) {
            ++in.begin;
        } else if (c == '\n') {
            ++in.begin;
            ++in.line;
        } else if (c == ',') {
            ++in.begin;
            if (cur.comma_due) {
                cur.comma_due = false;
                continue;
            }
            return Next::Null;
        } else if (c == '/') {
            return Next::Slash;
        } else {
            break;
        }
    }
    take_token(cur);
    cur.comma_due = !skip_separator(in);
    // r*value or r*: a repeat count of plain digits ahead of a star.
    const char* star = static_cast<const char*>(std::memchr(cur.token, '*', cur.length));
    if (star != nullptr && star != cur.token) {
        std::int64_t count = 0;
        auto [p, ec] = std::from_chars(cur.token, star, count);
        if (ec != std::errc() || p != star || count < 1) token_error(cur, "invalid repeat count");
        std::size_t rest = cur.length - static_cast<std::size_t>(star + 1 - cur.token);
        std::memmove(cur.token, star + 1, rest);
        cur.length = rest;
        cur.token[rest] = '\0';
        cur.repeat_null = rest == 0;
        cur.repeat_left = count - 1;
        return cur.repeat_null ? Next::Null : Next::Value;
    }
    return Next::Value;
}

// Prepares a real for from_chars: no leading plus, D exponent as E; a digit
// must come first (after one sign or a point), so words such as "inf" are
// refused. The token is taken by its length: a NUL byte inside it makes it
// malformed, it does not end it.
const char* real_text(FreeCursor& cur, char* text) {
    const char* p = cur.token;
    const char* end = cur.token + cur.length;
    std::size_t n = 0;
    if (*p == '+') ++p;
    else if (*p == '-') text[n++] = *p++;
    if (p < end && *p == '.') text[n++] = *p++;
    if (p == end || *p < '0' || *p > '9') return nullptr;
    for (; p < end; ++p) {
        if (*p == '\0') return nullptr;
        text[n++] = (*p == 'D' || *p == 'd') ? 'e' : *p;
    }
    text[n] = '\0';
    return text;
}

template <typename Real>
void convert_real(FreeCursor& cur, Real& out) {
    char text[kMaxToken + 1];
    if (real_text(cur, text) == nullptr) token_error(cur, "invalid number");
    std::size_t n = std::strlen(text);
    Real value{};
    auto [p, ec] = std::from_chars(text, text + n, value);
    if (p != text + n || (ec != std::errc() && ec != std::errc::result_out_of_range)) {
        token_error(cur, "invalid number");
    }
    if (ec == std::errc::result_out_of_range) {
        // Overflow is a malformed value; underflow reads as the tiny value.
        double wide = std::strtod(text, nullptr);
        value = static_cast<Real>(wide);
        if (value - value != 0) token_error(cur, "invalid number");
    }
    out = value;
}

void convert(FreeCursor& cur, const FreeItem& item) {
    switch (item.kind) {
    case FreeItem::Kind::Int: {
        // One sign at most: from_chars takes a minus, the plus is ours.
        const char* p = cur.token;
        if (*p == '+' && cur.length > 1 && p[1] != '-') ++p;
        std::int32_t value = 0;
        auto [end, ec] = std::from_chars(p, cur.token + cur.length, value);
        if (ec != std::errc() || end != cur.token + cur.length) token_error(cur, "invalid integer");
        *static_cast<std::int32_t*>(item.target) = value;
        return;
    }
    case FreeItem::Kind::Real:
        convert_real(cur, *static_cast<double*>(item.target));
        return;
    case FreeItem::Kind::Single:
        convert_real(cur, *static_cast<float*>(item.target));
        return;
    case FreeItem::Kind::Switch: {
        const char* p = cur.token;
        if (*p == '.') ++p;
        if (*p == 'T' || *p == 't') *static_cast<bool*>(item.target) = true;
        else if (*p == 'F' || *p == 'f') *static_cast<bool*>(item.target) = false;
        else token_error(cur, "invalid switch (T or F)");
        return;
    }
    }
}

// Fills `n` items through `store`; shared by both reads.
template <typename Store>
bool read_record(TextReader& in, std::int64_t n, AtEnd at_end, Store store) {
    FreeCursor cur{in, 0, false, {}, 0, in.line};
    for (std::int64_t k = 0; k < n; ++k) {
        switch (next_value(cur)) {
        case Next::Value:
            store(cur, k);
            break;
        case Next::Null:
            break;
        case Next::Slash:
            skip_line(in);
            return true;
        case Next::End:
            if (at_end == AtEnd::Report) return false;
            read_error(in, "end of file");
        }
    }
    // A repeat that reaches beyond the record is dropped with the line.
    skip_line(in);
    return true;
}

}  // namespace

bool read_free(TextReader& in, std::span<const FreeItem> items, AtEnd at_end) {
    return read_record(in, static_cast<std::int64_t>(items.size()), at_end,
                       [&](FreeCursor& cur, std::int64_t k) { convert(cur, items[k]); });
}

bool read_free_singles(TextReader& in, float* values, std::int64_t n, AtEnd at_end) {
    return read_record(in, n, at_end, [&](FreeCursor& cur, std::int64_t k) {
        convert_real(cur, values[k]);
    });
}

}  // namespace morva::text
