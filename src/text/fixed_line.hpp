#pragma once
// Lines of I, F and nX fields written once per point of a survey. The layout
// is given at the call site and parsed at compile time by the same parser as
// every other layout, so each field is formatted by code made for its width
// and decimals, straight into the stream's buffer:
//
//   write_line<"F9.6 F11.6 F12.6 F8.2 1X I3 I4">(out, thr, lat, lon, h, ampl, i);
//
// The text is that of write_fixed with the same layout and values; every
// field needs its value.

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <tuple>
#include <utility>

#include "text/fast_fields.hpp"
#include "text/layout.hpp"
#include "text/number_format.hpp"
#include "text/out_stream.hpp"

namespace morva::text {

// A layout given as a template argument.
template <std::size_t N>
struct Notation {
    char text[N];
    consteval Notation(const char (&s)[N]) { std::copy_n(s, N, text); }
    constexpr std::string_view view() const { return {text, N - 1}; }
};

namespace line {

struct Item {
    Descriptor::Op op;
    int w, d;
    int at;     // first column of the field
    int value;  // which value it takes (-1 for nX)
};

template <std::size_t N>
struct Fields {
    std::array<Item, N> items;
    int length;  // the line end included
    int values;
};

// Reached only at compile time, where it stops the compilation.
void only_i_f_and_x_descriptors();

template <Notation L>
consteval auto fields() {
    constexpr std::size_t n = layout(L.view()).items.size();
    const Layout parsed = layout(L.view());
    Fields<n> result{};
    int at = 0, value = 0;
    for (std::size_t k = 0; k < n; ++k) {
        const Descriptor& item = parsed.items[k];
        using Op = Descriptor::Op;
        if (item.op != Op::Int && item.op != Op::Fixed && item.op != Op::Blanks) only_i_f_and_x_descriptors();
        result.items[k] = {item.op, item.w, item.d, at, item.op == Op::Blanks ? -1 : value++};
        at += item.w;
    }
    result.length = at + 1;
    result.values = value;
    return result;
}

// Field I with its value v, read as write_fixed reads a value.
template <Item I>
[[gnu::always_inline]] inline void put_field(char* line, const Value& v) {
    using Op = Descriptor::Op;
    char* const out = line + I.at;
    if constexpr (I.op == Op::Fixed) {
        static_assert(I.d <= 15, "F fields of up to 15 decimals");
        const bool single = v.kind == Value::Kind::Real && v.bytes == 4;
        if (!fast::try_fixed<I.d>(out, I.w, v.d, single)) format_fixed(out, I.w, I.d, v.d, single);
    } else if (v.kind == Value::Kind::Int) {
        fast::put_int(out, I.w, v.i);
    } else {  // a real in an I field: visibly wrong, as write_fixed shows it
        std::memset(out, '*', static_cast<std::size_t>(I.w));
    }
}

template <Item I, typename Values>
inline void put(char* line, const Values& values) {
    if constexpr (I.op == Descriptor::Op::Blanks) {
        std::memset(line + I.at, ' ', static_cast<std::size_t>(I.w));
    } else {
        put_field<I>(line, Value(std::get<I.value>(values)));
    }
}

}  // namespace line

template <Notation L, typename... V>
inline void write_line(OutStream& out, V... values) {
    static constexpr auto fields = line::fields<L>();
    static_assert(fields.values == sizeof...(V), "one value for every field");
    const std::tuple<V...> args{values...};
    char* const start = reserve(out, static_cast<std::size_t>(fields.length));
    [&]<std::size_t... K>(std::index_sequence<K...>) {
        (line::put<fields.items[K]>(start, args), ...);
    }(std::make_index_sequence<fields.items.size()>{});
    start[fields.length - 1] = '\n';
    commit(out, static_cast<std::size_t>(fields.length));
}

}  // namespace morva::text
