// The geoid loader on any text (header, dimensions, capacity, rows); a grid
// that loads is then used by georeferencing the fixture's scanner file, so
// that bilin meets it too.

#include <cstddef>
#include <cstdint>
#include <string>

#include "harness.hpp"
#include "survey_harness.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace morva;
    fuzz::prepare();
    const fuzz::Survey& survey = fuzz::fixture_survey();
    static inputs::GeoidGrid geoid;  // the one allocation, reused
    const std::string path = fuzz::write_input("geoid.txt", data, size);
    fuzz::run_one([&] {
        inputs::load_geoid(path, geoid);
        fuzz::process_scanner_file(survey.rc, survey.trajectory, &geoid, fuzz::fixture_scanner_file());
    });
    return 0;
}
