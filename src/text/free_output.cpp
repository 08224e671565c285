#include "text/free_output.hpp"

#include "text/number_format.hpp"

namespace morva::text {

void write_free(OutStream& out, std::initializer_list<Value> items) {
    put(out, ' ');
    bool after_text = false;
    for (const Value& v : items) {
        if (v.kind == Value::Kind::Text) {
            put(out, v.s);
            after_text = true;
            continue;
        }
        if (after_text) put(out, ' ');
        int w = v.bytes == 1 ? 4 : v.bytes == 2 ? 6 : v.bytes == 4 ? 11 : 20;
        format_int(reserve(out, static_cast<std::size_t>(w)), w, v.i);
        commit(out, static_cast<std::size_t>(w));
        put(out, ' ');
        after_text = false;
    }
    put(out, '\n');
}

}  // namespace morva::text
