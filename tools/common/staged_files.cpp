#include "staged_files.hpp"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

#include "inputs/file_guard.hpp"
#include "text/staging.hpp"
#include "text/stop.hpp"

namespace morva::common {

using text::stop_run;

StagedFiles::~StagedFiles() { discard(); }

std::string StagedFiles::add(const std::string& output) {
    const std::string target = text::write_target(output);
    if (target.empty()) stop_run(output + ": cannot write through this link: it leads to no file");
    std::string temp;
    const int fd = text::create_temporary(target, temp);
    if (fd < 0) {
        const int error = errno;
        const std::size_t slash = target.rfind('/');
        const std::string folder = slash == std::string::npos ? "the current folder" : target.substr(0, slash + 1);
        stop_run(output + ": cannot create a file in " + folder + ": " + std::strerror(error));
    }
    struct stat st{};
    if (::stat(target.c_str(), &st) == 0 && S_ISREG(st.st_mode)) (void)::fchmod(fd, st.st_mode & 07777);
    ::close(fd);
    entries_.push_back({output, target, temp});
    return temp;
}

void StagedFiles::commit() {
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        const Entry& e = entries_[i];
        if (::rename(e.temp.c_str(), e.target.c_str()) != 0) {
            const int error = errno;
            const std::string output = e.output;
            entries_.erase(entries_.begin(), entries_.begin() + static_cast<std::ptrdiff_t>(i));
            discard();
            stop_run(output + ": cannot put the finished file in place: " + std::strerror(error));
        }
        text::forget_temporary(e.temp);
    }
    entries_.clear();
}

void StagedFiles::discard() noexcept {
    for (const Entry& e : entries_) {
        ::unlink(e.temp.c_str());
        text::forget_temporary(e.temp);
    }
    entries_.clear();
}

void write_staged(StagedFiles& staged, const std::string& output, const std::string& bytes) {
    const std::string temp = staged.add(output);
    std::FILE* out = std::fopen(temp.c_str(), "wb");
    const bool written = out != nullptr && std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
    const int error = errno;
    const bool closed = out != nullptr && std::fclose(out) == 0;
    if (!written || !closed) text::stop_run(output + ": cannot write: " + std::strerror(written ? errno : error));
}

void check_output(const std::string& out, const std::vector<inputs::RunFile>& files, std::vector<std::string>& taken) {
    if (std::string why = inputs::output_refusal(out, files); !why.empty()) stop_run(why);
    for (const std::string& other : taken)
        if (inputs::same_file(out, other))
            stop_run(out + " is named for two outputs (" + other + "); give each its own");
    taken.push_back(out);
}

}  // namespace morva::common
