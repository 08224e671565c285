#pragma once
// Buffered reading of text inputs (run control, trajectory, geoid grid):
// large blocks from the file, line counting for messages, and values taken
// straight from the buffer. Lines of any length are handled as a stream.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace morva::text {

struct TextReader {
    TextReader() = default;
    TextReader(const TextReader&) = delete;
    TextReader& operator=(const TextReader&) = delete;
    // Closes the file also when a stop unwinds the run (a fuzz harness).
    ~TextReader();

    int fd = -1;
    std::string name;  // as named in messages: the file name, or "standard input"
    std::unique_ptr<char[]> buffer;
    std::size_t begin = 0;  // next unread byte
    std::size_t end = 0;    // end of the bytes held
    std::size_t capacity = 0;
    bool drained = false;   // the file has no more bytes
    std::int64_t line = 1;  // line number at `begin`
};

// Opens an existing file for reading; -1 when it cannot be: missing,
// unreadable, a directory, or a name that holds a NUL byte (the system would
// open a shorter name than the one it reports).
int open_input_file(const std::string& path);

// False when the file cannot be opened (see open_input_file).
bool open_in(TextReader& in, const std::string& path);
void attach_in(TextReader& in, int fd, std::string name);
void close_in(TextReader& in);

// Ends the run: "*** read error in <name>, line <n>: <what>".
[[noreturn]] void read_error(const TextReader& in, std::string_view what);

// Reads more bytes behind those held, keeping [begin, end) and moving it to
// the front; false when the file has nothing more.
bool fill_more(TextReader& in);

inline int peek(TextReader& in) {
    if (in.begin == in.end && !fill_more(in)) return -1;
    return static_cast<unsigned char>(in.buffer[in.begin]);
}

// Discards the rest of the current line and its line end.
void skip_line(TextReader& in);

// Reads one line (without its line end; a carriage return right before the
// line end is dropped) into `field` of fixed length, padding with blanks and
// discarding the excess. False at end of input.
bool read_line_field(TextReader& in, char* field, std::size_t length);

// A printable excerpt of a bad value for messages.
std::string quote_excerpt(std::string_view text);

}  // namespace morva::text
