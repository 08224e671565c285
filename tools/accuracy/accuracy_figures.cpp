#include "accuracy_figures.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "sorted_quantile.hpp"

namespace accuracy {

namespace {

DzSummary summarize(std::span<const double> dz) {
    DzSummary s;
    s.count = dz.size();
    if (dz.empty()) return s;
    double sum = 0, sum_squares = 0;
    for (const double d : dz) {
        sum += d;
        sum_squares += d * d;
    }
    const double n = static_cast<double>(dz.size());
    s.mean = sum / n;
    s.rmse = std::sqrt(sum_squares / n);
    if (dz.size() > 1) {
        double deviations = 0;  // about the mean, a second pass: no cancellation
        for (const double d : dz) deviations += (d - s.mean) * (d - s.mean);
        s.standard_deviation = std::sqrt(deviations / (n - 1));
        s.standard_error = s.standard_deviation / std::sqrt(n);
    }
    return s;
}

FigureVerdict judged(std::string figure, double value, double limit, std::size_t count, std::size_t min_count,
                     const std::string& cover) {
    FigureVerdict v{std::move(figure), count ? value : NAN, limit, Verdict::not_tested, ""};
    if (count == 0)
        v.reason = "no " + cover + " check points measured";
    else if (count < min_count)
        v.reason = "only " + std::to_string(count) + " " + cover + " check points measured, fewer than " +
                   std::to_string(min_count) + " (--min-checkpoints)";
    else if (limit <= 0)
        v.reason = "no " + v.figure + " limit given";
    else
        v.verdict = value <= limit ? Verdict::pass : Verdict::fail;
    return v;
}

}  // namespace

double quantile(std::vector<double> values, double p) {
    std::sort(values.begin(), values.end());
    return morva::common::sorted_quantile(values, p);
}

std::optional<AccuracyLimits> quality_level(std::string_view name) {
    // RMSEz, NVA (1.96 x RMSEz), VVA and the aggregate nominal pulse density
    // of each level (docs/accuracy.md names the sources).
    if (name == "QL0") return AccuracyLimits{"QL0", 0.05, 0.098, 0.147, 8.0};
    if (name == "QL1") return AccuracyLimits{"QL1", 0.10, 0.196, 0.294, 8.0};
    if (name == "QL2") return AccuracyLimits{"QL2", 0.10, 0.196, 0.294, 2.0};
    if (name == "QL3") return AccuracyLimits{"QL3", 0.20, 0.392, 0.588, 0.5};
    return std::nullopt;
}

std::optional<AccuracyLimits> parse_limits(std::string_view text, std::string& error) {
    if (auto level = quality_level(text)) return level;
    if (text.find('=') == std::string_view::npos) {
        error = "'" + std::string(text) + "' is neither QL0, QL1, QL2, QL3 nor a list of rmsez=, nva=, vva=, density=";
        return std::nullopt;
    }
    AccuracyLimits limits{"explicit"};
    while (!text.empty()) {
        const auto comma = text.find(',');
        const std::string_view item = text.substr(0, comma);
        text = comma == std::string_view::npos ? std::string_view() : text.substr(comma + 1);
        const auto equals = item.find('=');
        const std::string_view key = item.substr(0, equals);
        double* target = key == "rmsez" ? &limits.rmsez : key == "nva" ? &limits.nva : key == "vva" ? &limits.vva
                         : key == "density" ? &limits.density : nullptr;
        if (equals == std::string_view::npos || target == nullptr) {
            error = "'" + std::string(item) + "' is not one of rmsez=, nva=, vva=, density=";
            return std::nullopt;
        }
        if (*target != 0) {
            error = std::string(key) + " is given twice";
            return std::nullopt;
        }
        const std::string_view number = item.substr(equals + 1);
        double value = 0;
        const auto [end, failure] = std::from_chars(number.data(), number.data() + number.size(), value);
        if (number.empty() || failure != std::errc() || end != number.data() + number.size() || !(value > 0) ||
            !std::isfinite(value)) {
            error = "the " + std::string(key) + " limit '" + std::string(number) + "' is not a number above 0";
            return std::nullopt;
        }
        *target = value;
    }
    return limits;
}

std::string_view verdict_text(Verdict verdict) {
    switch (verdict) {
        case Verdict::pass: return "pass";
        case Verdict::fail: return "fail";
        case Verdict::not_tested: return "not tested";
    }
    return "";
}

AccuracyFigures accuracy_figures(std::span<const double> dz, std::span<const LandCover> covers) {
    std::vector<double> open_dz, vegetated_abs_dz, vegetated_dz;
    for (std::size_t i = 0; i < dz.size(); ++i) {
        if (covers[i] == LandCover::open) {
            open_dz.push_back(dz[i]);
        } else {
            vegetated_dz.push_back(dz[i]);
            vegetated_abs_dz.push_back(std::fabs(dz[i]));
        }
    }
    AccuracyFigures f;
    f.all = summarize(dz);
    f.open = summarize(open_dz);
    f.vegetated = summarize(vegetated_dz);
    if (!open_dz.empty()) f.nva = 1.96 * f.open.rmse;
    if (!vegetated_abs_dz.empty()) f.vva = quantile(vegetated_abs_dz, 0.95);
    return f;
}

std::vector<FigureVerdict> figure_verdicts(const AccuracyFigures& f, const AccuracyLimits& limits, std::size_t min_count) {
    return {judged("RMSEz", f.open.rmse, limits.rmsez, f.open.count, min_count, "open"),
            judged("NVA", f.nva, limits.nva, f.open.count, min_count, "open"),
            judged("VVA", f.vva, limits.vva, f.vegetated.count, min_count, "vegetated")};
}

}  // namespace accuracy
