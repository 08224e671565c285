// The scan loop's pipeline: a simulated survey processed on 1 to 8 threads
// and in batches from one scan to the memory bound gives the same console
// report and files byte for byte, and a stop met by a worker part way
// through ends the run at its place: the console and every file are what
// the run without the stop wrote up to there, and nothing after.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <set>
#include <string>

#include "../text/text_test_support.hpp"
#include "run/main_sequence.hpp"
#include "sim_options.hpp"
#include "survey.hpp"
#include "survey_files.hpp"
#include "text/stop.hpp"

namespace morva::run {
namespace {

namespace fs = std::filesystem;

struct Outcome {
    int status = -1;
    std::string console;
    std::map<std::string, std::string> files;  // every file the run made
};

// A worker's stop after georeferencing scan kStopScan, as the calibration's
// stop would meet it.
constexpr std::int32_t kStopScan = 37;
std::int32_t stopping_work(const georef::SurveyInputs& in, const scanner::ScanStream& scan, const std::uint8_t* raw,
                           std::int32_t jtraj, scanner::ScanTables& tables, ScanResults& r, ScanMarks& marks) {
    const std::int32_t after = record_scan(in, scan, raw, jtraj, tables, r, marks);
    if (scan.nscan == kStopScan) text::stop_run("*** r le zero in riegl_cal ***");
    return after;
}

class Pipeline : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir = new fs::path(fs::temp_directory_path() / ("morva-pipeline-" + std::to_string(::getpid())));
        fs::remove_all(*dir);
        sim::SimOptions opt;
        std::vector<std::string> rest;
        std::string error;
        ASSERT_TRUE(sim::parse_options({"--duration", "2", "--nmeas", "120", "--scan-rate", "40", "--roll", "3,2,4",
                                        "--icalib", "2", "--calibration", "on", "--output", "text"},
                                       opt, rest, error))
            << error;
        sim::Survey s;
        ASSERT_TRUE(sim::build_survey(opt, s, error)) << error;
        sim::WriteSummary summary;
        ASSERT_EQ(sim::write_survey(s, dir->string(), summary), "");
        for (const auto& entry : fs::directory_iterator(*dir)) inputs->insert(entry.path().filename().string());
    }
    static void TearDownTestSuite() {
        fs::remove_all(*dir);
        delete dir;
    }

    static Outcome run(const LoopOptions& options, const RunOptions& run_options = {}) {
        for (const auto& entry : fs::directory_iterator(*dir)) {
            if (!inputs->count(entry.path().filename().string())) fs::remove(entry.path());
        }
        const std::string folder = dir->string();
        const text::testing::ChildResult child = text::testing::run_in_child([&] {
            if (::chdir(folder.c_str()) != 0) std::_Exit(98);
            const int fd = ::open("run.in", O_RDONLY);
            if (fd < 0 || ::dup2(fd, 0) < 0) std::_Exit(97);
            run_survey(run_options, options);
            text::testing::end_run();
        });
        Outcome o{child.status, child.output, {}};
        for (const auto& entry : fs::directory_iterator(*dir)) {
            const std::string name = entry.path().filename().string();
            if (!inputs->count(name)) o.files[name] = text::testing::file_bytes(entry.path().string());
        }
        return o;
    }

    static inline fs::path* dir = nullptr;
    static inline std::set<std::string>* inputs = new std::set<std::string>;
};

// Thread counts and batch sizes (in measurements; 0 the memory bound, 1 a
// scan a batch) that cut the run differently.
const LoopOptions kCuts[] = {{1, 1}, {2, 0}, {2, 1}, {3, 500}, {4, 1}, {8, 1300}};

TEST_F(Pipeline, EveryThreadCountAndBatchSizeMakesTheSameBytes) {
    for (const georef::Geodesy geodesy : {georef::Geodesy::Flat, georef::Geodesy::Ellipsoid}) {
        RunOptions run_options;
        run_options.geodesy = geodesy;
        const Outcome one = run({1, 0}, run_options);
        ASSERT_EQ(one.status, 0) << one.console;
        ASSERT_EQ(one.files.count("points.txt"), 1u);
        ASSERT_GT(one.files.at("points.txt").size(), 100000u);
        ASSERT_NE(one.console.find("Regression"), std::string::npos) << one.console;
        for (const LoopOptions& cut : kCuts) {
            const Outcome o = run(cut, run_options);
            const std::string at = std::to_string(cut.threads) + " threads, batches of " +
                                   std::to_string(cut.batch_measurements) +
                                   (geodesy == georef::Geodesy::Flat ? ", flat" : ", ellipsoid");
            EXPECT_EQ(o.status, one.status) << at;
            EXPECT_EQ(o.console, one.console) << at;
            EXPECT_EQ(o.files, one.files) << at;
        }
    }
}

TEST_F(Pipeline, AWorkersStopEndsTheRunAtItsPlace) {
    const Outcome whole = run({1, 0});
    const std::string line = "*** r le zero in riegl_cal ***\n";
    Outcome first;
    for (LoopOptions cut : {LoopOptions{1, 0}, kCuts[0], kCuts[1], kCuts[2], kCuts[3], kCuts[4], kCuts[5]}) {
        cut.work = stopping_work;
        const Outcome o = run(cut);
        const std::string at = std::to_string(cut.threads) + " threads, batches of " +
                               std::to_string(cut.batch_measurements);
        ASSERT_EQ(o.status, 1) << at;
        ASSERT_GE(o.console.size(), line.size()) << at;
        ASSERT_EQ(o.console.substr(o.console.size() - line.size()), line) << at;
        const std::string before = o.console.substr(0, o.console.size() - line.size());
        EXPECT_EQ(whole.console.compare(0, before.size(), before), 0) << at << ": not the run's own lines";
        // One centre point for each scan, up to the scan of the stop.
        const std::string& centres = o.files.at("centre.txt");
        EXPECT_EQ(std::count(centres.begin(), centres.end(), '\n'), kStopScan) << at;
        for (const auto& [name, bytes] : o.files) {
            ASSERT_EQ(whole.files.count(name), 1u) << name;
            EXPECT_EQ(whole.files.at(name).compare(0, bytes.size(), bytes), 0) << at << ": " << name;
        }
        EXPECT_LT(o.files.at("points.txt").size(), whole.files.at("points.txt").size() / 2) << at;
        if (first.status < 0) first = o;
        EXPECT_EQ(o.console, first.console) << at;
        EXPECT_EQ(o.files, first.files) << at;
    }
}

}  // namespace
}  // namespace morva::run
