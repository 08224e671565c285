#include "campaign_records.hpp"

#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace morva::common {

std::vector<inputs::RunFile> campaign_records(const std::string& folder) {
    const fs::path here(folder);  // empty: names as they are, in the current folder
    std::vector<inputs::RunFile> files;
    for (const char* name : {"morva.done.json", "morva.log", "morva.err", "morva.metadata.json", "exports.log",
                             "morva.lock"}) {
        files.push_back({(here / name).string(), "the campaign's record"});
    }
    std::error_code ec;
    for (fs::path up = fs::absolute(folder.empty() ? fs::path(".") : here, ec).lexically_normal();;
         up = up.parent_path()) {
        files.push_back({(up / "campaign.toml").string(), "the campaign's settings"});
        if (up == up.parent_path()) break;
    }
    return files;
}

std::vector<inputs::RunFile> run_files(const inputs::RunControl& rc, const std::string& run_control,
                                       const std::string& folder) {
    std::vector<inputs::RunFile> files = inputs::run_control_roles(rc, run_control, folder);
    for (inputs::RunFile& f : campaign_records(folder)) files.push_back(std::move(f));
    return files;
}

}  // namespace morva::common
