// What the end-to-end cases cannot see of outputs staged under temporary
// names: the file replaced at the commit keeps its permissions and the link
// that named it, and two outputs of one name never share a temporary. (That
// earlier files survive a failed start, that devices are written directly and
// that openings fail as before, the cases show.) And a signal that comes
// the moment a temporary appears removes it.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sched.h>
#include <csignal>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "staging_support.hpp"
#include "text/out_stream.hpp"
#include "text/staging.hpp"

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

// # guards: a temporary left behind by a signal that came between its
// creation and its registration (the file existed, the handler did not know
// it). Both processes share one core, so that the watcher, woken by the
// file's creation, runs (and signals) before the creator goes on.
TEST_F(StagedOutput, SignalAsTheTemporaryAppearsLeavesNothing) {
    cpu_set_t before, one;
    ASSERT_EQ(::sched_getaffinity(0, sizeof before, &before), 0);
    CPU_ZERO(&one);
    for (int c = 0; c < CPU_SETSIZE; ++c) {
        if (CPU_ISSET(c, &before)) {
            CPU_SET(c, &one);
            break;
        }
    }
    const std::string target = (dir / "out.txt").string();
    for (int round = 0; round < 30; ++round) {
        SCOPED_TRACE(round);
        const int watch = ::inotify_init1(IN_CLOEXEC);
        ASSERT_GE(watch, 0);
        ASSERT_GE(::inotify_add_watch(watch, dir.c_str(), IN_CREATE), 0);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            ::sched_setaffinity(0, sizeof one, &one);
            remove_temporaries_on_signals();
            for (;;) {
                std::string temp;
                const int fd = create_temporary(target, temp);
                if (fd < 0) ::_exit(3);
                ::close(fd);
                ::unlink(temp.c_str());
                forget_temporary(temp);
            }
        }
        ::sched_setaffinity(0, sizeof one, &one);
        alignas(inotify_event) char event[sizeof(inotify_event) + 256];
        ASSERT_GT(::read(watch, event, sizeof event), 0);
        ::kill(child, SIGTERM);
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ::close(watch);
        ::sched_setaffinity(0, sizeof before, &before);
        ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << "status " << status;
        ASSERT_EQ(temporaries(dir), 0);
    }
}

}  // namespace
}  // namespace morva::text
