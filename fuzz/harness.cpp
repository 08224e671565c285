#include "harness.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>


namespace morva::fuzz {
namespace {

[[noreturn]] void fail(const char* what) {
    std::perror(what);
    std::abort();
}

std::string working_folder;

void remove_working_folder() {
    std::error_code ec;
    std::filesystem::remove_all(working_folder, ec);
}

// The console report of every input would drown the fuzzer's own lines
// (those go to standard error); MORVA_FUZZ_CONSOLE keeps it, to look at what
// one input does.
void silence_console() {
    if (std::getenv("MORVA_FUZZ_CONSOLE") != nullptr) return;
    int null = ::open("/dev/null", O_WRONLY);
    if (null < 0 || ::dup2(null, 1) < 0) fail("/dev/null");
    ::close(null);
}

// Not made the current directory: the fuzzer reads its corpus folders and
// writes its findings relative to that.
void make_working_folder() {
    std::string base = std::filesystem::temp_directory_path().string() + "/morva-fuzz-XXXXXX";
    if (::mkdtemp(base.data()) == nullptr) fail("mkdtemp");
    working_folder = base;
    std::atexit(remove_working_folder);
}

}  // namespace

void prepare() {
    static bool prepared = false;
    if (prepared) return;
    prepared = true;
    silence_console();
    make_working_folder();
}

std::string write_input(const std::string& name, const std::uint8_t* data, std::size_t size) {
    const std::string path = working_folder + "/" + name;
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) fail(path.c_str());
    while (size > 0) {
        ssize_t n = ::write(fd, data, size);
        if (n <= 0) fail(path.c_str());
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    ::close(fd);
    return path;
}

std::string fixture(const std::string& name) { return std::string(MORVA_FUZZ_FIXTURES) + "/" + name; }

}  // namespace morva::fuzz
