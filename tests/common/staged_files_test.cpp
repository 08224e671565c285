// A companion's group of output files: nothing appears before the commit, a
// link named like a temporary is never followed, a link output writes the
// file it names, and a group left uncommitted leaves nothing behind.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "staged_files.hpp"
#include "staging_support.hpp"
#include "text/stop.hpp"

namespace morva::common {
namespace {

namespace fs = std::filesystem;
using text::RunStopped;

using morva::testing::content;
using morva::testing::temporaries;

class StagedFilesTest : public morva::testing::StagingFolder {
};

TEST_F(StagedFilesTest, FilesAppearTogetherAndNeverThroughALinkOfTheTemporarysName) {
    std::ofstream(dir / "victim") << "keep\n";
    // Every name the next temporaries could take, planted as links to the victim.
    for (int n = 0; n < 60; ++n) {
        fs::create_symlink(dir / "victim", dir / (".a.tif.morva-tmp-" + std::to_string(::getpid()) + "-" + std::to_string(n)));
    }
    fs::create_symlink("cent.txt", dir / "link.txt");
    {
        StagedFiles files;
        const std::string a = files.add((dir / "a.tif").string());
        const std::string b = files.add((dir / "link.txt").string());
        std::ofstream(a) << "A\n";
        std::ofstream(b) << "B\n";
        EXPECT_FALSE(fs::exists(dir / "a.tif"));
        EXPECT_EQ(content(dir / "cent.txt"), "earlier\n");
        files.commit();
    }
    EXPECT_EQ(content(dir / "victim"), "keep\n");
    EXPECT_EQ(content(dir / "a.tif"), "A\n");
    EXPECT_TRUE(fs::is_symlink(dir / "link.txt"));
    EXPECT_EQ(content(dir / "cent.txt"), "B\n");
    struct stat st{};
    ASSERT_EQ(::stat((dir / "cent.txt").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
}

TEST_F(StagedFilesTest, FilesOfAGroupLeftUncommittedAreRemoved) {
    {
        StagedFiles files;
        std::ofstream(files.add((dir / "cent.txt").string())) << "half\n";
        std::ofstream(files.add((dir / "other.txt").string())) << "half\n";
        EXPECT_EQ(temporaries(dir), 2);
    }
    EXPECT_EQ(temporaries(dir), 0);
    EXPECT_EQ(content(dir / "cent.txt"), "earlier\n");
    EXPECT_FALSE(fs::exists(dir / "other.txt"));
    StagedFiles files;
    EXPECT_THROW(files.add((dir / "missing" / "x.tif").string()), RunStopped);
    fs::create_symlink(dir / "loop", dir / "loop");
    EXPECT_THROW(files.add((dir / "loop").string()), RunStopped);
}

}  // namespace
}  // namespace morva::common
