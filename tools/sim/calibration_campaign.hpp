#pragma once
// The standard boresight calibration campaign: four flights over one
// surface, two in opposite directions along one line, one parallel to it at
// half a swath, one across it, each in a folder of its own with its run
// control, so that the campaign runner processes them as one campaign.

#include <string>
#include <vector>

#include "sim_options.hpp"

namespace morva::sim {

struct CampaignFlight {
    std::string folder;  // below the campaign folder
    SimOptions opt;
};

// The four flights around the centre `pattern.lat`, `pattern.lon`, the
// first along `pattern.heading`; every other option is each flight's. The
// surface origin is the centre unless `pattern` names one.
std::vector<CampaignFlight> calibration_flights(const SimOptions& pattern);

// campaign.toml of the campaign.
std::string campaign_settings_text(const SimOptions& pattern);

}  // namespace morva::sim
