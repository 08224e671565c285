#include "scanner/scanner_header.hpp"

namespace morva::scanner {

void readhdr(ByteReader&, scanner_header&) {}

}  // namespace morva::scanner
