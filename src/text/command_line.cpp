#include "text/command_line.hpp"

#include <cstdio>
#include <cstdlib>

#include "build_info.hpp"

namespace morva::text {

std::string_view project_version() { return MORVA_VERSION; }

std::string_view build_commit() { return MORVA_COMMIT; }

std::string version_line(std::string_view program) {
    std::string line(program);
    line += ' ';
    line += MORVA_VERSION;
    const std::string_view commit = MORVA_COMMIT;
    if (!commit.empty()) {
        line += " (commit ";
        line += commit;
        line += ')';
    }
    return line;
}

[[noreturn]] void usage_error(std::string_view program, std::string_view message, std::string_view usage) {
    std::fprintf(stderr, "%.*s: %.*s; usage: %.*s (%.*s --help)\n", int(program.size()), program.data(),
                 int(message.size()), message.data(), int(usage.size()), usage.data(), int(program.size()),
                 program.data());
    std::exit(kUsageStatus);
}

[[noreturn]] void exit_with_text(std::string_view text) {
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
    std::exit(0);
}

}  // namespace morva::text
