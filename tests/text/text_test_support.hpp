#pragma once
// Helpers for the text-layer tests: an output stream held in memory, a
// reader over a given text (whole, or through a tiny buffer so that every
// value crosses a refill), and a forked child whose console report and exit
// status are captured, ended as the program ends.

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "text/out_stream.hpp"
#include "text/stop.hpp"
#include "text/text_reader.hpp"

namespace morva::text::testing {

// Held in memory, never written anywhere.
struct MemoryOut {
    OutStream out;
    MemoryOut() {
        out.buffer.reset(new char[1 << 16]);
        out.capacity = 1 << 16;
    }
    std::string text() const { return std::string(out.buffer.get(), out.used); }
};

// A reader over `text` held whole in its buffer.
inline void read_from_memory(TextReader& in, std::string_view text, std::string name = "test input") {
    in.fd = -1;
    in.name = std::move(name);
    in.buffer.reset(new char[text.size() + 1]);
    in.capacity = text.size() + 1;
    text.copy(in.buffer.get(), text.size());
    in.begin = 0;
    in.end = text.size();
    in.drained = true;
    in.line = 1;
}

// A reader over `text` through an unlinked temporary file and a buffer of
// `capacity` bytes, so that reads refill in the middle of values and lines.
inline void read_through_file(TextReader& in, std::string_view text, std::size_t capacity,
                              std::string name = "test input") {
    char path[] = "/tmp/morva-text-XXXXXX";
    int fd = ::mkstemp(path);
    if (fd < 0) std::abort();
    ::unlink(path);
    if (::write(fd, text.data(), text.size()) != static_cast<ssize_t>(text.size())) std::abort();
    ::lseek(fd, 0, SEEK_SET);
    in.fd = fd;
    in.name = std::move(name);
    in.buffer.reset(new char[capacity]);
    in.capacity = capacity;
    in.begin = in.end = 0;
    in.drained = false;
    in.line = 1;
}

// The whole content of a file ("" when it cannot be read).
inline std::string file_bytes(const std::string& path) {
    std::string bytes;
    if (std::FILE* f = std::fopen(path.c_str(), "rb")) {
        char chunk[1 << 16];
        for (std::size_t n; (n = std::fread(chunk, 1, sizeof chunk, f)) > 0;) bytes.append(chunk, n);
        std::fclose(f);
    }
    return bytes;
}

struct ChildResult {
    int status = -1;     // exit status, or 128 + signal
    std::string output;  // everything written to standard output
};

// Ends the child with status 0 (after flushing the console), as the
// program's normal end would.
struct ChildEnd {};
[[noreturn]] inline void end_run() { throw ChildEnd{}; }

// Runs `body` in a forked child with standard output captured, ended as the
// program's entry point ends a run: a stop prints its line and exits 1,
// end_run() exits 0; returning from the body exits 99. The body's streams
// flush and close themselves as the stop unwinds. The child starts with an
// empty console buffer.
inline ChildResult run_in_child(const std::function<void()>& body) {
    std::fflush(nullptr);
    int pipe_fds[2];
    if (::pipe(pipe_fds) != 0) std::abort();
    pid_t pid = ::fork();
    if (pid == 0) {
        ::close(pipe_fds[0]);
        ::dup2(pipe_fds[1], 1);
        ::close(pipe_fds[1]);
        console().used = 0;
        int status = 99;
        try {
            body();
        } catch (const RunStopped& stop) {
            status = report_stop(stop);
        } catch (const ChildEnd&) {
            status = 0;
            try {
                flush(console());
            } catch (const RunStopped&) {
                status = 1;
            }
        }
        std::_Exit(status);
    }
    ::close(pipe_fds[1]);
    ChildResult result;
    char chunk[4096];
    for (;;) {
        ssize_t n = ::read(pipe_fds[0], chunk, sizeof chunk);
        if (n <= 0) break;
        result.output.append(chunk, static_cast<std::size_t>(n));
    }
    ::close(pipe_fds[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return result;
}

}  // namespace morva::text::testing
