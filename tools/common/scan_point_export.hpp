#pragma once
// A run's scan points as LAS records (point format 6, their coordinate
// system, GPS times), streamed in one pass: into a LAS or LAZ file that
// appears only when complete (export_las, morva-las), or to any other sink
// of records (a program that classifies them before writing, say).

#include <cstdint>
#include <functional>
#include <future>
#include <string>

#include "flight_time.hpp"
#include "las_writer.hpp"
#include "scan_point_las.hpp"

namespace morva::common {

// X and Y of n points in the header's projected units (stored integers);
// false stops the export with the message it wrote in why.
using ProjectXY = std::function<bool(const ScanPointRecord* points, std::size_t n, std::int32_t* x, std::int32_t* y,
                                     std::string& why)>;

// What the coordinate system gives the file. PROJ makes it on a thread of
// its own while the export reads the first points.
struct CoordinateSystem {
    std::string error;  // not empty: PROJ could not make it; the export stops with this line and leaves no file
    std::string wkt;
    double scale_xy = kScaleXY;
    double offset_x = 0, offset_y = 0;
    ProjectXY project_xy;  // empty: X and Y are the records' longitude and latitude
};

struct ExportPlan {
    std::string program;           // names every stop: "PROGRAM: what is wrong"
    std::string scan_points;       // the run's scan-point file
    bool binary = false;           // 18-byte records; else text
    bool with_group_size = false;  // text records of an averaging run
    std::string output;
    bool compress = false;  // LAZ
    unsigned threads = 0;   // LAZ compression threads (0: every core)
    TimeBase time;
    // The fixed fields; the counts, bounds, offsets and the coordinate
    // system's scale and offsets are filled by the export.
    Header header;
    std::string wkt_description;
    std::uint16_t point_source_id = 0;
    // Known before PROJ answers: X and Y are the records' own longitude and
    // latitude (the geographic default), so points are converted in memory
    // while PROJ starts. Otherwise the records are only read and held.
    bool geographic = false;
};

// Points converted (or records held) in memory while the coordinate system
// is not yet known: beyond this the export waits for it.
inline constexpr std::size_t kEarlyBytes = std::size_t{64} << 20;

struct ExportCounts {
    std::uint64_t points = 0;
    std::uint64_t not_points = 0;      // records skipped: no time or position, or a latitude beyond a pole
    std::uint64_t unknown_amplitude = 0;  // text amplitudes of asterisks, written as intensity 0
};

// Writes the file (LAS, or LAZ with plan.compress) through common::LasWriter,
// its header and coordinate system record as soon as the coordinate system
// is known; a failure is a stop (text::RunStopped) and leaves no output.
// A coordinate system that fails is the message even when reading the points
// failed first, as if it had been made before them.
ExportCounts export_las(const ExportPlan& plan, std::future<CoordinateSystem> crs);

// Where the records go: begin() once the coordinate system is known, with
// the file's setup (header fields, scale, offsets, the WKT and Extra Bytes
// records; compression and threads are the sink's to choose), then records()
// with blocks of format-6 records as stored, in the scan points' order.
struct LasRecordSink {
    std::function<void(common::LasWriterSetup& setup)> begin;
    std::function<void(const std::uint8_t* records, std::size_t count)> records;
};

// The conversion without a file: every record to the sink (plan.output,
// compress and threads unused). A stop of the sink is named as plan.program's.
ExportCounts scan_points_to_las(const ExportPlan& plan, std::future<CoordinateSystem> crs, const LasRecordSink& sink);

}  // namespace morva::common
