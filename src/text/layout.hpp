#pragma once
// Fixed layouts in the report notation: Iw, Fw.d, Gw.d, Bw.m, A, Aw, nX,
// "text", / and repeat counts (rD, r(...)). A layout is parsed once, where it
// is defined, and then applied to as many lines as needed:
//
//   static const Layout gps_read = layout(R"(/" GPS read:" I6 ...)");
//   write_fixed(console(), gps_read, {ntraj, ...});

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
    std::string text;
};

struct Layout {
    std::vector<Descriptor> items;  // repeats expanded
    // Characters of a write that uses every descriptor, line ends included;
    // -1 when an A field (its length set by its value) makes it vary. A line
    // of known length is reserved in the stream once and formatted in place.
    std::int32_t length = -1;
};

// Parses the notation; a malformed layout is a programming error and aborts.
Layout layout(std::string_view notation);

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
