#pragma once
// Why an input cannot be read, in words, for a companion's stop.

#include <string>

namespace morva::common {

// "NAME does not exist or cannot be reached", "NAME is a folder" or "NAME cannot be read".
std::string unreadable(const std::string& path);

// The same without the name: "does not exist or cannot be reached", ...
std::string unreadable_reason(const std::string& path);

}  // namespace morva::common
