#include "staged_text.hpp"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "text/stop.hpp"

namespace morva::boresight {

std::string stage_text(common::StagedFiles& staged, const std::string& output, const std::string& text) {
    const std::string temp = staged.add(output);
    std::FILE* f = std::fopen(temp.c_str(), "wb");
    bool ok = f != nullptr && std::fwrite(text.data(), 1, text.size(), f) == text.size();
    int error = errno;
    if (f != nullptr && std::fclose(f) != 0 && ok) {
        ok = false;
        error = errno;
    }
    if (!ok) text::stop_run(output + ": cannot be written: " + std::strerror(error));
    return temp;
}

}  // namespace morva::boresight
