#include "text/layout.hpp"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "text/number_format.hpp"

namespace morva::text {

void bad_layout(std::string_view notation, std::size_t at) {
    std::fprintf(stderr, "malformed layout at %zu: %.*s\n", at, static_cast<int>(notation.size()),
                 notation.data());
    std::abort();
}

namespace {

bool takes_value(Descriptor::Op op) {
    using Op = Descriptor::Op;
    return op == Op::Int || op == Op::Fixed || op == Op::General || op == Op::Bits || op == Op::Chars;
}

bool is_single(const Value& v) { return v.kind == Value::Kind::Real && v.bytes == 4; }

std::uint64_t bit_pattern(const Value& v) {
    std::uint64_t u = static_cast<std::uint64_t>(v.i);
    return v.bytes >= 8 ? u : u & ((std::uint64_t{1} << (8 * v.bytes)) - 1);
}

// A: the field as it is. Aw: w characters, blanks ahead of a shorter field,
// the leftmost w of a longer one.
void put_chars(OutStream& out, int w, std::string_view field) {
    const std::size_t width = w == 0 ? field.size() : static_cast<std::size_t>(w);
    if (width > field.size()) {
        std::memset(reserve(out, width - field.size()), ' ', width - field.size());
        commit(out, width - field.size());
    }
    put(out, field.substr(0, width));
}

// Formats the value-taking descriptor `item` with `value` at `at`.
void put_value(char* at, const Descriptor& item, const Value& value) {
    using Op = Descriptor::Op;
    switch (item.op) {
    case Op::Int:
        if (value.kind == Value::Kind::Int) {
            format_int(at, item.w, value.i);
        } else {  // a real or text in an I field: visibly wrong, never a quiet 0
            std::memset(at, '*', static_cast<std::size_t>(item.w));
        }
        break;
    case Op::Fixed:
        format_fixed(at, item.w, item.d, value.d, is_single(value));
        break;
    case Op::General:
        format_general(at, item.w, item.d, value.d, is_single(value));
        break;
    case Op::Bits:
        format_bits(at, item.w, item.d, bit_pattern(value));
        break;
    default:
        break;
    }
}

// A layout of known length: the whole line is reserved once and every field
// formatted straight into the stream's buffer.
void write_in_place(OutStream& out, const Layout& layout, std::initializer_list<Value> values) {
    using Op = Descriptor::Op;
    char* const start = reserve(out, static_cast<std::size_t>(layout.length));
    char* p = start;
    const Value* next = values.begin();
    for (const Descriptor& item : layout.items) {
        switch (item.op) {
        case Op::Text:
            std::memcpy(p, item.text.data(), item.text.size());
            p += item.text.size();
            continue;
        case Op::Blanks:
            std::memset(p, ' ', static_cast<std::size_t>(item.w));
            p += item.w;
            continue;
        case Op::NewLine:
            *p++ = '\n';
            continue;
        default:
            if (next == values.end()) break;
            put_value(p, item, *next++);
            p += item.w;
            continue;
        }
        break;
    }
    *p++ = '\n';
    commit(out, static_cast<std::size_t>(p - start));
}

}  // namespace

void write_fixed(OutStream& out, const Layout& layout, std::initializer_list<Value> values) {
    using Op = Descriptor::Op;
    if (layout.length >= 0) {
        write_in_place(out, layout, values);
        return;
    }
    const Value* next = values.begin();
    for (const Descriptor& item : layout.items) {
        if (takes_value(item.op) && next == values.end()) break;
        switch (item.op) {
        case Op::Text:
            put(out, item.text);
            break;
        case Op::Blanks:
            std::memset(reserve(out, item.w), ' ', static_cast<std::size_t>(item.w));
            commit(out, static_cast<std::size_t>(item.w));
            break;
        case Op::NewLine:
            put(out, '\n');
            break;
        case Op::Chars:
            put_chars(out, item.w, next->s);
            ++next;
            break;
        default:
            put_value(reserve(out, item.w), item, *next);
            commit(out, static_cast<std::size_t>(item.w));
            ++next;
            break;
        }
    }
    put(out, '\n');
}

bool read_fixed(std::string_view field, const Layout& layout, std::initializer_list<FixedTarget> targets) {
    using Op = Descriptor::Op;
    std::size_t pos = 0;
    const FixedTarget* next = targets.begin();
    auto take = [&](std::size_t n) {
        std::string_view part = pos < field.size() ? field.substr(pos, n) : std::string_view{};
        pos += n;
        return part;
    };
    for (const Descriptor& item : layout.items) {
        if (takes_value(item.op) && next == targets.end()) break;
        switch (item.op) {
        case Op::Blanks:
            take(static_cast<std::size_t>(item.w));
            break;
        case Op::Int: {
            std::string_view part = take(static_cast<std::size_t>(item.w));
            if (part.size() < static_cast<std::size_t>(item.w)) return false;
            std::int64_t value = 0;
            bool negative = false, sign_allowed = true, any = false;
            for (char c : part) {
                if (c == ' ') continue;
                if ((c == '-' || c == '+') && sign_allowed) {
                    negative = c == '-';
                    sign_allowed = false;
                } else if (c >= '0' && c <= '9') {
                    value = value * 10 + (c - '0');
                    sign_allowed = false;
                    any = true;
                } else {
                    return false;
                }
            }
            if (!any && !sign_allowed) return false;  // a lone sign
            *next->integer = static_cast<std::int32_t>(negative ? -value : value);
            ++next;
            break;
        }
        case Op::Chars: {
            std::string& target = *next->chars;
            std::size_t n = item.w > 0 ? static_cast<std::size_t>(item.w) : target.size();
            std::string_view part = take(n);
            target.assign(part);
            target.resize(n, ' ');
            ++next;
            break;
        }
        default:
            break;
        }
    }
    return true;
}

bool read_fixed(TextReader& in, const Layout& layout, std::initializer_list<FixedTarget> targets) {
    // A line is taken whole (up to a generous length) and then split.
    char line[512];
    if (!read_line_field(in, line, sizeof line)) return false;
    return read_fixed(std::string_view(line, sizeof line), layout, targets);
}

}  // namespace morva::text
