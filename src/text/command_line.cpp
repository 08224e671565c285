#include "text/command_line.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "build_info.hpp"

namespace morva::text {
namespace {

// Why a number option refuses the text, empty when it takes it.
std::string read_number(const Option& option, std::string_view text, double& number) {
    std::string_view digits = text;
    if (digits.starts_with('+')) digits.remove_prefix(1);
    const char* first = digits.data();
    const char* last = first + digits.size();
    const std::string quoted = "'" + std::string(text) + "'";
    if (option.whole) {
        std::int64_t n = 0;
        const auto [end, error] = std::from_chars(first, last, n);
        if (digits.empty() || end != last || error == std::errc::invalid_argument) return quoted + " is not a number";
        number = error == std::errc::result_out_of_range ? (digits.starts_with('-') ? -HUGE_VAL : HUGE_VAL)
                                                          : static_cast<double>(n);
    } else {
        const auto [end, error] = std::from_chars(first, last, number);
        if (digits.empty() || end != last || error == std::errc::invalid_argument || std::isnan(number) ||
            (error == std::errc{} && std::isinf(number))) {
            return quoted + " is not a number";
        }
        if (error == std::errc::result_out_of_range) number = digits.starts_with('-') ? -HUGE_VAL : HUGE_VAL;
    }
    if (number < option.lo || number > option.hi) {
        return std::string(text) + " is out of range (" + number_text(option.lo) + " to " + number_text(option.hi) +
               ")";
    }
    return {};
}

std::string read_choice(const Option& option, std::string_view text, std::size_t& choice) {
    choice = static_cast<std::size_t>(std::ranges::find(option.choices, text) - option.choices.begin());
    if (choice < option.choices.size()) return {};
    std::string names;
    for (const std::string& name : option.choices) names += (names.empty() ? "" : ", ") + name;
    return "'" + std::string(text) + "' is not one of " + names;
}

// "NAME 0.9.0 (commit abcdef123456)", or without the commit when the build
// did not come from a git checkout.
std::string version_line(std::string_view program) {
    std::string line = std::string(program) + " " + MORVA_VERSION;
    if (!build_commit().empty()) line += " (commit " + std::string(build_commit()) + ")";
    return line;
}

// The words of a help line, wrapped at `width` with continuations at `column`.
std::string wrapped(std::string_view text, std::size_t start, std::size_t column, std::size_t width) {
    if (width == 0) {
        // Line breaks of the text itself continue at the column.
        std::string out;
        for (const char c : text) {
            out += c;
            if (c == '\n') out.append(column, ' ');
        }
        return out;
    }
    std::string out;
    std::size_t at = start;
    while (!text.empty()) {
        const std::size_t blank = text.find(' ');
        const std::string_view word = text.substr(0, blank);
        if (at > column && at + 1 + word.size() > width) {
            out += "\n" + std::string(column, ' ');
            at = column;
        } else if (at > column || !out.empty()) {
            out += ' ';
            ++at;
        }
        out += word;
        at += word.size();
        text = blank == std::string_view::npos ? std::string_view() : text.substr(blank + 1);
    }
    return out;
}

}  // namespace

std::vector<std::string_view> parse_command_line(const Program& program, std::span<const Option> options, int argc,
                                                 const char* const* argv) {
    auto refuse = [&program](const std::string& message) { usage_error(program.name, message, program.usage); };
    std::vector<std::string_view> arguments;
    bool options_ended = false;
    for (int k = 1; k < argc; ++k) {
        const std::string_view arg = argv[k];
        if (options_ended || arg == "-" || !arg.starts_with('-')) {
            arguments.push_back(arg);
            continue;
        }
        if (arg == "--") {
            options_ended = true;
            continue;
        }
        if (arg == "--help" || arg == "-h") exit_with_text(program.help());
        if (arg == "--version") exit_with_text(version_line(program.name) + "\n");
        const std::size_t equals = arg.find('=');
        const std::string_view name = arg.substr(0, equals);
        const auto option = std::ranges::find(options, name, &Option::name);
        if (option == options.end()) refuse("unknown option " + std::string(name));
        const std::string called = "option " + option->name;
        OptionValue value;
        if (option->kind == OptionKind::Flag) {
            if (equals != std::string_view::npos) refuse(called + " takes no value");
        } else if (equals != std::string_view::npos) {
            value.text = arg.substr(equals + 1);
        } else if (k + 1 < argc) {
            value.text = argv[++k];
        } else {
            refuse(called + " needs a value");
        }
        std::string problem;
        if (option->kind == OptionKind::Number) problem = read_number(*option, value.text, value.number);
        if (option->kind == OptionKind::Choice) problem = read_choice(*option, value.text, value.choice);
        if (problem.empty() && option->apply) problem = option->apply(value);
        if (!problem.empty()) refuse(called + ": " + problem);
    }
    return arguments;
}

std::string option_lines(std::span<const Option> options, std::size_t column, std::size_t width) {
    std::string out;
    auto add = [&](std::string left, std::string_view help) {
        left.insert(0, "  ");
        if (left.size() + 1 > column) {
            left += width == 0 ? " " : "\n" + std::string(column, ' ');
        } else {
            left.resize(column, ' ');
        }
        const std::size_t start = left.size() - (left.rfind('\n') == std::string::npos ? 0 : left.rfind('\n') + 1);
        out += left + wrapped(help, start, column, width) + "\n";
    };
    for (const Option& option : options) {
        add(option.value_name.empty() ? option.name : option.name + " " + option.value_name, option.help);
    }
    add("-h, --help", "print this help and exit");
    add("--version", "print the version and exit");
    return out;
}

std::string help_text(const HelpText& help, std::span<const Option> options, std::size_t column, std::size_t width) {
    std::string out = "usage: ";
    out += help.usage;
    out += "\n\n";
    out += help.description;
    out += "\n";
    out += help.exit_status;
    out += "\nOptions:\n";
    return out + option_lines(options, column, width);
}

std::string number_text(double v) {
    if (std::isinf(v)) return v < 0 ? "-inf" : "inf";
    char buffer[32];
    const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, v);
    return std::string(buffer, end);
}

std::string_view project_version() { return MORVA_VERSION; }

std::string_view build_commit() { return MORVA_COMMIT; }

[[noreturn]] void usage_error(std::string_view program, std::string_view message, std::string_view usage) {
    std::fflush(stdout);
    std::fprintf(stderr, "%.*s: %.*s; usage: %.*s (%.*s --help)\n", int(program.size()), program.data(),
                 int(message.size()), message.data(), int(usage.size()), usage.data(), int(program.size()),
                 program.data());
    std::exit(kUsageStatus);
}

[[noreturn]] void exit_with_text(std::string_view text) {
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
    std::exit(0);
}

Option value_option(std::string name, std::string value_name, std::string help,
                    std::function<std::string(std::string_view)> take) {
    Option o;
    o.name = std::move(name);
    o.value_name = std::move(value_name);
    o.help = std::move(help);
    o.kind = OptionKind::Text;
    if (take) o.apply = [take = std::move(take)](const OptionValue& v) { return take(v.text); };
    return o;
}

Refusal refuse_empty(std::string what) {
    return [what = std::move(what)](std::string_view text) {
        return text.empty() ? "'' is not " + what : std::string();
    };
}

Option text_option(std::string name, std::string value_name, std::string help, std::string& target, Refusal refuse) {
    return value_option(std::move(name), std::move(value_name), std::move(help),
                        [&target, refuse = std::move(refuse)](std::string_view text) {
                            if (refuse) {
                                if (std::string why = refuse(text); !why.empty()) return why;
                            }
                            target = std::string(text);
                            return std::string();
                        });
}

}  // namespace morva::text
