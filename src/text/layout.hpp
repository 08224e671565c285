#pragma once
// Fixed layouts in the report notation: Iw, Fw.d, Gw.d, Bw.m, A, Aw, nX,
// "text", / and repeat counts (rD, r(...)). A layout is parsed once, where it
// is defined, and then applied to as many lines as needed:
//
//   static const Layout gps_read = layout(R"(/" GPS read:" I6 ...)");
//   write_fixed(console(), gps_read, {ntraj, ...});

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "text/out_stream.hpp"
#include "text/text_reader.hpp"

namespace morva::text {

struct Descriptor {
    enum class Op : std::uint8_t { Text, Blanks, NewLine, Int, Fixed, General, Bits, Chars };
    Op op;
    int w = 0;  // field width (0 for A: the value's own length), or X count
    int d = 0;  // decimals, significant digits, or minimum binary digits
    // The literal's characters inside the notation, which must outlive the
    // layout (every notation is a string literal). A std::string here could
    // not be built at compile time by clang with the GNU library, which the
    // fuzz build needs.
    std::string_view text;
};

struct Layout {
    std::vector<Descriptor> items;  // repeats expanded
    // Characters of a write that uses every descriptor, line ends included;
    // -1 when an A field (its length set by its value) makes it vary. A line
    // of known length is reserved in the stream once and formatted in place.
    std::int32_t length = -1;
};

// A malformed layout is a programming error: the message, then abort. (In
// a layout parsed at compile time, reaching it fails the compilation.)
[[noreturn]] void bad_layout(std::string_view notation, std::size_t at);

namespace notation {

struct Parser {
    std::string_view s;
    std::size_t pos = 0;

    constexpr bool done() const { return pos >= s.size(); }
    constexpr char at() const { return pos < s.size() ? s[pos] : '\0'; }
    constexpr bool digit() const { return at() >= '0' && at() <= '9'; }
    constexpr int number() {
        if (!digit()) bad_layout(s, pos);
        int n = 0;
        while (digit()) n = n * 10 + (s[pos++] - '0');
        return n;
    }
    constexpr void skip_space() {
        while (at() == ' ' || at() == ',') ++pos;
    }
};

constexpr void parse_list(Parser& p, std::vector<Descriptor>& out, bool nested);

constexpr void parse_item(Parser& p, std::vector<Descriptor>& out) {
    using Op = Descriptor::Op;
    char c = p.at();
    if (c == '"') {
        std::size_t close = p.s.find('"', p.pos + 1);
        if (close == std::string_view::npos) bad_layout(p.s, p.pos);
        out.push_back({Op::Text, 0, 0, p.s.substr(p.pos + 1, close - p.pos - 1)});
        p.pos = close + 1;
        return;
    }
    if (c == '/') {
        ++p.pos;
        out.push_back({Op::NewLine, 0, 0, {}});
        return;
    }
    int repeat = 1;
    if (p.digit()) {
        repeat = p.number();
        if (p.at() == 'X') {
            ++p.pos;
            out.push_back({Op::Blanks, repeat, 0, {}});
            return;
        }
    }
    std::vector<Descriptor> one;
    c = p.at();
    ++p.pos;
    switch (c) {
    case '(':
        parse_list(p, one, true);
        break;
    case 'I':
        one.push_back({Op::Int, p.number(), 0, {}});
        break;
    case 'F':
    case 'G':
    case 'B': {
        int w = p.number();
        if (p.at() != '.') bad_layout(p.s, p.pos);
        ++p.pos;
        int d = p.number();
        Op op = c == 'F' ? Op::Fixed : c == 'G' ? Op::General : Op::Bits;
        one.push_back({op, w, d, {}});
        break;
    }
    case 'A':
        one.push_back({Op::Chars, p.digit() ? p.number() : 0, 0, {}});
        break;
    default:
        bad_layout(p.s, p.pos - 1);
    }
    for (int r = 0; r < repeat; ++r) out.insert(out.end(), one.begin(), one.end());
}

constexpr void parse_list(Parser& p, std::vector<Descriptor>& out, bool nested) {
    for (;;) {
        p.skip_space();
        if (p.done()) {
            if (nested) bad_layout(p.s, p.pos);
            return;
        }
        if (p.at() == ')') {
            if (!nested) bad_layout(p.s, p.pos);
            ++p.pos;
            return;
        }
        parse_item(p, out);
    }
}

}  // namespace notation

// Parses the notation; also usable at compile time.
constexpr Layout layout(std::string_view text) {
    notation::Parser p{text};
    Layout result;
    notation::parse_list(p, result.items, false);
    std::int64_t length = 1;  // the final line end
    for (const Descriptor& item : result.items) {
        if (item.op == Descriptor::Op::Chars) return result;
        length += item.op == Descriptor::Op::Text      ? static_cast<std::int64_t>(item.text.size())
                  : item.op == Descriptor::Op::NewLine ? 1
                                                       : item.w;
    }
    if (length <= INT32_MAX) result.length = static_cast<std::int32_t>(length);
    return result;
}

// One value of a write: an integer of 1, 2, 4 or 8 bytes, a real of 8 or 4
// bytes, or a character field.
struct Value {
    enum class Kind : std::uint8_t { Int, Real, Text };
    Kind kind;
    std::uint8_t bytes;
    std::int64_t i = 0;
    double d = 0;
    std::string_view s;

    // Integers carry their value as a real too, for F and G fields.
    Value(std::int8_t v) : kind(Kind::Int), bytes(1), i(v), d(v) {}
    Value(std::uint8_t v) : kind(Kind::Int), bytes(1), i(static_cast<std::int8_t>(v)), d(static_cast<std::int8_t>(v)) {}
    Value(std::int16_t v) : kind(Kind::Int), bytes(2), i(v), d(v) {}
    Value(std::int32_t v) : kind(Kind::Int), bytes(4), i(v), d(v) {}
    Value(std::int64_t v) : kind(Kind::Int), bytes(8), i(v), d(static_cast<double>(v)) {}
    Value(double v) : kind(Kind::Real), bytes(8), d(v) {}
    Value(float v) : kind(Kind::Real), bytes(4), d(v) {}
    Value(std::string_view v) : kind(Kind::Text), bytes(0), s(v) {}
    Value(const char* v) : kind(Kind::Text), bytes(0), s(v) {}
    Value(const std::string& v) : kind(Kind::Text), bytes(0), s(v) {}
};

// Writes the values under the layout. Output stops at the first value-taking
// descriptor left without a value; the current line is then ended.
void write_fixed(OutStream& out, const Layout& layout, std::initializer_list<Value> values);

// Reads under a layout of A, nX and Iw from a field held in memory; false
// when an Iw field is not an integer. Targets: std::int32_t* for I,
// std::string* for A (filled to the string's current length).
struct FixedTarget {
    std::int32_t* integer = nullptr;
    std::string* chars = nullptr;
    FixedTarget(std::int32_t* v) : integer(v) {}
    FixedTarget(std::string* v) : chars(v) {}
};
bool read_fixed(std::string_view field, const Layout& layout, std::initializer_list<FixedTarget> targets);

// Reads one line of a stream under a layout of A fields (the run control's
// file names); false at end of input.
bool read_fixed(TextReader& in, const Layout& layout, std::initializer_list<FixedTarget> targets);

}  // namespace morva::text
