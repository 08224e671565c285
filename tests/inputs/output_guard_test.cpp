#include "inputs/output_guard.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace morva::inputs {
namespace {

std::string padded(const std::string& name) { return name + std::string(kNameLength - name.size(), ' '); }

RunControl named(const std::string& geoid, const std::string& scan_points) {
    RunControl rc;
    rc.scanfile = padded("scan.bin");
    rc.gpsfile = padded("/data/gps.txt");
    rc.geoidfile = padded(geoid);
    rc.scanptfile = padded(scan_points);
    rc.centfile = padded("cent.txt");
    return rc;
}

// The files of a run control: a name of 0 is no file, a relative name lies in
// the base folder, an absolute one where it says, the run control as given.
TEST(OutputGuard, RunControlFiles) {
    struct Case {
        std::string geoid, scan_points, run_control, base;
        std::vector<std::string> files;
    } cases[] = {
        {"geoid.txt", "pts.bin", "run.in", "",
         {"scan.bin", "/data/gps.txt", "geoid.txt", "pts.bin", "cent.txt", "test.out", "test_pcorr.out", "run.in"}},
        {"0", "0", "", "flights/a",
         {"flights/a/scan.bin", "/data/gps.txt", "flights/a/cent.txt", "flights/a/test.out",
          "flights/a/test_pcorr.out"}},
        {" 0", "0", "a/run.in", "a/",
         {"a/scan.bin", "/data/gps.txt", "a/ 0", "a/cent.txt", "a/test.out", "a/test_pcorr.out", "a/run.in"}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(run_control_files(named(c.geoid, c.scan_points), c.run_control, c.base), c.files) << c.base;
    }
}

// Names without roles: the refusal names the input as given.
TEST(OutputGuard, RefusalWithoutRoles) {
    const std::vector<std::string> inputs = {"/data/gps.txt", "strip.las"};
    EXPECT_EQ(output_refusal("out.tif", inputs), "");
    EXPECT_EQ(output_refusal("./strip.las", inputs), "./strip.las is the same file as strip.las");
    EXPECT_EQ(output_refusal("/", inputs), "/ is a folder");
    EXPECT_EQ(output_refusal("", inputs), "an empty name is no file");
}

}  // namespace
}  // namespace morva::inputs
