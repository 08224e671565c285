#pragma once
// Buffered output streams. Every output of a run (console, scan points, centre
// points, diagnostics) goes through one of these: large blocks, one system
// call per block. A stream opened on a file flushes and closes itself when it
// goes out of scope, also when a stop unwinds the run. A stream never opened
// on a file holds what is written in memory (the pipeline's batches).

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

namespace morva::text {

// One write(2) per 256 KiB. Larger writes save no time: into fresh page-cache
// memory, writes of 1 MiB and more took the kernel about twice as long per
// byte as writes of 64 to 256 KiB on the development machine.
inline constexpr std::size_t kOutBlock = 1 << 18;
// Room behind a full block for the record that crosses its end.
inline constexpr std::size_t kOutSlack = 1 << 16;

struct OutStream {
    OutStream() = default;
    OutStream(const OutStream&) = delete;
    OutStream& operator=(const OutStream&) = delete;
    ~OutStream();

    int fd = -1;                     // -1: held in memory
    std::string name;                // as shown in messages
    std::string temp_path;           // while staged: the temporary being written
    std::string final_path;          // while staged: the name it takes at commit
    std::unique_ptr<char[]> buffer;
    std::size_t used = 0;
    std::size_t capacity = 0;
    // A file stream writes exactly one block whenever a write finds a full
    // block pending: the file's blocks, and so the moment a failing write is
    // met, depend only on the bytes written, not on how they were cut into
    // records. A memory stream never writes.
    std::size_t flush_at = SIZE_MAX;
    bool failed = false;             // a write failed; later bytes are dropped
};

// Creates (or truncates) the file; false when it cannot be opened.
bool open_out(OutStream& out, const std::string& path);
// Like open_out, but an output that is a regular file (or does not exist
// yet) is written under a temporary name beside it until
// commit_staged_outputs(); a stop before that (the stream going out of scope
// while still staged) removes the temporary and leaves any earlier file of
// that name untouched. Temporaries of the same name left by a process that
// is gone (kill -9, a power loss) are removed first. The opening fails exactly where open_out would fail
// (a target that exists but cannot be written included); a device, a pipe,
// or a folder where no temporary can be made is opened directly, as by
// open_out.
bool open_out_staged(OutStream& out, const std::string& path);
// Gives every staged output its final name, in the order opened; false (and
// every temporary removed) when one cannot be renamed, with its name.
bool commit_staged_outputs(std::string& failed_name);
// Removes the temporaries of every output still staged.
void discard_staged_outputs();
// From here on (the scan loop began) a stop gives the staged outputs their
// final names with what they hold, instead of removing them; a signal that
// ends the process still removes them, leaving the earlier files.
void keep_staged_outputs_on_stop();
// What a stop does with outputs still staged: discards them, or after
// keep_staged_outputs_on_stop() commits them.
void settle_staged_outputs_on_stop();
// Attaches to an already open descriptor (standard output).
void attach_out(OutStream& out, int fd, std::string name);
// Writes everything pending; a failed write stops the run with a message.
void flush(OutStream& out);
// Flushes and closes; a failed write stops the run with a message.
void close_out(OutStream& out);
// Closes without throwing: a failed write is kept as a late stop line
// (see stop.hpp). Destructors and the unwinding of a stop use it. A stream
// still staged is discarded instead (the run stopped before its scan loop),
// or after keep_staged_outputs_on_stop() given its name.
void close_quietly(OutStream& out) noexcept;

// Writes the first full block of a file stream (called by reserve).
void flush_block(OutStream& out);
// Grows the buffer to hold n more bytes.
void make_room(OutStream& out, std::size_t n);

// Makes room for at least n more bytes and returns where they go.
inline char* reserve(OutStream& out, std::size_t n) {
    if (out.used >= out.flush_at && n > 0) flush_block(out);
    if (out.capacity - out.used < n) make_room(out, n);
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

// Appends bytes of any length; a file stream writes its blocks on the way
// exactly as record after record would.
void put_bytes(OutStream& out, const char* data, std::size_t n);

// Empties a memory stream, keeping its buffer.
inline void clear(OutStream& out) { out.used = 0; }

// The console report (standard output).
OutStream& console();

}  // namespace morva::text
