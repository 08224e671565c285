#include "point_filter.hpp"

#include <charconv>

namespace morva::common {

std::vector<text::Option> point_filter_options(PointFilter& filter) {
    return {
        text::value_option("--classes", "LIST",
                           "LAS inputs: keep only these classification codes, e.g.\n"
                           "2,9 (default every class but 7 and 18, noise); withheld\n"
                           "points are always left out",
                           [&filter](std::string_view rest) {
                               std::bitset<256> keep;
                               while (true) {
                                   const std::string_view item = rest.substr(0, rest.find(','));
                                   unsigned code = 0;
                                   const auto [end, ec] = std::from_chars(item.data(), item.data() + item.size(), code);
                                   const bool whole = end == item.data() + item.size();
                                   if (item.empty() || ec != std::errc() || !whole || code > 255) {
                                       return "'" + std::string(item) + "' is not a classification code (0 to 255)";
                                   }
                                   keep.set(code);
                                   if (item.size() == rest.size()) break;
                                   rest.remove_prefix(item.size() + 1);
                               }
                               filter.classes = keep;
                               return std::string();
                           }),
        text::choice_option("--returns", "WHICH",
                            "LAS inputs: first, last, only (single returns) or all\n"
                            "(default)",
                            {"first", "last", "only", "all"}, filter.returns),
    };
}

}  // namespace morva::common
