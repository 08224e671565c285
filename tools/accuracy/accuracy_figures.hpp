#pragma once
// The absolute vertical accuracy at check points: dz = lidar - surveyed, its
// count, mean, standard deviation and RMSEz; NVA = 1.96 x RMSEz over the open
// points, VVA = the 95th percentile of |dz| over the vegetated points; and a
// verdict against the limits of a quality level or limits given explicitly.

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "checkpoints.hpp"

namespace accuracy {

struct DzSummary {
    std::size_t count = 0;
    double mean = 0;
    double standard_deviation = 0;  // sample (n - 1); 0 for fewer than 2
    double rmse = 0;                // sqrt(mean of dz^2)
    double standard_error = 0;      // of the mean: standard_deviation / sqrt(count)
};

// The p-th quantile (0..1) by linear interpolation between the closest ranks
// of the sorted values, position p x (n - 1) (Hyndman and Fan's definition 7,
// numpy's default). Needs at least one value.
double quantile(std::vector<double> values, double p);

struct AccuracyLimits {
    std::string name;      // "QL1" or "explicit"
    double rmsez = 0;      // metres; 0: not limited
    double nva = 0;        // metres at 95 %; 0: not limited
    double vva = 0;        // metres at the 95th percentile; 0: not limited
    double density = 0;    // first or only returns per square metre; 0: not limited
};

// QL0..QL3 (the names are case sensitive); nullopt for any other name.
std::optional<AccuracyLimits> quality_level(std::string_view name);

// A --limits value: a level (QL0..QL3) or explicit limits as a comma list of
// rmsez=M, nva=M, vva=M, density=D (any of them, metres and points per square
// metre, each above 0, each at most once). nullopt with `error` set (one
// phrase) when the text is neither.
std::optional<AccuracyLimits> parse_limits(std::string_view text, std::string& error);

enum class Verdict { pass, fail, not_tested };
std::string_view verdict_text(Verdict verdict);

struct AccuracyFigures {
    DzSummary all;         // every measured check point
    DzSummary open;        // the open ones
    DzSummary vegetated;   // the vegetated ones
    double nva = 0;        // 1.96 x RMSEz of the open points (when any)
    double vva = 0;        // 95th percentile of |dz| of the vegetated points (when any)
};

// dz and the land cover, one entry each per measured check point.
AccuracyFigures accuracy_figures(std::span<const double> dz, std::span<const LandCover> covers);

struct FigureVerdict {
    std::string figure;   // "RMSEz", "NVA", "VVA"
    double value = 0;     // NaN when not measured
    double limit = 0;     // 0 when none
    Verdict verdict = Verdict::not_tested;
    std::string reason;   // why not tested; empty otherwise
};

// The verdicts of RMSEz, NVA and VVA: not tested, with the reason, without a
// limit or with fewer measured check points than min_count.
std::vector<FigureVerdict> figure_verdicts(const AccuracyFigures& f, const AccuracyLimits& limits, std::size_t min_count);

}  // namespace accuracy
