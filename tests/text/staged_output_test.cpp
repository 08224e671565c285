// What the end-to-end cases cannot see of outputs staged under temporary
// names: the file replaced at the commit keeps its permissions and the link
// that named it, and two outputs of one name never share a temporary. (That
// earlier files survive a failed start, that devices are written directly and
// that openings fail as before, the cases show.)

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "staging_support.hpp"
#include "text/out_stream.hpp"

namespace morva::text {
namespace {

namespace fs = std::filesystem;

using morva::testing::content;
using morva::testing::temporaries;

class StagedOutput : public morva::testing::StagingFolder {
protected:
    static void write(OutStream& out, const std::string& text) {
        put(out, text);
        flush(out);
    }
};

TEST_F(StagedOutput, CommitReplacesTheFileKeepingItsPermissionsAndLink) {
    fs::create_symlink("cent.txt", dir / "link.txt");
    OutStream direct, linked, fresh;
    ASSERT_TRUE(open_out_staged(linked, (dir / "link.txt").string()));
    ASSERT_TRUE(open_out_staged(fresh, (dir / "new.txt").string()));
    EXPECT_FALSE(fs::exists(dir / "new.txt"));
    write(linked, "through the link\n");
    write(fresh, "fresh\n");
    std::string failed;
    ASSERT_TRUE(commit_staged_outputs(failed));
    write(linked, "after the commit\n");
    close_out(linked);
    close_out(fresh);
    EXPECT_TRUE(fs::is_symlink(dir / "link.txt"));
    EXPECT_EQ(content(dir / "cent.txt"), "through the link\nafter the commit\n");
    EXPECT_EQ(content(dir / "new.txt"), "fresh\n");
    struct stat st{};
    ASSERT_EQ(::stat((dir / "cent.txt").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    EXPECT_EQ(temporaries(dir), 0);
    discard_staged_outputs();  // nothing left to discard
    EXPECT_EQ(content(dir / "new.txt"), "fresh\n");
}

TEST_F(StagedOutput, TwoOutputsOfOneNameHaveTheirOwnTemporaries) {
    OutStream a, b;
    ASSERT_TRUE(open_out_staged(a, (dir / "cent.txt").string()));
    ASSERT_TRUE(open_out_staged(b, (dir / "cent.txt").string()));
    EXPECT_NE(a.temp_path, b.temp_path);
    EXPECT_EQ(temporaries(dir), 2);
    discard_staged_outputs();
    EXPECT_EQ(temporaries(dir), 0);
}

}  // namespace
}  // namespace morva::text
