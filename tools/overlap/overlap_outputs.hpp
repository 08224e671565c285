#pragma once
// Everything morva-overlap writes: the table on standard output, the CSV and
// JSON files, one difference GeoTIFF per pair and the picture. Every file is
// staged in one group (common::StagedFiles): all appear when all are
// complete, or none does.

#include <string>
#include <vector>

#include "limits.hpp"
#include "staged_files.hpp"
#include "strip_compare.hpp"

namespace morva::overlap {

struct Campaign {
    std::vector<Strip> strips;
    std::vector<PairResult> pairs;
    std::string crs, crs_name, crs_wkt;
    double resolution = 2;
    SmoothCriteria criteria;
    std::uint64_t min_smooth_cells = kMinSmoothCells;
    Limits limits;
    bool forced = false;
    std::vector<std::string> warnings;   // what --force let through
};

// 0 every pair tested and within its limits, 3 a failure, 4 none but a pair
// or a flight not tested.
int exit_status(const Campaign& c);

std::string table(const Campaign& c);
std::string csv_text(const Campaign& c);
std::string json_text(const Campaign& c, const std::vector<std::string>& rasters);

// One COG per pair, at paths (in the pairs' order), staged; each raster's
// tiles in memory checked against the memory left.
void write_rasters(const Campaign& c, const std::vector<std::string>& paths, common::StagedFiles& staged,
                   std::uint64_t memory_left);

// Draws the picture into temp (the staged file of output) through the Python
// script beside the program; its data go to the script on its standard input.
void draw_picture(const Campaign& c, const std::string& temp, const std::string& output, const std::string& program_path);

// The file name of a pair's raster: "dz_A__B.tif" with the flights' names made file-safe.
std::string raster_name(const Campaign& c, const PairResult& p);

// The --rasters folder: made when missing, and removed again (when still
// empty) unless keep() is called once every output is in place.
class RasterFolder {
public:
    explicit RasterFolder(std::string path) : path_(std::move(path)) {}
    RasterFolder(const RasterFolder&) = delete;
    RasterFolder& operator=(const RasterFolder&) = delete;
    ~RasterFolder();
    void make();
    void keep() { made_.clear(); }

private:
    std::string path_;
    std::vector<std::string> made_;   // folders made here, deepest last
};

}  // namespace morva::overlap
