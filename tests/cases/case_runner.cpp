// Runs one end-to-end case: writes the case's input files into a fresh
// folder, runs the real program there with the case's standard input, and
// compares the console report, the exit status and the named output files
// with the case's expectations. Input files must come out unchanged. Every
// case runs twice, on one thread and on four (--threads), in the same folder
// brought back to its state before the run: both runs must meet every
// expectation and make the same bytes (console, standard error, status,
// every file).
//
// A case file is a sequence of sections, each opened by a line "== kind arg":
//   == file NAME        a text input, the lines that follow
//   == hex NAME         a binary input as hexadecimal bytes (blanks, line
//                       ends and "#" comments ignored)
//   == scanner NAME     a scanner file from a scanner script (see
//                       tools/sim/scanner_script.hpp)
//   == gen NAME         an input built from lines of quoted strings, for
//                       inputs too large or too binary to write out: each
//                       line is "TEXT" or repeat COUNT "TEXT" (escapes \n
//                       \r \t \0 \\ \" \xHH; blank and "#" lines ignored)
//   == dir NAME         an empty folder (for a folder given as a file name)
//   == earlier NAME     an earlier run's output, the lines that follow: like
//                       file, it must come out of the run unchanged
//   == sim ARGS         runs morva-sim ARGS in the folder first
//   == stdin            the run control
//   == stdin-file NAME  the run control from a file of the folder
//   == args ARGS        arguments for the program (split at blanks)
//   == stdout           the whole console report
//   == last-line        only the last line of the console report
//   == stderr           the whole of standard error (unchecked without it)
//   == stdout-pattern   the console report matches this regular expression
//   == exists NAME      a file that must exist after the run
//   == plain-run NAME   runs the program again in a copy of the folder as it
//                       was before the run, without arguments, the run
//                       control on standard input from the file NAME (the
//                       case's stdin without NAME): its console report and
//                       every file must equal those of the case's run
//   == exit N           the exit status (default 0)
//   == expect NAME      the whole content of an output file
//   == expect-hex NAME  the whole content of a binary output file
//   == absent NAME      a file that must not exist after the run
//   == verify ARGS      after the run, runs morva-sim --verify ARGS in the
//                       folder (the console report is there as console.txt);
//                       the case fails unless it exits with status 0
// Lines before the first section are comments.
//
// No temporary output file (".NAME.morva-tmp-...") may remain after any run.
//
// case_runner --earlier-outputs CASE MORVA MORVA_SIM runs a case that stops
// before its scan loop with an earlier result planted under every output
// name of its run control that the case leaves free, and checks, besides the
// case's console report and status, that each comes out unchanged.
//
// A case that does not hold together is refused before anything runs: a
// section kind not listed above, a missing or unexpected argument, text
// under a section that takes none, a section that may appear once given
// twice, two inputs of one name, a line beginning "==" that is no section,
// no run control, or nothing to check.
//
// case_runner --must-fail CASE MORVA MORVA_SIM runs a deliberately broken
// case (tests/cases/broken): it passes only when the case fails with the
// message its first line names ("# fails with: TEXT").

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "case_file.hpp"
#include "scanner_script.hpp"

namespace fs = std::filesystem;

namespace {

using morva::cases::Section;

// Where the runner's diagnostics go: standard error, or a buffer when a
// broken case is run to see that it fails.
std::ostringstream* captured = nullptr;
std::ostream& diag() { return captured != nullptr ? static_cast<std::ostream&>(*captured) : std::cerr; }

// Every section kind: whether its argument is required (1), optional (0) or
// refused (-1), whether text may follow it, and whether it may appear more
// than once.
struct Kind {
    const char* name;
    int arg;
    bool body;
    bool repeats;
};
constexpr Kind kKinds[] = {
    {"file", 1, true, true},         {"hex", 1, true, true},          {"scanner", 1, true, true},
    {"gen", 1, true, true},          {"dir", 1, false, true},         {"earlier", 1, true, true},
    {"sim", 1, false, true},         {"stdin", -1, true, false},      {"stdin-file", 1, false, false},
    {"args", 1, false, false},       {"stdout", -1, true, false},     {"last-line", -1, true, false},
    {"stderr", -1, true, false},     {"stdout-pattern", -1, true, false}, {"exists", 1, false, true},
    {"plain-run", 0, false, false},  {"exit", 1, false, false},       {"expect", 1, true, true},
    {"expect-hex", 1, true, true},   {"absent", 1, false, true},      {"verify", 0, false, true},
};

// Why the case does not hold together; empty when it does.
std::string check_case(const std::vector<Section>& sections, const std::vector<int>& stray_lines) {
    auto at = [](int line) { return "line " + std::to_string(line) + ": "; };
    if (!stray_lines.empty()) return at(stray_lines.front()) + "a line beginning \"==\" that is no section";
    std::map<std::string, int> seen;
    std::map<std::string, int> names;
    for (const Section& s : sections) {
        const Kind* kind = nullptr;
        for (const Kind& k : kKinds) {
            if (s.kind == k.name) kind = &k;
        }
        if (kind == nullptr) return at(s.line) + "unknown section kind \"" + s.kind + "\"";
        if (kind->arg > 0 && s.arg.empty()) return at(s.line) + "== " + s.kind + " needs an argument";
        if (kind->arg < 0 && !s.arg.empty()) return at(s.line) + "== " + s.kind + " takes no argument";
        if (!kind->body && s.body.find_first_not_of(" \t\r\n") != std::string::npos) {
            return at(s.line) + "text under == " + s.kind + ", which takes none";
        }
        const std::string once = s.kind == "stdin-file" ? "stdin" : s.kind;
        if (!kind->repeats && seen[once]++ > 0) return at(s.line) + "a second == " + s.kind + " section";
        if (s.kind == "exit" && s.arg.find_first_not_of("0123456789") != std::string::npos) {
            return at(s.line) + "== exit needs a whole number, not \"" + s.arg + "\"";
        }
        const bool input = s.kind == "file" || s.kind == "hex" || s.kind == "scanner" || s.kind == "gen" ||
                           s.kind == "dir" || s.kind == "earlier";
        if (input && names[s.arg]++ > 0) return at(s.line) + "a second input named " + s.arg;
    }
    if (seen["stdin"] == 0 && seen["args"] == 0) return "no run control (== stdin or == stdin-file) and no arguments";
    for (const Section& s : sections) {
        for (const char* check : {"stdout", "last-line", "stderr", "stdout-pattern", "exists", "plain-run", "expect",
                                  "expect-hex", "absent", "verify"}) {
            if (s.kind == check) return {};
        }
    }
    return "nothing to check (no == stdout, last-line, stderr, stdout-pattern, exists, plain-run, expect, "
           "expect-hex, absent or verify)";
}

std::string read_file(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void write_file(const fs::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    out << bytes;
}

std::string from_hex(const std::string& text) {
    std::string bytes;
    int high = -1;
    bool comment = false;
    for (char c : text) {
        if (c == '\n') comment = false;
        if (comment || c == ' ' || c == '\n' || c == '\t' || c == ',') continue;
        if (c == '#') {
            comment = true;
            continue;
        }
        int v = std::isdigit(static_cast<unsigned char>(c)) ? c - '0' : std::tolower(c) - 'a' + 10;
        if (v < 0 || v > 15) throw std::runtime_error(std::string("bad hex digit ") + c);
        if (high < 0) {
            high = v;
        } else {
            bytes += static_cast<char>(high * 16 + v);
            high = -1;
        }
    }
    return bytes;
}

// One quoted string of a gen line, from the opening quote at `pos`.
std::string unquote(const std::string& line, std::size_t& pos) {
    if (pos >= line.size() || line[pos] != '"') throw std::runtime_error("gen: expected a quoted string: " + line);
    std::string out;
    for (++pos; pos < line.size() && line[pos] != '"'; ++pos) {
        char c = line[pos];
        if (c != '\\') {
            out += c;
            continue;
        }
        if (++pos >= line.size()) break;
        switch (line[pos]) {
        case 'n': out += '\n'; break;
        case 'r': out += '\r'; break;
        case 't': out += '\t'; break;
        case '0': out += '\0'; break;
        case 'x':
            if (pos + 2 >= line.size()) throw std::runtime_error("gen: short \\x escape: " + line);
            out += static_cast<char>(std::stoi(line.substr(pos + 1, 2), nullptr, 16));
            pos += 2;
            break;
        default: out += line[pos];
        }
    }
    if (pos >= line.size()) throw std::runtime_error("gen: unterminated string: " + line);
    ++pos;
    return out;
}

std::string generate(const std::string& body) {
    std::istringstream in(body);
    std::string line, bytes;
    while (std::getline(in, line)) {
        std::size_t pos = line.find_first_not_of(" \t");
        if (pos == std::string::npos || line[pos] == '#') continue;
        long long count = 1;
        if (line.compare(pos, 7, "repeat ") == 0) {
            std::size_t used = 0;
            count = std::stoll(line.substr(pos + 7), &used);
            pos = line.find_first_not_of(' ', pos + 7 + used);
        }
        const std::string text = unquote(line, pos);
        if (line.find_first_not_of(' ', pos) != std::string::npos) throw std::runtime_error("gen: extra text: " + line);
        for (long long i = 0; i < count; ++i) bytes += text;
    }
    return bytes;
}

std::string to_hex(const std::string& bytes) {
    std::string out;
    char buf[4];
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        std::snprintf(buf, sizeof buf, "%02x", static_cast<unsigned char>(bytes[i]));
        out += buf;
        out += (i % 16 == 15 || i + 1 == bytes.size()) ? '\n' : ' ';
    }
    return out;
}

// Runs argv in `dir` with stdin from a file; returns the exit status and
// fills `output` with standard output (standard error passes through).
int run(const std::vector<std::string>& argv, const fs::path& dir, const fs::path& input, std::string& output,
        std::string* error_output = nullptr) {
    fs::path out_path = dir / ".stdout";
    fs::path err_path = dir / ".stderr";
    pid_t pid = fork();
    if (pid == 0) {
        if (chdir(dir.c_str()) != 0) _exit(127);
        if (!freopen(input.empty() ? "/dev/null" : input.c_str(), "rb", stdin)) _exit(127);
        if (!freopen(out_path.c_str(), "wb", stdout)) _exit(127);
        if (error_output != nullptr && !freopen(err_path.c_str(), "wb", stderr)) _exit(127);
        std::vector<char*> args;
        for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        execv(args[0], args.data());
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    output = read_file(out_path);
    fs::remove(out_path);
    if (error_output != nullptr) {
        *error_output = read_file(err_path);
        fs::remove(err_path);
    }
    if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
    return WEXITSTATUS(status);
}

std::vector<std::string> split_args(const std::string& text) {
    std::istringstream in(text);
    std::vector<std::string> out;
    std::string word;
    while (in >> word) out.push_back(word);
    return out;
}

// Reports the first differing line of two texts.
bool same_text(const std::string& what, const std::string& expected, const std::string& actual) {
    if (expected == actual) return true;
    std::istringstream e(expected), a(actual);
    std::string el, al;
    int line = 1;
    for (;; ++line) {
        bool he = static_cast<bool>(std::getline(e, el));
        bool ha = static_cast<bool>(std::getline(a, al));
        if (!he && !ha) break;
        if (!he || !ha || el != al) {
            diag() << what << ": first difference at line " << line << "\n  expected: ["
                      << (he ? el : "<end>") << "]\n  actual:   [" << (ha ? al : "<end>") << "]\n";
            break;
        }
    }
    if (line > 1 && expected.size() != actual.size()) {
        diag() << what << ": lengths " << expected.size() << " expected, " << actual.size() << " actual\n";
    }
    diag() << "---- actual " << what << " ----\n" << actual << "---- end ----\n";
    return false;
}

// The output names of a run control: scan points (unless "0"), centre
// points, the two diagnostic files.
std::vector<std::string> output_names(const std::string& run_control) {
    std::istringstream in(run_control);
    std::string line;
    std::vector<std::string> names;
    for (int k = 1; k <= 5 && std::getline(in, line); ++k) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::string name = line.substr(0, 36);
        name.erase(name.find_last_not_of(' ') + 1);
        if (k == 4 && name == "0") continue;
        if (k >= 4) names.push_back(name);
    }
    names.push_back("test_pcorr.out");
    names.push_back("test.out");
    return names;
}

// Earlier results under the output names that are free and plain.
std::vector<std::string> plant_earlier_outputs(const fs::path& dir, const std::string& run_control) {
    std::vector<std::string> planted;
    for (const std::string& name : output_names(run_control)) {
        if (name.empty() || name[0] == '/' || name.find('\0') != std::string::npos) continue;
        const fs::path target = dir / name;
        std::error_code ec;
        if (fs::exists(fs::symlink_status(target, ec)) || !fs::is_directory(target.parent_path(), ec)) continue;
        write_file(target, "earlier result under the name " + name + "\n");
        planted.push_back(name);
    }
    return planted;
}

std::string last_line(std::string console) {
    if (!console.empty() && console.back() == '\n') console.pop_back();
    return console.substr(console.rfind('\n') == std::string::npos ? 0 : console.rfind('\n') + 1) + "\n";
}

// --write: every expected section that the run does not meet takes the
// run's text; returns the exit status to add when the case has no == exit
// and the run did not end with 0.
std::string take_run_as_expected(std::vector<Section>& sections, int status, const std::string& console,
                                 const std::string& errors, const fs::path& dir) {
    bool has_exit = false;
    for (Section& s : sections) {
        std::string actual;
        if (s.kind == "exit") {
            has_exit = true;
            actual = std::to_string(status);
            s.rewritten = s.rewritten || actual != s.arg;
            s.arg = actual;
            continue;
        }
        if (s.kind == "stdout") actual = console;
        else if (s.kind == "last-line") actual = last_line(console);
        else if (s.kind == "stderr") actual = errors;
        else if ((s.kind == "expect" || s.kind == "expect-hex") && fs::exists(dir / s.arg)) actual = read_file(dir / s.arg);
        else continue;
        if (s.kind == "expect-hex") {
            if (from_hex(s.body) == actual) continue;
            actual = to_hex(actual);
        }
        if (actual != s.body) {
            s.body = actual;
            s.rewritten = true;
        }
    }
    if (has_exit || status == 0) return {};
    Section exit;
    exit.kind = "exit";
    exit.arg = std::to_string(status);
    sections.push_back(exit);
    return exit.arg;
}

// Temporaries of the outputs left anywhere in the case folder.
bool no_temporaries_left(const fs::path& dir) {
    bool ok = true;
    for (const auto& entry : fs::recursive_directory_iterator(dir)) {
        if (entry.path().filename().string().find(".morva-tmp-") != std::string::npos) {
            diag() << "temporary output file left behind: " << entry.path() << "\n";
            ok = false;
        }
    }
    return ok;
}

// --write: the case file with the run's expectations, replaced whole (a new
// file renamed over it) and only when they changed.
void write_expected(const fs::path& case_path, const morva::cases::CaseText& text,
                    const std::map<std::string, std::string>& blocks, const std::string& added_exit) {
    const std::string written = morva::cases::rewrite_case(text, blocks, added_exit);
    if (written == text.text) return;
    const fs::path temporary = case_path.string() + ".writing";
    write_file(temporary, written);
    fs::rename(temporary, case_path);
    diag() << case_path << ": wrote";
    for (const Section& s : text.sections) {
        if (s.rewritten) diag() << " == " << s.kind << (s.kind == "exit" || s.arg.empty() ? "" : " " + s.arg) << ";";
    }
    if (!added_exit.empty()) diag() << " == exit " << added_exit << " (added);";
    diag() << "\n";
}

}  // namespace

enum class Mode { check, earlier_outputs, write };

int run_case(const fs::path& case_path, const std::string& morva, const std::string& morva_sim, Mode mode);

// A broken case must fail, and with the message its first line names.
int must_fail(const fs::path& case_path, const std::string& morva, const std::string& morva_sim) {
    std::string first;
    {
        std::ifstream in(case_path);
        std::getline(in, first);
    }
    const std::string marker = "# fails with: ";
    if (first.rfind(marker, 0) != 0) {
        std::cerr << case_path << ": the first line must be \"" << marker << "TEXT\"\n";
        return 2;
    }
    const std::string expected = first.substr(marker.size());
    std::ostringstream log;
    captured = &log;
    const int status = run_case(case_path, morva, morva_sim, Mode::check);
    captured = nullptr;
    if (status == 0) {
        std::cerr << case_path << ": the broken case passed\n" << log.str();
        return 1;
    }
    if (log.str().find(expected) == std::string::npos) {
        std::cerr << case_path << ": failed, but not with \"" << expected << "\":\n" << log.str();
        return 1;
    }
    std::cerr << case_path << ": fails as it should:\n" << log.str();
    return 0;
}

// The case with every block include replaced by the block's text.
int expand(const fs::path& case_path) {
    try {
        std::cout << morva::cases::expand_case(
            morva::cases::parse_case(read_file(case_path), morva::cases::read_blocks(case_path)));
    } catch (const std::exception& e) {
        std::cerr << case_path << ": " << e.what() << "\n";
        return 2;
    }
    return 0;
}

int main(int argc, char** argv) {
    const std::string flag = argc > 1 ? argv[1] : "";
    const bool broken = flag == "--must-fail";
    const Mode mode = flag == "--earlier-outputs" ? Mode::earlier_outputs : flag == "--write" ? Mode::write : Mode::check;
    if (flag == "--expand" && argc == 3) return expand(argv[2]);
    if (mode != Mode::check || broken) {
        --argc;
        ++argv;
    }
    if (argc < 4) {
        std::cerr << "usage: case_runner [--earlier-outputs | --must-fail | --write] CASE MORVA MORVA_SIM\n"
                     "       case_runner --expand CASE\n";
        return 2;
    }
    const fs::path case_path = argv[1];
    const std::string morva = fs::absolute(argv[2]).string();
    const std::string morva_sim = fs::absolute(argv[3]).string();
    return broken ? must_fail(case_path, morva, morva_sim) : run_case(case_path, morva, morva_sim, mode);
}

int run_case(const fs::path& case_path, const std::string& morva, const std::string& morva_sim, Mode mode) {
    const bool earlier_outputs = mode == Mode::earlier_outputs;
    if (!fs::is_regular_file(case_path)) {
        diag() << case_path << ": no such case file\n";
        return 2;
    }
    const auto blocks = morva::cases::read_blocks(case_path);
    morva::cases::CaseText text;
    try {
        text = morva::cases::parse_case(read_file(case_path), blocks);
    } catch (const std::exception& e) {
        diag() << case_path << ": " << e.what() << "\n";
        return 2;
    }
    std::vector<Section>& sections = text.sections;
    const std::string malformed = check_case(sections, text.stray_lines);
    if (!malformed.empty()) {
        diag() << case_path << ": malformed case: " << malformed << "\n";
        return 2;
    }

    char templ[] = "/tmp/morva-case-XXXXXX";
    if (mkdtemp(templ) == nullptr) return 2;
    const fs::path dir = templ;

    std::map<std::string, std::string> inputs;
    fs::path stdin_path;
    bool ok = true;
    try {
        for (const auto& s : sections) {
            if (s.kind == "file" || s.kind == "earlier") {
                inputs[s.arg] = s.body;
            } else if (s.kind == "hex") {
                inputs[s.arg] = from_hex(s.body);
            } else if (s.kind == "scanner") {
                std::string error;
                std::string bytes = morva::sim::build_scanner_file(s.body, error);
                if (!error.empty()) throw std::runtime_error("scanner script: " + error);
                inputs[s.arg] = bytes;
            } else if (s.kind == "gen") {
                inputs[s.arg] = generate(s.body);
            } else if (s.kind == "dir") {
                fs::create_directory(dir / s.arg);
            }
        }
        for (const auto& [name, bytes] : inputs) write_file(dir / name, bytes);
        for (const auto& s : sections) {
            if (s.kind == "sim") {
                std::vector<std::string> args = split_args(s.arg);
                args.insert(args.begin(), morva_sim);
                std::string out;
                if (run(args, dir, {}, out) != 0) throw std::runtime_error("morva-sim failed: " + out);
            } else if (s.kind == "stdin") {
                stdin_path = dir / ".stdin";
                write_file(stdin_path, s.body);
            } else if (s.kind == "stdin-file") {
                stdin_path = dir / s.arg;
            }
        }
        std::vector<std::string> planted;
        if (earlier_outputs) {
            // Without a run control only the diagnostic files have known names.
            planted = plant_earlier_outputs(dir, stdin_path.empty() ? std::string() : read_file(stdin_path));
            bool has_earlier = false;
            for (const auto& s : sections) has_earlier = has_earlier || s.kind == "earlier";
            if (planted.empty() && !has_earlier) {
                throw std::runtime_error("--earlier-outputs: no output name left free to plant");
            }
        }
        // Everything in the folder before the run is an input or an earlier
        // result that must survive it.
        std::map<std::string, std::string> before;
        for (const auto& entry : fs::directory_iterator(dir)) {
            if (entry.is_regular_file()) before[entry.path().filename()] = read_file(entry.path());
        }

        // The folder as it stands before the run, brought back before the
        // second; what the one-thread run made, which the other must repeat.
        std::map<fs::path, std::string> present;
        for (const auto& entry : fs::recursive_directory_iterator(dir)) {
            present[entry.path()] = entry.is_regular_file() ? read_file(entry.path()) : std::string();
        }
        std::map<std::string, std::string> first_run;
        std::string added_exit;  // --write
        const auto snapshot = [&](int status, const std::string& console, const std::string& errors) {
            std::map<std::string, std::string> made{
                {"exit status", std::to_string(status)}, {"console", console}, {"standard error", errors}};
            for (const auto& entry : fs::recursive_directory_iterator(dir)) {
                if (!entry.is_regular_file()) continue;
                const auto was = present.find(entry.path());
                std::string bytes = read_file(entry.path());
                if (was == present.end() || was->second != bytes) {
                    made[fs::relative(entry.path(), dir).string()] = std::move(bytes);
                }
            }
            return made;
        };
        for (const std::string threads : {"1", "4"}) {
            if (threads != "1") {
                std::vector<fs::path> made;
                for (const auto& entry : fs::recursive_directory_iterator(dir)) {
                    if (!present.count(entry.path())) made.push_back(entry.path());
                }
                for (const auto& path : made) fs::remove_all(path);
                for (const auto& [path, bytes] : present) {
                    if (fs::is_regular_file(path)) write_file(path, bytes);
                }
            }
            diag() << "-- the run on " << threads << (threads == "1" ? " thread" : " threads") << ":\n";
            std::vector<std::string> morva_args = {morva, "--threads", threads};
            for (const auto& s : sections) {
                if (s.kind == "args") {
                    for (const auto& a : split_args(s.arg)) morva_args.push_back(a);
                }
            }
            std::string output, error_output;
            int status = run(morva_args, dir, stdin_path, output, &error_output);
            if (threads == "1") {
                first_run = snapshot(status, output, error_output);
                if (mode == Mode::write) added_exit = take_run_as_expected(sections, status, output, error_output, dir);
            } else if (const auto again = snapshot(status, output, error_output); again != first_run) {
                for (const auto& [name, bytes] : first_run) {
                    const auto other = again.find(name);
                    if (other == again.end()) diag() << name << ": not made at 4 threads\n";
                    else if (other->second != bytes) same_text(name + ", 4 threads against 1", bytes, other->second);
                }
                for (const auto& [name, bytes] : again) {
                    if (!first_run.count(name)) diag() << name << ": made only at 4 threads\n";
                }
                ok = false;
            }
            bool stderr_checked = false;
            for (const auto& s : sections) stderr_checked = stderr_checked || s.kind == "stderr";
            if (!stderr_checked) diag() << error_output;
            ok = no_temporaries_left(dir) && ok;

            int expected_status = 0;
            for (const auto& s : sections) {
                if (s.kind == "exit") expected_status = std::stoi(s.arg);
            }
            if (status != expected_status) {
                diag() << "exit status " << status << ", expected " << expected_status << "\n";
                ok = false;
            }
            for (const auto& s : sections) {
                if (s.kind == "stdout") {
                    ok = same_text("console report", s.body, output) && ok;
                } else if (s.kind == "last-line") {
                    ok = same_text("last console line", s.body, last_line(output)) && ok;
                    if (!ok) diag() << "---- console ----\n" << output;
                } else if (s.kind == "stdout-pattern") {
                    const std::string& pattern = s.body;  // its line end included
                    if (!std::regex_match(output, std::regex(pattern))) {
                        diag() << "console report does not match " << pattern << ":\n" << output;
                        ok = false;
                    }
                } else if (s.kind == "exists") {
                    if (!fs::exists(dir / s.arg)) {
                        diag() << s.arg << " does not exist but should\n";
                        ok = false;
                    }
                } else if (s.kind == "plain-run") {
                    const fs::path plain = dir.string() + "-plain";
                    fs::create_directory(plain);
                    for (const auto& [name, bytes] : before) write_file(plain / name, bytes);
                    for (const auto& d : sections) {
                        if (d.kind == "dir") fs::create_directories(plain / d.arg);
                    }
                    const fs::path plain_stdin = s.arg.empty() ? plain / ".stdin" : plain / s.arg;
                    std::string plain_output;
                    run({morva}, plain, plain_stdin, plain_output);
                    ok = same_text("console report of the plain run", output, plain_output) && ok;
                    std::map<std::string, std::string> after, plain_after;
                    for (const auto& entry : fs::directory_iterator(dir)) {
                        if (entry.is_regular_file()) after[entry.path().filename()] = read_file(entry.path());
                    }
                    for (const auto& entry : fs::directory_iterator(plain)) {
                        if (entry.is_regular_file()) plain_after[entry.path().filename()] = read_file(entry.path());
                    }
                    for (const auto& [name, bytes] : after) {
                        if (!plain_after.count(name) || plain_after[name] != bytes) {
                            diag() << name << " differs from the plain run's\n";
                            ok = false;
                        }
                    }
                    if (after.size() != plain_after.size()) {
                        diag() << "the plain run left " << plain_after.size() << " files, the case's run "
                                  << after.size() << "\n";
                        ok = false;
                    }
                    if (ok) fs::remove_all(plain);
                    else diag() << "plain run folder kept: " << plain << "\n";
                } else if (s.kind == "stderr") {
                    ok = same_text("standard error", s.body, error_output) && ok;
                } else if (earlier_outputs && (s.kind == "expect" || s.kind == "expect-hex" || s.kind == "absent")) {
                    continue;  // the planted files stand where the case expected none
                } else if (s.kind == "expect") {
                    if (!fs::exists(dir / s.arg)) {
                        diag() << s.arg << " was not created\n";
                        ok = false;
                    } else {
                        ok = same_text(s.arg, s.body, read_file(dir / s.arg)) && ok;
                    }
                } else if (s.kind == "expect-hex") {
                    if (!fs::exists(dir / s.arg)) {
                        diag() << s.arg << " was not created\n";
                        ok = false;
                    } else {
                        ok = same_text(s.arg, to_hex(from_hex(s.body)), to_hex(read_file(dir / s.arg))) && ok;
                    }
                } else if (s.kind == "absent") {
                    if (fs::exists(dir / s.arg)) {
                        diag() << s.arg << " exists but should not\n";
                        ok = false;
                    }
                }
            }
            bool console_saved = false;
            for (const auto& s : sections) {
                if (s.kind != "verify") continue;
                if (!console_saved) write_file(dir / "console.txt", output);
                console_saved = true;
                std::vector<std::string> args = split_args(s.arg);
                args.insert(args.begin(), {morva_sim, "--verify"});
                std::string report;
                if (run(args, dir, {}, report) != 0) {
                    diag() << "morva-sim --verify " << s.arg << " failed:\n" << report;
                    ok = false;
                }
            }
            for (const auto& [name, bytes] : before) {
                if (name == ".stdin") continue;
                if (!fs::exists(dir / name) || read_file(dir / name) != bytes) {
                    diag() << "file " << name << ", there before the run, was changed by it\n";
                    ok = false;
                }
            }
        }
        if (mode == Mode::write) write_expected(case_path, text, blocks, added_exit);
    } catch (const std::exception& e) {
        diag() << case_path << ": " << e.what() << "\n";
        ok = false;
    }
    if (ok) fs::remove_all(dir);
    else diag() << "case folder kept: " << dir << "\n";
    return ok ? 0 : 1;
}
