#include "scanner/scan_stream.hpp"

namespace morva::scanner {

void begin_scans(const scanner_header&, const run::RunControl&, ScanStream&) {}
bool read_scan(ByteReader&, const scanner_header&, ScanStream&, ScanTables&) { return false; }

}  // namespace morva::scanner
