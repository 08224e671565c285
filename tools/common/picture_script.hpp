#pragma once
// A companion's picture, drawn by a Python script (numpy, matplotlib) that
// reads its data on standard input and writes the PNG it is named.

#include <string>

namespace morva::common {

// The script installed beside the program (../share/morva/python/NAME from
// the program's folder), else the one in the source tree (source_path).
std::string picture_script_path(const std::string& program_path, const std::string& name,
                                const std::string& source_path);

// Runs python3 on the script with temp (the output's staged file) as its
// argument and data on its standard input; a script that fails stops with
// "OUTPUT: the picture could not be drawn: " and its last line.
void run_picture_script(const std::string& script, const std::string& data, const std::string& temp,
                        const std::string& output);

}  // namespace morva::common
