#pragma once
// Buffered output streams. Every output of a run (console, scan points, centre
// points, diagnostics) goes through one of these: large blocks, one system
// call per block, and a registry so that a stop flushes whatever is pending.

#include <cstddef>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

namespace morva::text {

struct OutStream {
    int fd = -1;
    std::string name;                // as shown in messages
    std::string temp_path;           // while staged: the temporary being written
    std::string final_path;          // while staged: the name it takes at commit
    std::unique_ptr<char[]> buffer;
    std::size_t used = 0;
    std::size_t capacity = 0;
};

// One write(2) per 256 KiB. Larger writes save no time: into fresh page-cache
// memory, writes of 1 MiB and more took the kernel about twice as long per
// byte as writes of 64 to 256 KiB on the development machine.
inline constexpr std::size_t kOutBlock = 1 << 18;

// Creates (or truncates) the file; false when it cannot be opened.
bool open_out(OutStream& out, const std::string& path);
// Like open_out, but an output that is a regular file (or does not exist
// yet) is written under a temporary name beside it until
// commit_staged_outputs(); a stop before that removes the temporary and
// leaves any earlier file of that name untouched. The opening fails exactly
// where open_out would fail (a target that exists but cannot be written
// included); a device, a pipe, or a folder where no temporary can be made is
// opened directly, as by open_out.
bool open_out_staged(OutStream& out, const std::string& path);
// Gives every staged output its final name, in the order opened; false (and
// every temporary removed) when one cannot be renamed, with its name.
bool commit_staged_outputs(std::string& failed_name);
// Removes the temporaries of every output still staged (the stop routine).
void discard_staged_outputs();
// Attaches to an already open descriptor (standard output).
void attach_out(OutStream& out, int fd, std::string name);
// Writes the pending block; a failed write stops the run with a message.
void flush(OutStream& out);
void close_out(OutStream& out);
// Flushes every stream still open; the stop routine and the normal end call it.
void flush_all();

// Makes room for at least n more bytes and returns where they go.
inline char* reserve(OutStream& out, std::size_t n) {
    if (out.capacity - out.used < n) {
        flush(out);
        if (out.capacity < n) {
            out.buffer.reset(new char[n]);
            out.capacity = n;
        }
    }
    return out.buffer.get() + out.used;
}

inline void commit(OutStream& out, std::size_t n) { out.used += n; }

inline void put(OutStream& out, std::string_view s) {
    std::memcpy(reserve(out, s.size()), s.data(), s.size());
    out.used += s.size();
}

inline void put(OutStream& out, char c) {
    *reserve(out, 1) = c;
    out.used += 1;
}

// The console report (standard output).
OutStream& console();

}  // namespace morva::text
