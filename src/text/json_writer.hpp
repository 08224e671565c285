#pragma once
// A small writer of JSON text, for the run's record (--metadata): objects,
// arrays, strings, numbers, true/false and null, indented two blanks a level.
// Numbers are written with the fewest digits that read back to the same
// double; a value that is not finite becomes null (JSON has no NaN).

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace morva::text {

struct JsonWriter {
    std::string text;
    // One entry per open object or array: whether it holds a member yet.
    std::vector<bool> has_member;
    bool after_key = false;
};

void begin_object(JsonWriter& w);
void end_object(JsonWriter& w);
void begin_array(JsonWriter& w);
void end_array(JsonWriter& w);
// The name of the next member of the open object.
void key(JsonWriter& w, std::string_view name);

void value(JsonWriter& w, std::string_view s);
inline void value(JsonWriter& w, const char* s) { value(w, std::string_view(s)); }
void value(JsonWriter& w, double x);
void value(JsonWriter& w, std::int64_t n);
inline void value(JsonWriter& w, std::int32_t n) { value(w, static_cast<std::int64_t>(n)); }
void value(JsonWriter& w, bool b);
void null_value(JsonWriter& w);

}  // namespace morva::text
