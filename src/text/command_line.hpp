#pragma once
// The command line every morva program shares. Each program lists its
// options in one table (name, value name, help line, kind, handler); one
// parser reads the arguments against it:
//   -h, --help   print the program's help on standard output, exit 0
//   --version    print "NAME VERSION (commit C)", exit 0
//   a wrong option or value: one line on standard error, exit 2,
//     "NAME: MESSAGE; usage: USAGE (NAME --help)", MESSAGE one of
//     unknown option --bogus | option --X needs a value |
//     option --X takes no value | option --X: 'V' is not a number |
//     option --X: V is out of range (LO to HI) |
//     option --X: 'V' is not one of a, b, c | option --X: what the handler says
// A value is given as "--X V" or "--X=V"; "--" ends the options, and "-" or
// any word not starting with "-" is an argument.

#include <functional>
#include <limits>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

namespace morva::text {

inline constexpr int kUsageStatus = 2;

enum class OptionKind {
    Flag,    // takes no value
    Number,  // a number within [lo, hi], whole numbers only when `whole`
    Choice,  // one of `choices`
    Text,    // any text; the handler may refuse it
};

// What the parser hands to an option's handler.
struct OptionValue {
    std::string_view text;   // as given (empty for a flag)
    double number = 0;       // Number
    std::size_t choice = 0;  // Choice: the index in `choices`
};

struct Option {
    std::string name;        // "--threads"
    std::string value_name;  // "N" in the help; empty for a flag
    std::string help;        // the help line (may hold line breaks)
    OptionKind kind = OptionKind::Flag;
    double lo = -std::numeric_limits<double>::infinity();
    double hi = std::numeric_limits<double>::infinity();
    bool whole = true;
    std::vector<std::string> choices;
    // Applies the value; returns why it is refused (put after "option --X: "),
    // empty when it is good.
    std::function<std::string(const OptionValue&)> apply;
};

// Options bound to a typed member: the member's value before parsing is the
// default, the parser checks the value (a number in its range, one of the
// choices) and the handler stores it. A `refuse` check may turn a value down
// with its reason, put after "option --X: ".
using Refusal = std::function<std::string(std::string_view)>;

// A flag that sets `target` to `value` (true for a bool).
template <class T>
Option flag_option(std::string name, std::string help, T& target, T value = T(true)) {
    Option o;
    o.name = std::move(name);
    o.help = std::move(help);
    o.apply = [&target, value](const OptionValue&) {
        target = value;
        return std::string();
    };
    return o;
}

// A number within [lo, hi]; whole numbers only for an integer member.
template <class T>
Option number_option(std::string name, std::string value_name, std::string help, T& target, double lo, double hi) {
    Option o;
    o.name = std::move(name);
    o.value_name = std::move(value_name);
    o.help = std::move(help);
    o.kind = OptionKind::Number;
    o.lo = lo;
    o.hi = hi;
    o.whole = std::numeric_limits<T>::is_integer;
    o.apply = [&target](const OptionValue& v) {
        target = static_cast<T>(v.number);
        return std::string();
    };
    return o;
}

// A check that refuses the empty text: "'' is not WHAT".
Refusal refuse_empty(std::string what);

// Any text the `refuse` check accepts (every text without one).
Option text_option(std::string name, std::string value_name, std::string help, std::string& target,
                   Refusal refuse = {});

// A value read by the program's own reader: `take` stores it, or returns
// why it is refused (put after "option --X: "). For values of a form of
// their own: a date, a list "X,Y,Z", a size "8G".
Option value_option(std::string name, std::string value_name, std::string help,
                    std::function<std::string(std::string_view)> take);

template <class T>
struct IsOptional : std::false_type {};
template <class T>
struct IsOptional<std::optional<T>> : std::true_type {};

// One of `choices`; the member takes the choice's index (an enum in the
// choices' order, or a number; a std::optional of one is set when given).
template <class T>
Option choice_option(std::string name, std::string value_name, std::string help, std::vector<std::string> choices,
                     T& target) {
    Option o;
    o.name = std::move(name);
    o.value_name = std::move(value_name);
    o.help = std::move(help);
    o.kind = OptionKind::Choice;
    o.choices = std::move(choices);
    o.apply = [&target](const OptionValue& v) {
        if constexpr (IsOptional<T>::value) {
            target = static_cast<typename T::value_type>(v.choice);
        } else {
            target = static_cast<T>(v.choice);
        }
        return std::string();
    };
    return o;
}

struct Program {
    std::string_view name;   // "morva"
    std::string_view usage;  // the short usage of the usage error: "morva [options] [RUN_CONTROL]"
    std::function<std::string()> help;  // the whole --help text, with its "Exit status:" section
};

// Reads the arguments against the options, calling each handler in order;
// returns the arguments that are not options. --help, --version and a wrong
// option end the process as above.
std::vector<std::string_view> parse_command_line(const Program& program, std::span<const Option> options, int argc,
                                                 const char* const* argv);

// The help's option lines: "  --name VALUE" padded to `column`, the help
// line after it (wrapped at `width` when it is not 0, with the continuation
// at `column`; otherwise its own line breaks continue at `column`), then the
// lines of -h/--help and --version.
std::string option_lines(std::span<const Option> options, std::size_t column = 24, std::size_t width = 0);

// The parts of a program's --help, printed as
//   usage: USAGE
//
//   DESCRIPTION
//
//   EXIT_STATUS
//
//   Options:
//   the option lines (option_lines)
// where the description and the exit statuses are whole lines ("...\n").
struct HelpText {
    std::string_view usage;        // as in the usage error: "morva-grid [options] INPUT... OUTPUT.tif"
    std::string_view description;  // its paragraphs, blank lines between
    std::string_view exit_status;  // "Exit status: 0 ...", every status with its meaning
};
std::string help_text(const HelpText& help, std::span<const Option> options, std::size_t column = 24,
                      std::size_t width = 0);

// The shortest text that reads back to v ("2", "0.001", "1e-07").
std::string number_text(double v);

// "0.9.0", from the project version set in CMake.
std::string_view project_version();

// The commit the build came from; empty when not from a git checkout.
std::string_view build_commit();

// Prints the usage line on standard error and ends the process with status 2.
[[noreturn]] void usage_error(std::string_view program, std::string_view message, std::string_view usage);

// Prints text on standard output and ends the process with status 0.
[[noreturn]] void exit_with_text(std::string_view text);

}  // namespace morva::text
