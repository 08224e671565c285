#pragma once
// morva-ground when its points do not fit in memory: they are spilled to
// temporary files beside the output, each point once for every tile whose
// margin holds it, and the tiles are classified from there, a few at a time,
// into a class per point kept in a mapped temporary file. The tiles and their
// margins are the in-memory classifier's, each tile's points in the same
// order, so the classes are the same, bit for bit.

#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "ground_settings.hpp"
#include "ground_tile.hpp"
#include "las_reader.hpp"
#include "scratch_file.hpp"

namespace morva::ground_program {

// Bytes each cell of a tile's grid takes in the classifier (about 15 doubles).
constexpr std::uint64_t kBytesPerCell = 15 * 8;

// The program itself, its readers and writer, and the class of every point
// (a byte each, mapped): what the bound holds besides the tiles.
constexpr std::uint64_t kProgramBytes = std::uint64_t{32} << 20;
std::uint64_t spill_fixed_bytes(std::uint64_t points);

// The grid of one tile and its margin.
std::uint64_t tile_grid_bytes(const ground::GroundSettings& settings);

// A point as a tile reads it back: 32 bytes (the spill's size is written
// and read several times over), its place among the output's points in 40 bits.
struct SpilledPoint {
    double x, y, z;
    std::uint32_t id_low;
    std::uint8_t id_high, return_number, number_of_returns, classification;
    std::uint64_t id() const { return std::uint64_t(id_high) << 32 | id_low; }
};
static_assert(sizeof(SpilledPoint) == 32);
constexpr std::uint64_t kMostSpilledPoints = std::uint64_t{1} << 40;

// Bytes each of a tile's points takes while the tile is classified: the
// method's arrays, the order of the job, the method's own lists.
constexpr std::uint64_t kTileBytesPerPoint = 3 * 8 + 3 + 8 + 2 * 8 + 4 + 4 + 1 + 28;

// Takes every point of an output in order, then classifies them.
class PointSpill {
public:
    PointSpill(const std::string& output, std::uint64_t points, const ground::GroundSettings& settings);
    void add(const common::LasPoint& p);
    // The classes of all the points, in order, within `bound` bytes of
    // memory: as many tiles at once as fit (at most --threads), and a stop
    // with one line when not even one does.
    std::span<const std::uint8_t> classify(std::uint64_t bound);

private:
    std::string output_;
    ground::GroundSettings settings_;
    std::unique_ptr<common::ScratchFile> usable_;  // the points the method classifies, in order
    common::ScratchFile classes_file_;
    std::span<std::uint8_t> classes_;
    std::uint64_t next_ = 0;
    ground::CellBox span_;
};

}  // namespace morva::ground_program
