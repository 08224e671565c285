#include "unreadable.hpp"

#include <sys/stat.h>

namespace morva::common {

std::string unreadable_reason(const std::string& path) {
    struct stat st{};
    if (::stat(path.c_str(), &st) != 0) return "does not exist or cannot be reached";
    if (S_ISDIR(st.st_mode)) return "is a folder";
    return "cannot be read";
}

std::string unreadable(const std::string& path) { return path + " " + unreadable_reason(path); }

}  // namespace morva::common
