#include "scanner_script.hpp"

namespace morva::sim {

std::string build_scanner_file(std::string_view, std::string& error) {
    error = "scanner scripts are not implemented yet";
    return {};
}

}  // namespace morva::sim
