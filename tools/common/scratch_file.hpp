#pragma once
// A program's intermediate data on disk: a temporary file beside an output,
// removed from its folder as soon as it is made, so that it lives only while
// the program holds it open and nothing is left behind however the program
// ends (a stop, a signal, even kill -9). A failed read or write stops with
// one line naming the output and the system's reason.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace morva::common {

class ScratchFile {
public:
    // A new empty file in the folder of `output`.
    explicit ScratchFile(const std::string& output);
    ScratchFile(const ScratchFile&) = delete;
    ScratchFile& operator=(const ScratchFile&) = delete;
    ~ScratchFile();

    // Appends through a buffer of a few MiB; flush() before reading back.
    void append(const void* data, std::size_t bytes);
    void flush();
    std::uint64_t size() const { return size_; }

    void write_at(const void* data, std::size_t bytes, std::uint64_t offset);
    // Safe from several threads at once.
    void read_at(void* data, std::size_t bytes, std::uint64_t offset) const;

    // The whole file, `bytes` long and zeroed, mapped for reading and writing
    // (the kernel pages it out as it needs: the file, not the memory, holds it).
    std::span<std::uint8_t> map(std::uint64_t bytes);

private:
    [[noreturn]] void fail(const char* doing) const;
    std::string output_;
    int fd_ = -1;
    std::uint64_t size_ = 0;
    std::vector<std::uint8_t> buffer_;
    std::span<std::uint8_t> mapped_;
};

}  // namespace morva::common
