#pragma once
// Simulated flights for the simulator's end-to-end tests: a survey written
// from options, processed by the real run in a child process, and checked
// with --verify.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "../text/text_test_support.hpp"
#include "run/main_sequence.hpp"
#include "sim_options.hpp"
#include "survey.hpp"
#include "survey_files.hpp"
#include "verify.hpp"

namespace morva::sim::testing {

inline std::vector<std::string> words(const std::string& text) {
    std::istringstream in(text);
    std::vector<std::string> out;
    std::string w;
    while (in >> w) out.push_back(w);
    return out;
}

// The survey of `args` (blank-separated options); fails the test when it
// cannot be built.
inline Survey survey_of(const std::string& args) {
    SimOptions opt;
    std::vector<std::string> rest;
    std::string error;
    Survey s;
    EXPECT_TRUE(parse_options(words(args), opt, rest, error)) << error;
    EXPECT_TRUE(build_survey(opt, s, error)) << args << ": " << error;
    return s;
}

// Writes the survey into `dir` and runs morva there (run.in on standard
// input); returns the console report, or the failure.
inline std::string fly(const Survey& s, const std::filesystem::path& dir) {
    std::filesystem::remove_all(dir);
    WriteSummary summary;
    const std::string error = write_survey(s, dir.string(), summary);
    if (!error.empty()) return "simulator: " + error;
    const std::string run_dir = dir.string();
    const text::testing::ChildResult run = text::testing::run_in_child([&] {
        if (::chdir(run_dir.c_str()) != 0) std::_Exit(98);
        const int fd = ::open("run.in", O_RDONLY);
        if (fd < 0 || ::dup2(fd, 0) < 0) std::_Exit(97);
        run::run_survey({}, {2});
        text::testing::end_run();
    });
    if (run.status != 0) return "morva exit " + std::to_string(run.status) + ": " + run.output;
    return run.output;
}

// --verify on the folder: its report.
inline std::string verify_report(const std::filesystem::path& dir, VerifyRequest request = {}) {
    request.dir = dir.string();
    std::string report;
    verify_survey(request, report);
    return report;
}

}  // namespace morva::sim::testing
