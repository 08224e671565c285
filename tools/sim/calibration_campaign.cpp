#include "calibration_campaign.hpp"

#include <cmath>

#include "georef/georeference.hpp"

namespace morva::sim {
namespace {

constexpr double kRad = 3.14159265358979323846 / 180.0;

// The position `along` metres ahead on `heading` and `right` metres to its
// right of (lat, lon), on the flat earth of the simulator's flights.
void offset(SimOptions& o, double lat, double lon, double heading, double along, double right) {
    const double north = along * std::cos(heading * kRad) - right * std::sin(heading * kRad);
    const double east = along * std::sin(heading * kRad) + right * std::cos(heading * kRad);
    o.lat = lat + north * georef::kDegreesPerMetre;
    o.lon = lon + east / (georef::kMetresPerDegree * std::cos(lat * kRad));
}

}  // namespace

std::vector<CampaignFlight> calibration_flights(const SimOptions& pattern) {
    SimOptions base = pattern;
    if (!is_set(base.surface_origin)) {
        base.surface_origin[0] = pattern.lat;
        base.surface_origin[1] = pattern.lon;
    }
    const double half_line = 0.5 * pattern.speed * pattern.duration;
    const double half_swath = pattern.height * std::tan(0.5 * pattern.fov * kRad);
    const double h = pattern.heading, lat = pattern.lat, lon = pattern.lon;
    // Each line is centred on the centre (the parallel one beside it), so
    // it starts half its length back along its own heading.
    struct Leg {
        const char* folder;
        double heading;
        double right;  // metres to the right of the centre line
    };
    const Leg legs[] = {
        {"1-along", h, 0.0},
        {"2-back", h + 180.0, 0.0},
        {"3-parallel", h, half_swath},
        {"4-cross", h + 90.0, 0.0},
    };
    std::vector<CampaignFlight> flights;
    for (const Leg& leg : legs) {
        CampaignFlight f{leg.folder, base};
        f.opt.heading = leg.heading;
        offset(f.opt, lat, lon, leg.heading, -half_line, leg.right);
        flights.push_back(f);
    }
    return flights;
}

std::string campaign_settings_text(const SimOptions& pattern) {
    std::string out =
        "# A boresight calibration campaign written by morva-sim: four flights over one surface.\n"
        "# 1-along and 2-back fly one line in opposite directions, 3-parallel flies beside it\n"
        "# half a swath to the right, 4-cross crosses it at its middle.\n";
    if (pattern.geodesy == georef::Geodesy::Ellipsoid) out += "geodesy = \"ellipsoid\"\n";
    return out;
}

}  // namespace morva::sim
