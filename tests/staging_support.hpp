#pragma once
// A folder of its own for the tests of staged outputs (the core's streams and
// the companions' files): an earlier "cent.txt" with its own permissions,
// what a file holds, and how many temporaries are left.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace morva::testing {

namespace fs = std::filesystem;

inline std::string content(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

inline int temporaries(const fs::path& dir) {
    int n = 0;
    for (const auto& e : fs::directory_iterator(dir)) {
        n += e.path().filename().string().find(".morva-tmp-") != std::string::npos;
    }
    return n;
}

class StagingFolder : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
        dir = fs::temp_directory_path() /
              ("morva-staged-" + std::string(test->test_suite_name()) + "-" + std::to_string(::getpid()));
        fs::remove_all(dir);
        fs::create_directories(dir);
        std::ofstream(dir / "cent.txt") << "earlier\n";
        ::chmod((dir / "cent.txt").c_str(), 0640);
    }
    void TearDown() override { fs::remove_all(dir); }
    fs::path dir;
};

}  // namespace morva::testing
