#include "inputs/output_guard.hpp"

#include <sys/stat.h>

#include "inputs/file_guard.hpp"

namespace morva::inputs {
namespace {

// What an existing output is when it is no regular file (links followed):
// the finished file is renamed into place, which would replace a device or a
// pipe instead of writing into it.
std::string not_a_regular_file(const std::string& output) {
    struct stat st{};
    if (::stat(output.c_str(), &st) != 0 || S_ISREG(st.st_mode)) return {};
    if (S_ISDIR(st.st_mode)) return output + " is a folder";
    const char* kind = S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode) ? "a device"
                       : S_ISFIFO(st.st_mode)                     ? "a pipe"
                       : S_ISSOCK(st.st_mode)                     ? "a socket"
                                                                  : "neither a file nor a folder";
    return output + " is not a regular file (" + kind + ")";
}

std::string resolved(const std::string& name, const std::string& base_folder) {
    if (base_folder.empty() || name.empty() || name[0] == '/') return name;
    return base_folder + (base_folder.back() == '/' ? "" : "/") + name;
}

}  // namespace

std::vector<RunFile> run_control_roles(const RunControl& rc, const std::string& run_control_file,
                                       const std::string& base_folder) {
    std::vector<RunFile> files;
    auto add = [&](const std::string& name, const std::string& role) {
        files.push_back({resolved(trimmed(name), base_folder), role});
    };
    add(rc.scanfile, "the run control's scanner file");
    add(rc.gpsfile, "the run control's trajectory");
    if (!is_none(rc.geoidfile)) add(rc.geoidfile, "the run control's geoid grid");
    if (!is_none(rc.scanptfile)) add(rc.scanptfile, "the run control's scan-point file");
    add(rc.centfile, "the run control's centre-point file");
    add("test.out", "the run's diagnostic file");
    add("test_pcorr.out", "the run's diagnostic file");
    if (!run_control_file.empty()) files.push_back({run_control_file, "the run control"});
    return files;
}

std::vector<std::string> run_control_files(const RunControl& rc, const std::string& run_control_file,
                                           const std::string& base_folder) {
    std::vector<std::string> names;
    for (const RunFile& f : run_control_roles(rc, run_control_file, base_folder)) names.push_back(f.name);
    return names;
}

std::string output_refusal(const std::string& output, const std::vector<RunFile>& files) {
    if (output.empty()) return "an empty name is no file";
    if (std::string problem = not_a_regular_file(output); !problem.empty()) return problem;
    for (const RunFile& f : files) {
        if (same_file(output, f.name)) {
            return output + " is the same file as " + (f.role.empty() ? "" : f.role + " ") + f.name;
        }
    }
    return {};
}

std::string output_refusal(const std::string& output, const std::vector<std::string>& inputs) {
    std::vector<RunFile> files;
    for (const std::string& name : inputs) files.push_back({name, {}});
    return output_refusal(output, files);
}

}  // namespace morva::inputs
