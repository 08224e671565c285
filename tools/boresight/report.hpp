#pragma once
// What a calibration tells: the estimate with its standard deviations and
// correlations, the RMS before and after, the patches per pair of flights,
// or for each angle that cannot be determined, why. As text on standard
// output and as JSON.

#include <array>
#include <string>
#include <vector>

#include "adjustment.hpp"
#include "flight.hpp"
#include "patches.hpp"

namespace morva::boresight {

inline constexpr const char* kAngleNames[3] = {"dpitch", "droll", "dheading"};

struct Calibration {
    std::vector<const Flight*> flights;
    PatchSelection selection;
    Adjustment adjustment;
    std::array<std::string, 3> why;  // for each angle not determined
    std::string geodesy;
    std::vector<std::string> written;  // calibrated run controls
};

// Why each angle the adjustment leaves undetermined cannot be found, from
// the configuration: one flight, too few patches, one direction, level ground.
void explain(Calibration& c, int min_patches, double max_sigma);

bool all_determined(const Calibration& c);

std::string report_text(const Calibration& c);
std::string report_json(const Calibration& c);

// The one line of a refusal: "dpitch cannot be determined: ...; ...".
std::string refusal_line(const Calibration& c);

}  // namespace morva::boresight
