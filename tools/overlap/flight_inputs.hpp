#pragma once
// The flights to compare: found in a campaign folder (every folder holding
// the campaign's run control, run.in unless campaign.toml names another) or
// named as run controls or LAS files, each opened as morva-grid opens its
// inputs; and what the campaign recorded about each run.

#include <array>
#include <string>
#include <vector>

#include "inputs/output_guard.hpp"
#include "point_source.hpp"

namespace morva::overlap {

struct Flight {
    std::string name;            // the path below the campaign, or the input as given
    std::string input;           // the run control or LAS file
    common::PointSource source;    // its points, their heights' meaning
    std::string geodesy;         // "flat" or "ellipsoid": the campaign's record, morva.err, the LAS file, else "flat"
    std::string morva_version;   // from the campaign's record, or ""
    std::array<double, 3> misalignment{};  // pitch, roll, heading of the run control (degrees)
    std::string geoid_digest;    // the geoid grid's content (FNV-1a 64, hex); empty without one
};

// Every flight of the arguments, in order; a missing flight, a run control
// without scan points or one morva would refuse, and one flight given twice
// (the same run control or points after links) end with one line, exit 1.
// input_crs: the CRS of LAS files that state none; filter: which of their
// points are used; by_source_id: a LAS file is one flight per point source
// ID it holds (named FILE#ID).
std::vector<Flight> find_flights(const std::vector<std::string>& arguments, const std::string& input_crs = "",
                                 const common::PointFilter& filter = {}, bool by_source_id = false);

// What no output may replace: every flight's files and the campaign's records.
std::vector<inputs::RunFile> files_of(const std::vector<Flight>& flights);

// Ends the run with "morva-overlap: MESSAGE" (exit 1).
[[noreturn]] void fail(const std::string& message);

}  // namespace morva::overlap
