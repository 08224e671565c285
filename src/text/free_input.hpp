#pragma once
// Free-format input: values separated by blanks, tabs or a comma, spanning
// lines as needed; ",," is a null value (the item keeps its value), "/" ends
// the read, r*value repeats a value, and whatever follows the last value of a
// read on its line is discarded.

#include <cstdint>
#include <initializer_list>
#include <span>

#include "text/text_reader.hpp"

namespace morva::text {

struct FreeItem {
    enum class Kind : std::uint8_t { Int, Real, Single, Switch };
    Kind kind;
    void* target;
};

inline FreeItem item(std::int32_t& v) { return {FreeItem::Kind::Int, &v}; }
inline FreeItem item(double& v) { return {FreeItem::Kind::Real, &v}; }
inline FreeItem item(float& v) { return {FreeItem::Kind::Single, &v}; }
inline FreeItem item(bool& v) { return {FreeItem::Kind::Switch, &v}; }

// What to do when the input ends before every item is filled.
enum class AtEnd { Stop, Report };

// Reads one free-format record into the items. Returns false only when the
// input ends during the read and the caller asked for AtEnd::Report; a
// malformed value always ends the run with a read error.
bool read_free(TextReader& in, std::span<const FreeItem> items, AtEnd at_end = AtEnd::Stop);

inline bool read_free(TextReader& in, std::initializer_list<FreeItem> items,
                      AtEnd at_end = AtEnd::Stop) {
    return read_free(in, std::span<const FreeItem>(items.begin(), items.size()), at_end);
}

// Reads one record of n single-precision values (a geoid grid row), each
// converted from its decimal text straight to single precision.
bool read_free_singles(TextReader& in, float* values, std::int64_t n, AtEnd at_end = AtEnd::Stop);

}  // namespace morva::text
