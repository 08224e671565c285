#include "grid_inputs.hpp"

#include <cstdio>
#include <filesystem>
#include <unistd.h>

#include "geodesy_record.hpp"
#include "inputs/file_guard.hpp"
#include "inputs/output_guard.hpp"
#include "las_crs.hpp"
#include "text/stop.hpp"

namespace morva::grid {
namespace {

[[noreturn]] void fail(const std::string& message) { text::stop_run(message); }

// No output may replace an input (the run's record included), nor a folder or device.
void check_output(const std::string& output, const std::vector<common::PointSource>& sources, const std::string& record) {
    std::vector<inputs::RunFile> files;
    for (const common::PointSource& s : sources) files.insert(files.end(), s.roles.begin(), s.roles.end());
    if (!record.empty()) files.push_back({record, "the run's record"});
    const std::string refusal = inputs::output_refusal(output, files);
    if (!refusal.empty()) fail("the output " + refusal + "; choose another name");
}

// Two outputs that would land on one file (the same file, or one path
// spelled two ways before either exists).
bool one_name(const std::string& a, const std::string& b) {
    std::error_code ea, eb;
    const auto ca = std::filesystem::weakly_canonical(a, ea), cb = std::filesystem::weakly_canonical(b, eb);
    return inputs::same_file(a, b) || (!ea && !eb && ca == cb);
}

// One input given twice (by another name, through a link, or two run
// controls naming one scan-point file) would count its points twice.
void check_distinct(const std::vector<common::PointSource>& sources) {
    for (std::size_t i = 0; i < sources.size(); ++i) {
        for (std::size_t j = 0; j < i; ++j) {
            const common::PointSource &a = sources[j], &b = sources[i];
            if (inputs::same_file(a.name, b.name)) {
                fail(b.name + ": the same file as the input " + a.name + "; give each input once");
            }
            if (inputs::same_file(a.points_file, b.points_file)) {
                fail(b.name + ": its points are those of " + a.name + " (" + b.points_file + "); give each input once");
            }
        }
    }
}

bool readable(const std::string& path) { return ::access(path.c_str(), R_OK) == 0; }

// One raster holds heights of one kind: above one geoid grid (the same
// grid by its content, whatever its name or folder) or above the ellipsoid.
void check_one_vertical(const std::vector<common::PointSource>& sources) {
    const common::PointSource& first = sources.front();
    for (const common::PointSource& s : sources) {
        if (&s == &first) continue;
        if (!s.geoid_file.empty() && !first.geoid_file.empty() && readable(s.geoid_file) && readable(first.geoid_file)) {
            if (!inputs::same_file(s.geoid_file, first.geoid_file) && !common::same_content(s.geoid_file, first.geoid_file)) {
                fail(s.name + ": its heights are above the geoid grid " + s.geoid_file + ", those of " + first.name +
                     " above " + first.geoid_file + ", a grid of other content; one raster holds heights of one kind");
            }
            continue;
        }
        if (s.vertical != first.vertical) {
            fail(s.name + ": its heights are " + s.vertical + ", those of " + first.name + " " + first.vertical +
                 "; one raster holds heights of one kind");
        }
    }
}

// A LAS file's Z scale and offset must leave every height it can hold
// within the raster's type (and its square within a double, for stdev).
void check_heights_fit(const std::vector<common::PointSource>& sources, raster::DataType type) {
    const double limit = type == raster::DataType::Float32 ? 3.4e38 : 1e150;
    for (const common::PointSource& s : sources) {
        if (s.kind != common::SourceKind::Las || common::las_field_limit(s, 2) <= limit) continue;
        char text[256];
        std::snprintf(text, sizeof text, "the LAS header's Z scale %.6g and offset %.6g make heights up to %.3g, beyond "
                      "the %.3g a %s raster holds: a header with a wrong Z scale or offset",
                      s.scale[2], s.offset[2], common::las_field_limit(s, 2), limit,
                      type == raster::DataType::Float32 ? "float32" : "float64");
        fail(s.name + ": " + text);
    }
}


}  // namespace

std::vector<common::PointSource> open_inputs(const GridOptions& o) {
    std::vector<common::PointSource> sources;
    for (const std::string& name : o.inputs) {
        sources.push_back(common::open_source(name, o.input_crs));
        sources.back().filter = o.filter;
    }
    check_one_vertical(sources);
    // The vertical CRS checked before the pass (the raster's horizontal CRS comes after it).
    if (const std::string why = common::raster_crs("EPSG:4326", o.vertical_crs, sources).error; !why.empty()) fail(why);
    check_heights_fit(sources, o.data_type);
    return sources;
}

void check_outputs(const GridOptions& o, const std::vector<common::PointSource>& sources, const std::string& world_file) {
    check_distinct(sources);
    check_output(o.output, sources, o.metadata);
    if (!o.hillshade.empty()) {
        check_output(o.hillshade, sources, o.metadata);
        if (one_name(o.hillshade, o.output)) fail(o.hillshade + ": the picture and the raster share one name");
    }
    if (!world_file.empty()) {
        check_output(world_file, sources, o.metadata);
        if (one_name(world_file, o.output)) fail(world_file + ": the picture's world file and the raster share one name");
        if (one_name(world_file, o.hillshade)) fail(world_file + ": the picture and its world file share one name");
    }
}

// A LAS input's own coordinate system record may say how its points were
// georeferenced too (morva-las writes flat-earth when not told otherwise, so
// it labels nothing by itself); inputs that say different modes make no one
// raster.
std::optional<georef::Geodesy> points_geodesy(const GridOptions& o, const std::vector<common::PointSource>& sources) {
    if (!o.metadata.empty() && sources.size() > 1) {
        fail("--metadata " + o.metadata + ": a run's record tells of one run, not of " + std::to_string(sources.size()) +
             " inputs; give the mosaic's --geodesy instead");
    }
    const common::RunGeodesy given = common::run_geodesy(o.metadata, o.geodesy);
    if (!given.error.empty()) fail(given.error);
    if (given.from_record && sources.front().kind == common::SourceKind::ScanPoints)
        common::check_record_of(given, o.metadata, sources.front());
    const auto name = [](georef::Geodesy g) { return std::string(georef::geodesy_name(g)); };
    const common::PointSource* first = nullptr;
    for (const common::PointSource& s : sources) {
        if (!s.geodesy) continue;
        if (given.mode && *s.geodesy != *given.mode) {
            fail(s.name + ": its coordinate system record says --geodesy " + name(*s.geodesy) + ", " +
                 (o.metadata.empty() ? std::string("--geodesy") : "the run's record " + o.metadata) + " " +
                 name(*given.mode));
        }
        if (first == nullptr) {
            first = &s;
        } else if (*s.geodesy != *first->geodesy) {
            fail(s.name + ": its points were georeferenced with --geodesy " + name(*s.geodesy) + ", those of " +
                 first->name + " with " + name(*first->geodesy) + "; one raster holds points of one georeferencing");
        }
    }
    return given.mode;
}

}  // namespace morva::grid
