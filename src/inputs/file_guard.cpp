#include "inputs/file_guard.hpp"

#include <filesystem>
#include <sys/stat.h>
#include <vector>

#include "text/stop.hpp"

namespace morva::inputs {
namespace {

struct FileId {
    bool exists = false;
    dev_t device = 0;
    ino_t inode = 0;
    std::filesystem::path resolved;  // absolute, links and dots resolved where they exist
};

FileId identify(const std::string& name) {
    FileId id;
    struct stat st{};
    id.exists = ::stat(name.c_str(), &st) == 0;
    id.device = st.st_dev;
    id.inode = st.st_ino;
    std::error_code ec;
    id.resolved = std::filesystem::weakly_canonical(std::filesystem::absolute(name, ec), ec);
    if (ec) id.resolved = name;
    return id;
}

bool same_existing(const FileId& a, const FileId& b) {
    return a.exists && b.exists && a.device == b.device && a.inode == b.inode;
}

// The run control, when standard input is a file: it has been read whole by
// now, but an output over it would still destroy it.
FileId standard_input() {
    FileId id;
    struct stat st{};
    id.exists = ::fstat(0, &st) == 0 && S_ISREG(st.st_mode);
    id.device = st.st_dev;
    id.inode = st.st_ino;
    return id;
}

}  // namespace

void check_output_names(const RunControl& rc, const std::string& run_control_file, const std::string& record_file) {
    std::vector<std::string> inputs = {trimmed(rc.scanfile), trimmed(rc.gpsfile)};
    if (rc.geoid_wanted) inputs.push_back(trimmed(rc.geoidfile));

    // In the order in which the outputs are opened.
    std::vector<std::string> outputs;
    if (rc.scanpt_wanted) outputs.push_back(trimmed(rc.scanptfile));
    outputs.push_back(trimmed(rc.centfile));
    outputs.push_back("test_pcorr.out");
    outputs.push_back("test.out");
    if (!record_file.empty()) outputs.push_back(record_file);

    // A NUL byte would cut the name short where the file is created.
    for (const auto& name : outputs) {
        if (name.find('\0') != std::string::npos) text::stop_run("*** cannot open file: " + name);
    }

    std::vector<FileId> input_ids, output_ids;
    for (const auto& name : inputs) input_ids.push_back(identify(name));
    input_ids.push_back(run_control_file.empty() ? standard_input() : identify(run_control_file));
    for (const auto& name : outputs) output_ids.push_back(identify(name));

    for (std::size_t o = 0; o < outputs.size(); ++o) {
        for (const auto& in : input_ids) {
            if (same_existing(output_ids[o], in)) {
                text::stop_run("*** output file would overwrite input file: " + outputs[o]);
            }
        }
    }
    for (std::size_t o = 1; o < outputs.size(); ++o) {
        for (std::size_t p = 0; p < o; ++p) {
            if (same_existing(output_ids[o], output_ids[p]) || output_ids[o].resolved == output_ids[p].resolved) {
                text::stop_run("*** two output files share one name: " + outputs[o]);
            }
        }
    }
}

bool same_file(const std::string& a, const std::string& b) {
    const FileId ia = identify(a), ib = identify(b);
    return same_existing(ia, ib) || ia.resolved == ib.resolved;
}

}  // namespace morva::inputs
