// The text of a case file: its sections with shared blocks expanded, and
// the rewriting of expected sections from a run (case_runner --write) that
// leaves everything else in the file as it stands.
#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace morva::cases {

struct Section {
    std::string kind, arg;
    std::string body;                   // the text, with every block expanded
    std::vector<std::string> includes;  // the blocks its text includes, in order
    int line = 0;
    // Where the header line and the body stand in the case file's text.
    std::size_t head_begin = 0, body_begin = 0, body_end = 0;
    bool rewritten = false;  // --write: body (or, for exit, arg) now holds the run's
};

struct CaseText {
    std::string text;  // the case file as read
    std::vector<Section> sections;
    std::vector<int> stray_lines;  // lines beginning "==" that open no section
};

// Named blocks, "NAME.block" in every folder "blocks" beside the case and
// above it (the nearest wins a name both hold).
std::map<std::string, std::string> read_blocks(const std::filesystem::path& case_path);

// Splits a case into sections. A line "== include NAME" inside a section
// continues that section with the text of block NAME. Throws on an include
// outside a section or of a block that does not exist.
CaseText parse_case(const std::string& text, const std::map<std::string, std::string>& blocks);

// The case file with every rewritten section's text (kept as includes where
// the new text still holds a block, at a line start and in the same order)
// and an "== exit N" section added at the end when `added_exit` is set.
// Throws when a new text cannot stand in a case (no line end at its end, or
// a line beginning "==").
std::string rewrite_case(const CaseText& c, const std::map<std::string, std::string>& blocks,
                         const std::string& added_exit);

// The case with every include replaced by its block's text.
std::string expand_case(const CaseText& c);

}  // namespace morva::cases
