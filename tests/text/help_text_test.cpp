// The --help of a program from its parts: the usage line, the description,
// the exit statuses and the option table, framed the same way everywhere.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "text/command_line.hpp"

namespace morva::text {
namespace {

// Only what the help shows.
Option option(const char* name, const char* value_name, const char* help) {
    Option o;
    o.name = name;
    o.value_name = value_name;
    o.help = help;
    return o;
}

struct HelpCase {
    const char* what;
    HelpText help;
    std::vector<Option> options;
    std::size_t column, width;
    const char* expected;
};

TEST(HelpText, FramesTheParts) {
    const HelpCase cases[] = {
        {"a flag and a valued option, in the default column",
         {"tool [options] INPUT", "Does one thing.\n\nAnd says so.\n",
          "Exit status: 0 done; 1 not; 2 a usage error.\n"},
         {option("--quiet", "", "say less"), option("--threads", "N", "threads to use")},
         24, 0,
         "usage: tool [options] INPUT\n"
         "\n"
         "Does one thing.\n"
         "\n"
         "And says so.\n"
         "\n"
         "Exit status: 0 done; 1 not; 2 a usage error.\n"
         "\n"
         "Options:\n"
         "  --quiet               say less\n"
         "  --threads N           threads to use\n"
         "  -h, --help            print this help and exit\n"
         "  --version             print the version and exit\n"},
        {"help lines wrapped at the width, continued at the column",
         {"tool RUN_CONTROL...", "Estimates.\n", "Exit status:\n  0  estimated\n  2  a usage error\n"},
         {option("--json", "FILE", "also the estimate as JSON in FILE, written when it is complete")},
         16, 40,
         "usage: tool RUN_CONTROL...\n"
         "\n"
         "Estimates.\n"
         "\n"
         "Exit status:\n"
         "  0  estimated\n"
         "  2  a usage error\n"
         "\n"
         "Options:\n"
         "  --json FILE   also the estimate as\n"
         "                JSON in FILE, written\n"
         "                when it is complete\n"
         "  -h, --help    print this help and exit\n"
         "  --version     print the version and\n"
         "                exit\n"},
        {"a help line's own breaks continued at the column",
         {"tool", "Converts.\n", "Exit status: 0 done.\n"},
         {option("--crs", "CRS", "a projected CRS,\ne.g. EPSG:25832")},
         14, 0,
         "usage: tool\n"
         "\n"
         "Converts.\n"
         "\n"
         "Exit status: 0 done.\n"
         "\n"
         "Options:\n"
         "  --crs CRS   a projected CRS,\n"
         "              e.g. EPSG:25832\n"
         "  -h, --help  print this help and exit\n"
         "  --version   print the version and exit\n"},
    };
    for (const HelpCase& c : cases) {
        EXPECT_EQ(help_text(c.help, c.options, c.column, c.width), c.expected) << c.what;
    }
}

}  // namespace
}  // namespace morva::text
