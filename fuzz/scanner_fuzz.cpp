// The scanner file: header, time base and scan loop through georeferencing
// and every output, with the fixture's run control, trajectory and grid.

#include <cstddef>
#include <cstdint>
#include <string>

#include "harness.hpp"
#include "survey_harness.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace morva::fuzz;
    prepare();
    const Survey& survey = fixture_survey();
    const std::string path = write_input("scan.bin", data, size);
    run_one([&] { process_scanner_file(survey.rc, survey.trajectory, &survey.geoid, path); });
    return 0;
}
