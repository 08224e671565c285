#include "cell_stats.hpp"

#include <algorithm>

namespace morva::grid {

std::string_view statistic_name(Statistic s) {
    switch (s) {
        case Statistic::Min: return "min";
        case Statistic::Max: return "max";
        case Statistic::Mean: return "mean";
        case Statistic::Idw: return "idw";
        case Statistic::Count: return "count";
        case Statistic::Stdev: return "stdev";
        case Statistic::Dtm: return "dtm";
    }
    return "?";
}

bool parse_statistics(std::string_view list, std::vector<Statistic>& out, std::string& bad) {
    out.clear();
    constexpr Statistic all[] = {Statistic::Min, Statistic::Max, Statistic::Mean,
                                 Statistic::Idw, Statistic::Count, Statistic::Stdev, Statistic::Dtm};
    for (;;) {
        const std::size_t comma = list.find(',');
        const std::string_view word = list.substr(0, comma);
        const auto* s = std::ranges::find(all, word, statistic_name);
        if (s == std::ranges::end(all)) {
            bad = std::string(word);
            return false;
        }
        out.push_back(*s);
        if (comma == std::string_view::npos) return true;
        list.remove_prefix(comma + 1);
    }
}

}  // namespace morva::grid
