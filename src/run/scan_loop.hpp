#pragma once
// The scan loop: every scan record in turn, skipped before the window,
// ended by the first scan after it or by the end of the file, thinned, and
// handed to georeferencing and the outputs.

#include "georef/scan_processing.hpp"
#include "run/progress.hpp"
#include "scanner/byte_reader.hpp"
#include "scanner/scan_stream.hpp"
#include "scanner/scanner_header.hpp"

namespace morva::run {

void run_scan_loop(scanner::ByteReader& scan, const scanner::scanner_header& header, scanner::ScanStream& stream,
                   const georef::SurveyInputs& inputs, const georef::SurveyOutputs& outputs, georef::RunState& state,
                   Progress* progress = nullptr);

}  // namespace morva::run
