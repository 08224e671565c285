#include "unreadable.hpp"

#include <sys/stat.h>

namespace morva::common {

std::string unreadable(const std::string& path) {
    struct stat st{};
    if (::stat(path.c_str(), &st) != 0) return path + " does not exist or cannot be reached";
    if (S_ISDIR(st.st_mode)) return path + " is a folder";
    return path + " cannot be read";
}

}  // namespace morva::common
