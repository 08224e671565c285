// The bad-input table (README.md beside this file) is the one place that
// lists every stop of a run. These checks keep it true: each row's last line
// is the one its case expects, every case that stops is listed, and every
// stop message written in the sources appears in some row.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

const fs::path kHere = fs::path(__FILE__).parent_path();
const fs::path kCases = kHere.parent_path();                 // tests/cases
const fs::path kTop = kCases.parent_path().parent_path();    // the checkout

std::string read_file(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

struct Row {
    std::string condition, last_line, where, earlier;
};

// Rows of the table: "| condition | `last line` | where |"; section rows
// (no last line) are skipped.
std::vector<Row> table_rows() {
    std::vector<Row> rows;
    std::istringstream in(read_file(kHere / "README.md"));
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("| ", 0) != 0) continue;
        const std::size_t open = line.find('`', line.find(" | ") + 1);
        const std::size_t close = line.rfind('`');
        if (open == std::string::npos || close <= open) continue;
        Row row;
        row.condition = line.substr(2, line.find(" | ") - 2);
        row.last_line = line.substr(open + 1, close - open - 1);
        // "| where | earlier outputs |" after the last line.
        const std::size_t bar = line.find(" | ", close);
        const std::size_t next = line.find(" | ", bar + 3);
        row.where = line.substr(bar + 3, next - bar - 3);
        row.earlier = line.substr(next + 3, line.rfind(" |") - next - 3);
        rows.push_back(row);
    }
    return rows;
}

struct CaseStop {
    bool stops = false;     // expects exit status 1
    std::string last_line;  // from its last-line or stdout section
};

CaseStop read_case(const fs::path& path) {
    CaseStop c;
    std::istringstream in(read_file(path));
    std::string line, section;
    while (std::getline(in, line)) {
        if (line.rfind("== include ", 0) == 0) continue;  // a shared block, never the last line of a stop
        if (line.rfind("== ", 0) == 0) {
            section = line.substr(3, line.find(' ', 3) - 3);
            if (line == "== exit 1") c.stops = true;
            continue;
        }
        if (section == "stdout" || section == "last-line") c.last_line = line;
    }
    return c;
}

TEST(StopTable, EveryRowMatchesItsCase) {
    const std::vector<Row> rows = table_rows();
    ASSERT_GT(rows.size(), 50u);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.condition);
        if (row.where.ends_with(".case")) {
            ASSERT_TRUE(fs::exists(kCases / row.where)) << row.where;
            const CaseStop c = read_case(kCases / row.where);
            EXPECT_TRUE(c.stops) << row.where << " does not expect exit status 1";
            EXPECT_EQ(c.last_line, row.last_line) << row.where;
            EXPECT_TRUE(row.earlier == "kept" || row.earlier == "written so far") << row.where << ": " << row.earlier;
        } else {
            // A stop the program cannot reach end to end: its unit test.
            ASSERT_TRUE(fs::exists(kTop / row.where)) << row.where;
            const std::string test = read_file(kTop / row.where);
            EXPECT_NE(test.find(row.last_line), std::string::npos) << row.where << " does not test " << row.last_line;
        }
    }
}

TEST(StopTable, EveryStoppingCaseIsListed) {
    std::set<std::string> listed_cases, listed_lines;
    for (const Row& row : table_rows()) {
        listed_cases.insert(row.where);
        listed_lines.insert(row.last_line);
    }
    for (const auto& entry : fs::recursive_directory_iterator(kCases)) {
        if (entry.path().extension() != ".case") continue;
        const CaseStop c = read_case(entry.path());
        if (!c.stops) continue;
        const std::string name = fs::relative(entry.path(), kCases).string();
        // A case that stops for the same reason as a listed one (most often
        // an empty scanner file after the part it tests) needs no row.
        EXPECT_TRUE(listed_cases.count(name) || listed_lines.count(c.last_line))
            << name << " stops with a line the table does not list: " << c.last_line;
    }
}

// The first string literal of each call to `call` in `source`.
std::vector<std::string> first_literals(const std::string& source, const std::string& call) {
    std::vector<std::string> out;
    for (std::size_t at = source.find(call); at != std::string::npos; at = source.find(call, at + 1)) {
        const std::size_t end = source.find(';', at);
        const std::size_t open = source.find('"', at);
        if (open == std::string::npos || open > end) continue;  // no literal: a message built elsewhere
        out.push_back(source.substr(open + 1, source.find('"', open + 1) - open - 1));
    }
    return out;
}

TEST(StopTable, EveryStopMessageOfTheSourcesIsListed) {
    std::vector<std::string> last_lines;
    for (const Row& row : table_rows()) last_lines.push_back(row.last_line);
    auto listed = [&](const std::string& text, bool prefix) {
        for (const std::string& line : last_lines) {
            if (prefix ? line.rfind(text, 0) == 0 : line.find(text) != std::string::npos) return true;
        }
        return false;
    };
    // A stop_run message begins some last line; the text of a read error
    // (read_error, and the kinds of malformed value) appears in one.
    int found = 0;
    for (const auto& entry : fs::recursive_directory_iterator(kTop / "src")) {
        if (entry.path().extension() != ".cpp") continue;
        const std::string source = read_file(entry.path());
        const std::string name = entry.path().filename().string();
        for (const std::string& text : first_literals(source, "stop_run(")) {
            ++found;
            EXPECT_TRUE(listed(text, true)) << name << ": no row ends a run with \"" << text << "\"";
        }
        for (const std::string& text : first_literals(source, "read_error(")) {
            ++found;
            EXPECT_TRUE(listed(text, false)) << name << ": no row shows the read error \"" << text << "\"";
        }
        for (const std::string& kind : first_literals(source, "bad_value(cur, ")) {
            ++found;
            EXPECT_TRUE(listed("invalid " + kind, false)) << name << ": no row shows \"invalid " << kind << "\"";
        }
    }
    EXPECT_GT(found, 20);
}

}  // namespace
