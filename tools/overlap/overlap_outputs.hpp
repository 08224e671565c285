#pragma once
// Everything morva-overlap writes: the table on standard output, the CSV and
// JSON files, one difference GeoTIFF per pair and the data the picture is
// drawn from. Every file is written under a temporary name beside it and
// renamed when complete.

#include <string>
#include <vector>

#include "limits.hpp"
#include "strip_compare.hpp"

namespace morva::overlap {

struct Campaign {
    std::vector<Strip> strips;
    std::vector<PairResult> pairs;
    std::string crs, crs_name, crs_wkt;
    double resolution = 2;
    SmoothCriteria criteria;
    Limits limits;
    bool forced = false;
    std::vector<std::string> warnings;   // what --force let through
};

std::string table(const Campaign& c);
void write_csv(const Campaign& c, const std::string& path);
void write_json(const Campaign& c, const std::string& path, const std::vector<std::string>& rasters);

// One COG per pair in folder; returns the files' paths, in the pairs' order.
std::vector<std::string> write_rasters(const Campaign& c, const std::string& folder);

// Draws the picture through the Python script beside the program.
void draw_picture(const Campaign& c, const std::string& path, const std::string& program_path);

// The file name of a pair's raster: "dz_A_B.tif" with the flights' names made file-safe.
std::string raster_name(const Campaign& c, const PairResult& p);

// Writes bytes to path through a temporary file beside it.
void write_file(const std::string& path, const std::string& bytes);
std::string temporary_beside(const std::string& path);

}  // namespace morva::overlap
