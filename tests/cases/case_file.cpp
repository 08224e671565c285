#include "case_file.hpp"

#include <fstream>
#include <sstream>
#include <stdexcept>

namespace fs = std::filesystem;

namespace morva::cases {

namespace {

const std::string kInclude = "== include ";

std::string read_all(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// A body's text as it stands in the file: each block found in `text`, in
// the order of `includes`, becomes its include line again.
std::string with_includes(const std::string& text, const std::vector<std::string>& includes,
                          const std::map<std::string, std::string>& blocks) {
    std::string raw;
    std::size_t pos = 0;
    for (const std::string& name : includes) {
        const std::string& block = blocks.at(name);
        std::size_t at = text.find(block, pos);
        while (at != std::string::npos && at > 0 && text[at - 1] != '\n') at = text.find(block, at + 1);
        if (block.empty() || at == std::string::npos) continue;  // differs: written in full
        raw += text.substr(pos, at - pos) + kInclude + name + "\n";
        pos = at + block.size();
    }
    return raw + text.substr(pos);
}

void check_writable(const Section& s) {
    const std::string where = "line " + std::to_string(s.line) + ": cannot write == " + s.kind + ": ";
    if (!s.body.empty() && s.body.back() != '\n') throw std::runtime_error(where + "the run's text has no line end at its end");
    std::istringstream in(s.body);
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("==", 0) == 0) throw std::runtime_error(where + "the run's text has a line beginning \"==\"");
    }
}

}  // namespace

std::map<std::string, std::string> read_blocks(const fs::path& case_path) {
    std::map<std::string, std::string> blocks;
    for (fs::path dir = fs::absolute(case_path).parent_path();; dir = dir.parent_path()) {
        if (fs::is_directory(dir / "blocks")) {
            for (const auto& entry : fs::directory_iterator(dir / "blocks")) {
                if (entry.path().extension() == ".block") blocks.emplace(entry.path().stem(), read_all(entry.path()));
            }
        }
        if (dir == dir.parent_path()) return blocks;
    }
}

CaseText parse_case(const std::string& text, const std::map<std::string, std::string>& blocks) {
    CaseText c{text, {}, {}};
    std::size_t begin = 0;
    for (int number = 1; begin < text.size(); ++number) {
        std::size_t end = text.find('\n', begin);
        end = end == std::string::npos ? text.size() : end + 1;
        std::string line = text.substr(begin, end - begin);
        if (!line.empty() && line.back() == '\n') line.pop_back();
        if (line.rfind(kInclude, 0) == 0) {
            const std::string name = line.substr(kInclude.size());
            const auto block = blocks.find(name);
            if (c.sections.empty()) throw std::runtime_error("line " + std::to_string(number) + ": include outside a section");
            if (block == blocks.end()) throw std::runtime_error("line " + std::to_string(number) + ": no block named " + name);
            c.sections.back().body += block->second;
            c.sections.back().includes.push_back(name);
            c.sections.back().body_end = end;
        } else if (line.rfind("== ", 0) == 0) {
            Section s;
            s.line = number;
            const std::string head = line.substr(3);
            const std::size_t space = head.find(' ');
            s.kind = head.substr(0, space);
            if (space != std::string::npos) s.arg = head.substr(space + 1);
            s.head_begin = begin;
            s.body_begin = s.body_end = end;
            c.sections.push_back(s);
        } else if (line.rfind("==", 0) == 0) {
            c.stray_lines.push_back(number);
        } else if (!c.sections.empty()) {
            c.sections.back().body += line + "\n";
            c.sections.back().body_end = end;
        }
        begin = end;
    }
    return c;
}

std::string rewrite_case(const CaseText& c, const std::map<std::string, std::string>& blocks,
                         const std::string& added_exit) {
    std::string text = c.text;
    for (auto s = c.sections.rbegin(); s != c.sections.rend(); ++s) {
        if (!s->rewritten) continue;
        if (s->kind == "exit") {
            text.replace(s->head_begin, s->body_begin - s->head_begin, "== exit " + s->arg + "\n");
        } else {
            check_writable(*s);
            text.replace(s->body_begin, s->body_end - s->body_begin, with_includes(s->body, s->includes, blocks));
        }
    }
    if (!added_exit.empty()) {
        if (!text.empty() && text.back() != '\n') text += '\n';
        text += "== exit " + added_exit + "\n";
    }
    return text;
}

std::string expand_case(const CaseText& c) {
    std::string text = c.text;
    for (auto s = c.sections.rbegin(); s != c.sections.rend(); ++s) {
        if (!s->includes.empty()) text.replace(s->body_begin, s->body_end - s->body_begin, s->body);
    }
    return text;
}

}  // namespace morva::cases
