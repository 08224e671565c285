#include "ground_run.hpp"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <iostream>
#include <set>
#include <string_view>
#include <thread>

#include "classify_ground.hpp"
#include "crs_unit.hpp"
#include "ground_tile.hpp"
#include "inputs/output_guard.hpp"
#include "las_class_field.hpp"
#include "las_reader.hpp"
#include "las_writer.hpp"
#include "memory_budget.hpp"
#include "point_source.hpp"
#include "staged_files.hpp"
#include "text/command_line.hpp"
#include "text/stop.hpp"

namespace morva::ground_program {
namespace {

[[noreturn]] void fail(const std::string& message) { text::stop_run("morva-ground: " + message); }

// Bytes each point takes while its tiles are classified: coordinates,
// returns and classes here, cell indices and tile order in the classifier.
constexpr std::uint64_t kBytesPerPoint = 3 * 8 + 4 + 2 * 8 + 2 * 4 + 4;
// Bytes each cell of a tile's grid takes in the classifier (about 15 doubles).
constexpr std::uint64_t kBytesPerCell = 15 * 8;

bool ends_with(std::string_view text, std::string_view end) {
    return text.size() >= end.size() && text.substr(text.size() - end.size()) == end;
}

bool is_las_name(const std::string& name) {
    std::string lower = name;
    std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return ends_with(lower, ".las") || common::is_laz_name(name);
}

// The input's name without its folder and its extension.
std::string stem_of(const std::string& path) {
    std::string name = path.substr(path.rfind('/') == std::string::npos ? 0 : path.rfind('/') + 1);
    const std::size_t dot = name.rfind('.');
    return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

struct Group {
    std::vector<std::size_t> inputs;
    std::string output;
};

// One output of every input, or one output per input (--each: {} in the
// pattern stands for the input's name without folder and extension).
std::vector<Group> make_groups(const GroundOptions& o) {
    std::vector<Group> groups;
    if (!o.each) {
        Group all{{}, o.output};
        for (std::size_t k = 0; k < o.inputs.size(); ++k) all.inputs.push_back(k);
        groups.push_back(all);
        return groups;
    }
    std::set<std::string> outputs;
    for (std::size_t k = 0; k < o.inputs.size(); ++k) {
        std::string out = o.output;
        out.replace(out.find("{}"), 2, stem_of(o.inputs[k]));
        if (!outputs.insert(out).second)
            fail("inputs " + o.inputs[k] + " and another of the same name would both be written to " + out +
                 "; give them different names");
        groups.push_back({{k}, out});
    }
    return groups;
}

// Every output is a LAS or LAZ name, not a folder, device or any input.
void check_outputs(const std::vector<Group>& groups, const std::vector<grid::PointSource>& sources) {
    std::vector<inputs::RunFile> files;
    for (const grid::PointSource& s : sources) files.insert(files.end(), s.roles.begin(), s.roles.end());
    for (const Group& g : groups) {
        if (!is_las_name(g.output)) fail("the output " + g.output + " must end in .las or .laz");
        const std::string refusal = inputs::output_refusal(g.output, files);
        if (!refusal.empty()) fail("the output " + refusal + "; choose another name");
    }
}

// The method's settings in the units of the group's CRS: every length not
// given takes its default in metres, converted.
ground::GroundSettings settings_for(const GroundOptions& o, const grid::PointSource& first) {
    const double metres = metres_per_unit(first.crs);
    if (!(metres > 0)) fail(first.name + ": the unit of its coordinate system " + first.crs_name + " is unknown");
    const ground::GroundSettings defaults;
    ground::GroundSettings s = o.settings;
    auto length = [metres](double given, double fallback) { return std::isnan(given) ? fallback / metres : given; };
    s.cell_size = length(s.cell_size, defaults.cell_size);
    s.max_window = length(s.max_window, defaults.max_window);
    s.height_threshold = length(s.height_threshold, defaults.height_threshold);
    s.low_noise_depth = length(s.low_noise_depth, defaults.low_noise_depth);
    s.low_noise_radius = length(s.low_noise_radius, defaults.low_noise_radius);
    s.fill_distance = length(s.fill_distance, defaults.fill_distance);
    s.tile_size = length(s.tile_size, defaults.tile_size);
    const std::string units = metres == 1 ? "" : " (lengths in units of " + text::number_text(metres) + " m)";
    if (s.max_window < s.cell_size)
        fail("--max-window " + text::number_text(s.max_window) + " is less than the cell size " +
             text::number_text(s.cell_size) + units + ": the openings would find no object");
    if (s.tile_size < s.cell_size)
        fail("--tile-size " + text::number_text(s.tile_size) + " is less than the cell size " +
             text::number_text(s.cell_size) + units);
    if (s.low_noise_radius < s.cell_size)
        fail("--low-noise-radius " + text::number_text(s.low_noise_radius) + " is less than the cell size " +
             text::number_text(s.cell_size) + units + ": no cell would be judged against its neighbours");
    return s;
}

// Inputs written to one output share one record layout and one lattice.
void check_alike(const common::LasHeader& first, const common::LasHeader& h) {
    const bool alike = h.point_format == first.point_format && h.record_length == first.record_length &&
                       std::equal(h.scale, h.scale + 3, first.scale) && std::equal(h.offset, h.offset + 3, first.offset);
    if (!alike)
        fail(h.path + " differs from " + first.path + " in point format, record length, scale or offset (" +
             std::to_string(h.point_format) + "/" + std::to_string(h.record_length) + " against " +
             std::to_string(first.point_format) + "/" + std::to_string(first.record_length) +
             "): one output needs one layout; classify them apart with --each");
}

struct Cloud {
    std::vector<double> x, y, z;
    std::vector<std::uint8_t> return_number, number_of_returns, classification;
};

Cloud read_cloud(const std::vector<const grid::PointSource*>& sources, std::uint64_t total) {
    Cloud c;
    for (auto* v : {&c.x, &c.y, &c.z}) v->reserve(total);
    for (auto* v : {&c.return_number, &c.number_of_returns, &c.classification}) v->reserve(total);
    std::vector<common::LasPoint> block;
    for (const grid::PointSource* s : sources) {
        common::LasReader reader(s->points_file);
        while (reader.read(block)) {
            for (const common::LasPoint& p : block) {
                c.x.push_back(p.x);
                c.y.push_back(p.y);
                c.z.push_back(p.z);
                c.return_number.push_back(p.return_number);
                c.number_of_returns.push_back(p.number_of_returns);
                c.classification.push_back(p.classification);
            }
        }
    }
    return c;
}

struct Tally {
    std::string output;
    std::uint64_t points = 0, ground = 0, low_noise = 0, unclassified = 0, kept = 0;
};

// The records again, each with its new class, into the output.
void write_cloud(const std::vector<const grid::PointSource*>& sources, const std::vector<std::uint8_t>& classes,
                 const common::LasHeader& first, const std::string& output, unsigned threads,
                 common::StagedFiles& files) {
    common::LasWriterSetup setup;
    setup.header = first;
    setup.compress = common::is_laz_name(output);
    setup.threads = threads;
    setup.generating_software = "morva-ground " + std::string(text::project_version());
    common::LasWriter writer(files, output, setup);
    std::vector<common::LasPoint> block;
    std::vector<std::uint8_t> records;
    const std::size_t length = first.record_length;
    std::size_t at = 0;
    for (const grid::PointSource* s : sources) {
        common::LasReader reader(s->points_file);
        while (reader.read(block)) {
            records.resize(block.size() * length);
            for (std::size_t k = 0; k < block.size(); ++k) {
                std::uint8_t* record = records.data() + k * length;
                std::memcpy(record, block[k].raw, length);
                set_record_class(record, first.point_format, classes[at + k]);
            }
            writer.write(records.data(), block.size());
            at += block.size();
        }
    }
    writer.finish();
}

Tally classify_group(const GroundOptions& o, const Group& group, const std::vector<grid::PointSource>& all,
                     common::StagedFiles& files) {
    std::vector<const grid::PointSource*> sources;
    for (const std::size_t k : group.inputs) sources.push_back(&all[k]);
    const grid::PointSource& first = *sources.front();
    const common::LasHeader head = common::LasReader(first.points_file).header();
    std::uint64_t total = 0;
    for (const grid::PointSource* s : sources) {
        if (s->crs != first.crs)
            fail(s->name + " is in " + s->crs_name + ", " + first.name + " in " + first.crs_name +
                 ": one output needs one coordinate system; classify them apart with --each");
        check_alike(head, common::LasReader(s->points_file).header());
        total += s->point_count;
    }
    if (total == 0) fail(group.inputs.size() == 1 ? first.name + " holds no points" : "the inputs hold no points");

    ground::GroundSettings settings = settings_for(o, first);
    const std::uint64_t side = std::uint64_t(std::llround(settings.tile_size / settings.cell_size)) +
                               2 * std::uint64_t(ground::reach_in_cells(settings));
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    const unsigned threads = settings.threads ? settings.threads : cores;
    const double needed = double(total) * kBytesPerPoint + double(threads) * double(side) * double(side) * kBytesPerCell;
    common::check_memory(std::uint64_t(std::min(needed, 1.8e19)), o.max_memory ? o.max_memory : common::default_memory_bound(),
                         "classifying " + std::to_string(total) + " points",
                         "give fewer inputs to one output (--each), fewer --threads or a smaller --tile-size");

    const Cloud cloud = read_cloud(sources, total);
    ground::Points points{cloud.x, cloud.y, cloud.z, cloud.return_number, cloud.number_of_returns, cloud.classification};
    const std::vector<std::uint8_t> classes = ground::classify_ground(points, settings);
    write_cloud(sources, classes, head, group.output, settings.threads, files);

    Tally t;
    t.output = group.output;
    t.points = classes.size();
    for (std::size_t i = 0; i < classes.size(); ++i) {
        if (settings.keep_existing && cloud.classification[i] > ground::kUnclassified)
            ++t.kept;
        else if (classes[i] == ground::kGround)
            ++t.ground;
        else if (classes[i] == ground::kLowNoise)
            ++t.low_noise;
        else
            ++t.unclassified;
    }
    return t;
}

std::string share(std::uint64_t part, std::uint64_t whole) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f %%", whole ? 100.0 * double(part) / double(whole) : 0.0);
    return text;
}

}  // namespace

int classify_inputs(const GroundOptions& o) {
    std::vector<grid::PointSource> sources;
    for (const std::string& name : o.inputs) {
        grid::PointSource s = grid::open_source(name, o.input_crs);
        if (s.kind != grid::SourceKind::Las)
            fail(name + ": a run control's scan points are not classified here; make a projected LAS or LAZ file of them first (morva-las --crs utm RUN_CONTROL OUT.laz)");
        if (!s.projected)
            fail(name + ": its coordinates are longitude and latitude; the classifier's lengths need a projected "
                        "coordinate system (reproject the file, or name its system with --input-crs if it states a wrong one)");
        sources.push_back(std::move(s));
    }
    const std::vector<Group> groups = make_groups(o);
    check_outputs(groups, sources);

    common::StagedFiles files;
    std::vector<Tally> tallies;
    for (const Group& g : groups) tallies.push_back(classify_group(o, g, sources, files));
    files.commit();
    for (const Tally& t : tallies) {
        std::cout << t.output << ": " << t.points << " points: " << t.ground << " ground (" << share(t.ground, t.points)
                  << "), " << t.low_noise << " low noise (" << share(t.low_noise, t.points) << "), " << t.unclassified
                  << " unclassified (" << share(t.unclassified, t.points) << ")";
        if (o.settings.keep_existing) std::cout << ", " << t.kept << " kept as they were";
        std::cout << '\n';
    }
    return 0;
}

}  // namespace morva::ground_program
