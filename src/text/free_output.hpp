#pragma once
// Free-format output: a line beginning with one blank; character fields
// copied unchanged; integers right-justified in 4, 6 or 11 characters by
// their size (1, 2 or 4 bytes) and followed by one blank, with one blank ahead
// of an integer that follows a character field.

#include <initializer_list>

#include "text/layout.hpp"
#include "text/out_stream.hpp"

namespace morva::text {

void write_free(OutStream& out, std::initializer_list<Value> items);

}  // namespace morva::text
