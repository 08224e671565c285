#include "scratch_file.hpp"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include "text/staging.hpp"
#include "text/stop.hpp"

namespace morva::common {
namespace {

constexpr std::size_t kBuffer = std::size_t{4} << 20;

}  // namespace

ScratchFile::ScratchFile(const std::string& output) : output_(output) {
    std::string path;
    const int made = text::create_temporary(output, path);
    if (made < 0) fail("cannot create a temporary file beside it");
    // Made for writing only: opened again to be read back too. Registered
    // for removal on a signal until it is gone from the folder.
    fd_ = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    const int error = errno;
    ::close(made);
    ::unlink(path.c_str());
    text::forget_temporary(path);
    errno = error;
    if (fd_ < 0) fail("cannot open its temporary file");
}

ScratchFile::~ScratchFile() {
    if (!mapped_.empty()) ::munmap(mapped_.data(), mapped_.size());
    if (fd_ >= 0) ::close(fd_);
}

void ScratchFile::fail(const char* doing) const {
    text::stop_run(output_ + ": " + doing + ": " + std::strerror(errno));
}

void ScratchFile::append(const void* data, std::size_t bytes) {
    const auto* p = static_cast<const std::uint8_t*>(data);
    if (buffer_.capacity() == 0) buffer_.reserve(kBuffer);  // only files appended to take a buffer
    if (buffer_.size() + bytes > kBuffer) flush();
    if (bytes >= kBuffer) {
        write_at(p, bytes, size_);
    } else {
        buffer_.insert(buffer_.end(), p, p + bytes);
    }
    size_ += bytes;
}

void ScratchFile::flush() {
    if (buffer_.empty()) return;
    write_at(buffer_.data(), buffer_.size(), size_ - buffer_.size());
    buffer_.clear();
}

void ScratchFile::write_at(const void* data, std::size_t bytes, std::uint64_t offset) {
    const auto* p = static_cast<const std::uint8_t*>(data);
    while (bytes > 0) {
        const ssize_t n = ::pwrite(fd_, p, bytes, off_t(offset));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) fail("cannot write its temporary file");
        p += n;
        bytes -= std::size_t(n);
        offset += std::uint64_t(n);
    }
}

void ScratchFile::read_at(void* data, std::size_t bytes, std::uint64_t offset) const {
    auto* p = static_cast<std::uint8_t*>(data);
    while (bytes > 0) {
        const ssize_t n = ::pread(fd_, p, bytes, off_t(offset));
        if (n < 0 && errno == EINTR) continue;
        if (n == 0) errno = EIO;
        if (n <= 0) fail("cannot read back its temporary file");
        p += n;
        bytes -= std::size_t(n);
        offset += std::uint64_t(n);
    }
}

std::span<std::uint8_t> ScratchFile::map(std::uint64_t bytes) {
    if (bytes == 0) return {};
    // posix_fallocate reserves the blocks: a full disk stops here, not with a signal at a page written later.
    if (const int error = ::posix_fallocate(fd_, 0, off_t(bytes)); error != 0) {
        errno = error;
        fail("cannot make its temporary file");
    }
    void* at = ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_SHARED, fd_, 0);
    if (at == MAP_FAILED) fail("cannot map its temporary file");
    mapped_ = {static_cast<std::uint8_t*>(at), std::size_t(bytes)};
    size_ = bytes;
    return mapped_;
}

}  // namespace morva::common
