// The scanner file: header, time base and scan loop through georeferencing
// and every output, with the fixture's trajectory and grid. The run control
// is the fixture's, varied by byte 47 of the file, which the long header
// does not use: so one target reaches every output form and mode, and each
// input stays an ordinary scanner file.

#include <cstddef>
#include <cstdint>
#include <string>

#include "harness.hpp"
#include "inputs/run_control.hpp"
#include "survey_harness.hpp"

namespace {

using morva::inputs::RunControl;

RunControl variant(const RunControl& fixture, const std::uint8_t* data, std::size_t size) {
    RunControl rc = fixture;
    const std::uint8_t v = size > 47 ? data[47] : 0;
    if (v & 0x01) rc.iout_type = 2;  // binary records
    if (v & 0x02) rc.iout_type = 3;  // reversed scan angle
    if (v & 0x04) rc.use_cal = false;
    if (v & 0x08) rc.full_georef = false;
    if (v & 0x10) rc.use_sync = true;
    if (v & 0x20) rc.nthin = 3;
    if (v & 0x40) rc.navg = 1;
    if (v & 0x80) rc.scanptfile = "0" + std::string(morva::inputs::kNameLength - 1, ' ');
    morva::inputs::derive(rc);
    return rc;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace morva::fuzz;
    prepare();
    const Survey& survey = fixture_survey();
    const RunControl rc = variant(survey.rc, data, size);
    const std::string path = write_input("scan.bin", data, size);
    run_one([&] { process_scanner_file(rc, survey.trajectory, &survey.geoid, path); });
    return 0;
}
