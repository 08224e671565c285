// Whatever ends a companion early ends it with one line and status 1, and
// leaves none of its staged outputs behind.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <new>
#include <stdexcept>
#include <string>
#include <unistd.h>

#include "companion_main.hpp"
#include "staged_files.hpp"
#include "text/stop.hpp"

namespace morva::common {
namespace {

namespace fs = std::filesystem;

TEST(CompanionMain, EveryEndingIsOneLineAndAStatus) {
    const struct {
        const char* what;
        std::function<int()> body;
        int status;
        std::string line;
    } rows[] = {
        {"a normal end", [] { return 0; }, 0, ""},
        {"the body's own status", [] { return 3; }, 3, ""},
        {"a stop", []() -> int { text::stop_run("in.las: not a LAS file"); }, 1, "prog: in.las: not a LAS file\n"},
        {"a stop of the core's reader", []() -> int { text::stop_run("*** cannot open file: a"); }, 1,
         "prog: cannot open file: a\n"},
        {"a library's error", []() -> int { throw std::runtime_error("GDAL: no such driver"); }, 1,
         "prog: GDAL: no such driver\n"},
        {"memory exhausted", []() -> int { throw std::bad_alloc(); }, 1,
         "prog: out of memory: the machine could not give what this run needs\n"},
        {"anything else", []() -> int { throw 42; }, 1, "prog: stopped by an unexpected error\n"},
    };
    for (const auto& row : rows) {
        testing::internal::CaptureStderr();
        const int status = run_companion("prog", row.body);
        EXPECT_EQ(testing::internal::GetCapturedStderr(), row.line) << row.what;
        EXPECT_EQ(status, row.status) << row.what;
    }
}

// guards: an exception other than a stop left a companion's temporary file behind
TEST(CompanionMain, AnExceptionLeavesNoStagedFile) {
    const fs::path dir = fs::temp_directory_path() / ("morva-companion-" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    testing::internal::CaptureStderr();
    const int status = run_companion("prog", [&]() -> int {
        StagedFiles outputs;
        std::ofstream(outputs.add((dir / "out.tif").string())) << "half";
        throw std::runtime_error("TIFFRewriteDirectory failed");
    });
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(status, 1);
    EXPECT_TRUE(fs::is_empty(dir));
    fs::remove_all(dir);
}

}  // namespace
}  // namespace morva::common
