#pragma once
// The companions' outputs: files that appear together, each only when all are
// complete. Made with the same temporaries as the core's own outputs
// (text/staging.hpp), so one signal handler removes them all.

#include <string>
#include <vector>

#include "inputs/output_guard.hpp"

namespace morva::common {

// Files that appear together, each only when all are complete: add() reserves
// each one's temporary (a stop names the output and the system's reason when
// none can be made), commit() gives them their names in the order added. A
// group that goes out of scope uncommitted (a stop, an exception) removes its
// temporaries, and so does a signal; an earlier file of the same name is never
// touched before the commit.
class StagedFiles {
public:
    StagedFiles() = default;
    StagedFiles(const StagedFiles&) = delete;
    StagedFiles& operator=(const StagedFiles&) = delete;
    ~StagedFiles();

    // The temporary's path, for whatever writes the file (it exists, empty).
    std::string add(const std::string& output);
    // Renames every temporary into place; stops with a line naming the output
    // that could not be put in place (the others are then removed).
    void commit();
    // Removes every temporary still staged.
    void discard() noexcept;

private:
    struct Entry {
        std::string output;
        std::string target;
        std::string temp;
    };
    std::vector<Entry> entries_;
};

// Stages bytes as the file `output` in the group; a write that fails stops
// with one line naming the output and the system's reason.
void write_staged(StagedFiles& staged, const std::string& output, const std::string& bytes);

// Stops with one line at an output inputs::output_refusal refuses (a folder,
// device or pipe, one of `files`) or one already `taken`; adds it to `taken`.
void check_output(const std::string& out, const std::vector<inputs::RunFile>& files, std::vector<std::string>& taken);

}  // namespace morva::common
