#include <string>
#include <string_view>

#include "georef/geodesy.hpp"
#include "run/main_sequence.hpp"
#include "text/command_line.hpp"

namespace {

constexpr std::string_view kUsage = "morva [--geodesy flat|ellipsoid] < RUN_CONTROL";

}  // namespace

int main(int argc, char** argv) {
    morva::run::RunOptions options;
    for (int k = 1; k < argc; ++k) {
        const std::string_view arg = argv[k];
        if (arg == "--geodesy" && k + 1 < argc) {
            const auto mode = morva::georef::parse_geodesy(argv[++k]);
            if (!mode) morva::text::usage_error("morva", "--geodesy takes flat or ellipsoid", kUsage);
            options.geodesy = *mode;
        } else {
            morva::text::usage_error("morva", "unexpected argument " + std::string(arg), kUsage);
        }
    }
    morva::run::run_survey(options);
}
