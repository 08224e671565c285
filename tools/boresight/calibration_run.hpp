#pragma once
// morva-boresight as a library: the calibration of one installation from
// its flights, with the program's options; its main only reads the command
// line into these.

#include <optional>
#include <string>
#include <vector>

#include "georef/geodesy.hpp"
#include "patches.hpp"

namespace morva::boresight {

struct BoresightOptions {
    std::vector<std::string> run_controls;
    std::optional<georef::Geodesy> geodesy;  // --geodesy, when given
    std::vector<std::string> metadata;       // --metadata, one per run control
    std::string json;
    bool write_run_controls = false;
    bool dump_points = false;
    int threads = 0;
    PatchOptions patch;
    int min_patches = 10;
    double max_sigma = 0.005;
};

// Calibrates (or with dump_points writes the recomputed points), prints the
// report on standard output and writes the outputs asked for; returns the
// exit status (1: an angle not determined). A flight that cannot be used
// stops the run (text::RunStopped).
int calibrate(const BoresightOptions& o);

}  // namespace morva::boresight
