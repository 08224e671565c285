#pragma once
// Every companion program checks its outputs here before it writes one: an
// output never replaces the run control, a file the run control names, or a
// folder or device. One guard for all of them, so that they refuse alike.

#include <string>
#include <vector>

#include "inputs/run_control.hpp"

namespace morva::inputs {

// Empty when `output` may be written; otherwise the problem, e.g.
// "OUT is the same file as the run control's trajectory TRAJ" or "OUT is a folder".
std::string output_refusal(const std::string& output, const std::vector<std::string>& inputs);

// The files a run control names that exist as inputs or outputs of the run
// (scanner, trajectory, geoid unless 0, scan points unless 0, centre points,
// test.out, test_pcorr.out), each resolved against `base_folder` when relative
// (empty: the current folder), plus the run control itself.
std::vector<std::string> run_control_files(const RunControl& rc, const std::string& run_control_file,
                                           const std::string& base_folder = {});

// A file of the run with what it is to the run, e.g. "the run control's trajectory".
struct RunFile {
    std::string name;
    std::string role;
};

// The files of run_control_files, in its order, each with its role.
std::vector<RunFile> run_control_roles(const RunControl& rc, const std::string& run_control_file,
                                       const std::string& base_folder = {});

// As above, naming the role of the file that `output` would replace.
std::string output_refusal(const std::string& output, const std::vector<RunFile>& files);

}  // namespace morva::inputs
