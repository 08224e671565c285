// The trajectory loader on any text (records, window, capacity, speeds and
// summary); a trajectory that loads is then flown with the fixture's scanner
// file, so that interpolation meets it too.

#include <cstddef>
#include <cstdint>
#include <string>

#include "harness.hpp"
#include "survey_harness.hpp"
#include "text/stop.hpp"
#include "text/text_reader.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace morva;
    fuzz::prepare();
    const fuzz::Survey& survey = fuzz::fixture_survey();
    static inputs::TrajectoryTable trajectory;  // the one allocation, reused
    const std::string path = fuzz::write_input("trajectory.txt", data, size);
    fuzz::run_one([&] {
        text::TextReader gps;
        if (!text::open_in(gps, path)) text::stop_run("*** cannot open file: " + path);
        inputs::load_trajectory(gps, survey.rc, trajectory);
        fuzz::process_scanner_file(survey.rc, trajectory, &survey.geoid, fuzz::fixture_scanner_file());
    });
    return 0;
}
