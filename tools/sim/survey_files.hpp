#pragma once
// The files of a simulated survey: scanner recording, trajectory, geoid
// grid, run control, and the survey description that --verify reads.

#include <cstdint>
#include <string>

#include "survey.hpp"

namespace morva::sim {

struct WriteSummary {
    std::int64_t scans = 0, measurements = 0, evaluations = 0;
    std::uint64_t scanner_bytes = 0;
    double seconds = 0;  // wall time of the scanner file
};

// Writes every file of the survey into `dir` (created when missing).
// Returns an error text, empty on success.
std::string write_survey(const Survey& s, const std::string& dir, WriteSummary& summary);

// Writes `text` to `path`; false when it cannot.
bool write_text(const std::string& path, const std::string& text);

// Reads the description in `dir` back into options.
std::string read_description(const std::string& dir, SimOptions& opt);

}  // namespace morva::sim
