#include "text/text_reader.hpp"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "text/stop.hpp"

namespace morva::text {
namespace {

constexpr std::size_t kInBlock = 1 << 20;

}  // namespace

TextReader::~TextReader() { close_in(*this); }

int open_input_file(const std::string& path) {
    if (path.find('\0') != std::string::npos) {
        errno = EINVAL;
        return -1;
    }
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return -1;
    // A directory opens, but reading it fails later with a less clear
    // message. Pipes and devices are read as streams like any file.
    struct stat st{};
    if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        const int error = S_ISDIR(st.st_mode) ? EISDIR : errno;
        ::close(fd);
        errno = error;
        return -1;
    }
    return fd;
}

bool open_in(TextReader& in, const std::string& path) {
    close_in(in);
    int fd = open_input_file(path);
    if (fd < 0) return false;
    attach_in(in, fd, path);
    return true;
}

void attach_in(TextReader& in, int fd, std::string name) {
    in.fd = fd;
    in.name = std::move(name);
    in.buffer.reset(new char[kInBlock]);
    in.capacity = kInBlock;
    in.begin = in.end = 0;
    in.drained = false;
    in.line = 1;
}

void close_in(TextReader& in) {
    if (in.fd > 2) ::close(in.fd);
    in.fd = -1;
    in.buffer.reset();
    in.capacity = in.begin = in.end = 0;
}

void read_error(const TextReader& in, std::string_view what) {
    std::string message = "*** read error in " + in.name + ", line " + std::to_string(in.line) + ": ";
    message.append(what);
    stop_run(message);
}

bool fill_more(TextReader& in) {
    if (in.drained) return false;
    if (in.begin > 0) {
        std::memmove(in.buffer.get(), in.buffer.get() + in.begin, in.end - in.begin);
        in.end -= in.begin;
        in.begin = 0;
    }
    while (in.end < in.capacity) {
        ssize_t n = ::read(in.fd, in.buffer.get() + in.end, in.capacity - in.end);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) read_error(in, std::strerror(errno));
        if (n == 0) in.drained = true;
        in.end += static_cast<std::size_t>(n);
        // A partial block is enough; standard input arrives a line at a time.
        break;
    }
    return in.end > in.begin;
}

void skip_line(TextReader& in) {
    for (;;) {
        if (in.begin == in.end && !fill_more(in)) return;
        const char* start = in.buffer.get() + in.begin;
        const void* nl = std::memchr(start, '\n', in.end - in.begin);
        if (nl != nullptr) {
            in.begin += static_cast<std::size_t>(static_cast<const char*>(nl) - start) + 1;
            ++in.line;
            return;
        }
        in.begin = in.end;
    }
}

bool read_line_field(TextReader& in, char* field, std::size_t length) {
    if (peek(in) < 0) return false;
    std::size_t got = 0;
    bool pending_cr = false;  // a carriage return held back until we know what follows
    for (;;) {
        int c = peek(in);
        if (c < 0) break;
        ++in.begin;
        if (c == '\n') {
            ++in.line;
            break;
        }
        if (pending_cr && got < length) field[got++] = '\r';
        pending_cr = c == '\r';
        if (!pending_cr && got < length) field[got++] = static_cast<char>(c);
    }
    std::memset(field + got, ' ', length - got);
    return true;
}

std::string quote_excerpt(std::string_view text) {
    std::string out = "\"";
    std::size_t n = text.size() < 40 ? text.size() : 40;
    for (std::size_t i = 0; i < n; ++i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        out += (c >= 32 && c < 127) ? static_cast<char>(c) : '?';
    }
    if (text.size() > n) out += "...";
    out += '"';
    return out;
}

}  // namespace morva::text
