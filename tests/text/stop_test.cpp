// Ending a run: a stop throws, every output stream flushes and closes itself
// as the stop unwinds, the stop line is the last line of the console report,
// and the exit status tells a stop from a normal end.

#include "text/stop.hpp"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "text/free_input.hpp"
#include "text/free_output.hpp"
#include "text/layout.hpp"
#include "text/out_stream.hpp"
#include "text_test_support.hpp"

namespace morva::text {
namespace {

using testing::read_from_memory;
using testing::run_in_child;

std::string temp_path(const char* tag) { return "/tmp/morva-stop-" + std::to_string(::getpid()) + tag; }

std::string file_text(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

TEST(Stop, MessageIsTheLastConsoleLine) {
    auto r = run_in_child([] {
        write_free(console(), {"earlier line"});
        stop_run("*** icalib too large");
    });
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.output, " earlier line\n*** icalib too large\n");
}

TEST(Stop, WithoutMessage) {
    auto r = run_in_child([] {
        write_free(console(), {"*** error in header: headerid is not 10:", std::int8_t{11}});
        stop_run();
    });
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.output, " *** error in header: headerid is not 10:   11 \n");
}

TEST(Stop, NormalEndExitsZero) {
    auto r = run_in_child([] {
        write_free(console(), {"done"});
        testing::end_run();
    });
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.output, " done\n");
}

TEST(Stop, OutputFilesAreFlushed) {
    const std::string path = temp_path("-flush");
    for (bool stop : {true, false}) {
        auto r = run_in_child([&] {
            OutStream file;
            if (!open_out(file, path)) std::_Exit(3);
            static const Layout point = layout("F9.6 I4");
            for (int i = 0; i < 3; ++i) write_fixed(file, point, {0.5, std::int32_t{i}});
            if (stop) stop_run("*** stopped");
            testing::end_run();
        });
        EXPECT_EQ(r.status, stop ? 1 : 0);
        EXPECT_EQ(file_text(path), " 0.500000   0\n 0.500000   1\n 0.500000   2\n");
        std::remove(path.c_str());
    }
}

TEST(Stop, LargeOutputsAreWrittenWhole) {
    const std::string path = temp_path("-large");
    auto r = run_in_child([&] {
        OutStream file;
        if (!open_out(file, path)) std::_Exit(3);
        std::string line(99, 'x');
        for (int i = 0; i < 30000; ++i) write_free(file, {line});
        stop_run("*** stopped");
    });
    EXPECT_EQ(r.status, 1);
    std::string text = file_text(path);
    EXPECT_EQ(text.size(), 30000u * 101u);
    std::remove(path.c_str());
}

TEST(Stop, AFailedWriteIsNoSuccess) {
    if (::access("/dev/full", W_OK) != 0) GTEST_SKIP() << "no /dev/full";
    auto r = run_in_child([] {
        OutStream file;
        if (!open_out(file, "/dev/full")) std::_Exit(3);
        write_free(file, {"lost"});
        close_out(file);
        testing::end_run();
    });
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.output, "*** write error on file: /dev/full\n");
}

// A file that fails while another stop unwinds the run adds its line before
// the stop's own, which stays the last: it names the first failure. The
// other files still get everything written to them.
TEST(Stop, AWriteErrorDuringAStopComesBeforeItsLine) {
    if (::access("/dev/full", W_OK) != 0) GTEST_SKIP() << "no /dev/full";
    const std::string path = temp_path("-late");
    auto r = run_in_child([&] {
        OutStream kept;
        OutStream full;
        if (!open_out(kept, path) || !open_out(full, "/dev/full")) std::_Exit(3);
        write_free(kept, {"kept"});
        write_free(full, {"lost"});
        stop_run("*** first");
    });
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.output, "*** write error on file: /dev/full\n*** first\n");
    EXPECT_EQ(file_text(path), " kept\n");
    std::remove(path.c_str());
}

// A file stream writes whole blocks whatever pieces it is given, so the
// moment a failing write is met depends only on the bytes before it.
TEST(Stop, BlocksDoNotDependOnHowBytesArrive) {
    const std::string a = temp_path("-pieces"), b = temp_path("-whole");
    std::string bytes;
    for (int i = 0; bytes.size() < 3 * kOutBlock; ++i) bytes += std::to_string(i * 7919) + (i % 13 ? " " : "\n");
    {
        OutStream pieces, whole;
        ASSERT_TRUE(open_out(pieces, a) && open_out(whole, b));
        for (std::size_t k = 0; k < bytes.size(); k += 37) put(pieces, std::string_view(bytes).substr(k, 37));
        put_bytes(whole, bytes.data(), kOutBlock + 5);
        put_bytes(whole, bytes.data() + kOutBlock + 5, bytes.size() - kOutBlock - 5);
        // The same blocks written, the same bytes pending (a full block waits
        // for the next byte before it is written).
        EXPECT_EQ((pieces.used - whole.used) % kOutBlock, 0u);
    }
    EXPECT_EQ(file_text(a), bytes);
    EXPECT_EQ(file_text(b), bytes);
    std::remove(a.c_str());
    std::remove(b.c_str());
}

TEST(Stop, ReadErrorNamesTheStreamAndLine) {
    auto r = run_in_child([] {
        TextReader in;
        read_from_memory(in, "a\nb\nc\n", "standard input");
        skip_line(in);
        skip_line(in);
        read_error(in, "invalid number: \"c\"");
    });
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.output, "*** read error in standard input, line 3: invalid number: \"c\"\n");
}

TEST(Stop, OpenFailures) {
    OutStream out;
    EXPECT_FALSE(open_out(out, "/nonexistent-folder/x"));
    TextReader in;
    EXPECT_FALSE(open_in(in, "/nonexistent-folder/x"));
    // A folder opens at the system level but is no input file.
    EXPECT_FALSE(open_in(in, "/tmp"));
    // Nor is a name with a NUL byte: it would open the file named by its start.
    const std::string path = temp_path("-nul");
    std::ofstream(path) << "1\n";
    EXPECT_FALSE(open_in(in, path + std::string(1, '\0') + "x"));
    EXPECT_TRUE(open_in(in, path));
    close_in(in);
    std::remove(path.c_str());
    // Devices and pipes are read as streams.
    EXPECT_TRUE(open_in(in, "/dev/null"));
}

bool is_open(int fd) { return ::fcntl(fd, F_GETFD) != -1; }

// A stop is an exception: a harness that runs the system many times in one
// process catches it, and unwinding has closed the files the run had open
// and flushed its outputs.
TEST(Stop, AStopUnwindsToItsCatcher) {
    const std::string out_path = temp_path("-unwind-out");
    const std::string in_path = temp_path("-unwind-in");
    std::ofstream(in_path) << "1 2\nx\n";
    int reader_fd = -1;
    try {
        OutStream file;
        ASSERT_TRUE(open_out(file, out_path));
        TextReader in;
        ASSERT_TRUE(open_in(in, in_path));
        reader_fd = in.fd;
        write_free(file, {"before the stop"});
        double a, b, c;
        read_free(in, {item(a), item(b), item(c)});
        FAIL() << "no stop";
    } catch (const RunStopped& stop) {
        EXPECT_TRUE(stop.has_line);
        EXPECT_EQ(stop.line, "*** read error in " + in_path + ", line 2: invalid number: \"x\"");
    }
    EXPECT_FALSE(is_open(reader_fd));
    EXPECT_EQ(file_text(out_path), " before the stop\n");
    std::remove(out_path.c_str());
    std::remove(in_path.c_str());
}

}  // namespace
}  // namespace morva::text
