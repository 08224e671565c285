#include "run_record_check.hpp"

#include "text/stop.hpp"

namespace morva::common {

void check_record_of(const RunGeodesy& record, const std::string& file, const PointSource& run) {
    const std::string mismatch = record_mismatch(record, run.named_points_file, run.binary, run.named_geoid);
    if (!mismatch.empty()) text::stop_run("the run's record " + file + " is not of " + run.name + ": " + mismatch);
}

}  // namespace morva::common
