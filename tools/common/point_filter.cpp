#include "point_filter.hpp"

#include <charconv>

namespace morva::common {

std::vector<text::Option> point_filter_options(PointFilter& filter) {
    using text::OptionKind;
    using text::OptionValue;
    return {
        {"--classes", "LIST",
         "LAS inputs: keep only these classification codes, e.g.\n"
         "2,9 (default every class but 7 and 18, noise); withheld\n"
         "points are always left out",
         OptionKind::Text, {}, {}, true, {},
         [&filter](const OptionValue& v) {
             std::bitset<256> keep;
             std::string_view rest = v.text;
             while (true) {
                 const std::string_view item = rest.substr(0, rest.find(','));
                 unsigned code = 0;
                 const auto [end, ec] = std::from_chars(item.data(), item.data() + item.size(), code);
                 if (item.empty() || ec != std::errc() || end != item.data() + item.size() || code > 255) {
                     return "'" + std::string(item) + "' is not a classification code (0 to 255)";
                 }
                 keep.set(code);
                 if (item.size() == rest.size()) break;
                 rest.remove_prefix(item.size() + 1);
             }
             filter.classes = keep;
             return std::string();
         }},
        {"--returns", "WHICH",
         "LAS inputs: first, last, only (single returns) or all\n"
         "(default)",
         OptionKind::Choice, {}, {}, true, {"first", "last", "only", "all"},
         [&filter](const OptionValue& v) {
             constexpr Returns which[] = {Returns::First, Returns::Last, Returns::Only, Returns::All};
             filter.returns = which[v.choice];
             return std::string();
         }},
    };
}

}  // namespace morva::common
