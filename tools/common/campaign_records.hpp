#pragma once
// The files of the campaign runner that no output may replace: its record
// and logs beside a flight's run control, and its settings (campaign.toml)
// there and in every folder above.

#include <string>
#include <vector>

#include "inputs/output_guard.hpp"
#include "inputs/run_control.hpp"

namespace morva::common {

// Those of the flight whose files lie in `folder` ("" or "./x/" alike).
std::vector<inputs::RunFile> campaign_records(const std::string& folder);

// A run control's files with their roles (as the output guard takes them),
// and the campaign's records beside it.
std::vector<inputs::RunFile> run_files(const inputs::RunControl& rc, const std::string& run_control,
                                       const std::string& folder);

}  // namespace morva::common
