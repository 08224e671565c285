#include "ground_run.hpp"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <functional>
#include <future>
#include <iostream>
#include <memory>
#include <numeric>
#include <optional>
#include <set>
#include <thread>

#include "classify_ground.hpp"
#include "ground_tile.hpp"
#include "geodesy_record.hpp"
#include "inputs/output_guard.hpp"
#include "las_crs.hpp"
#include "las_reader.hpp"
#include "las_writer.hpp"
#include "memory_budget.hpp"
#include "point_source.hpp"
#include "proj_objects.hpp"
#include "crs_wkt.hpp"
#include "run_las.hpp"
#include "scratch_file.hpp"
#include "spilled_tiles.hpp"
#include "staged_files.hpp"
#include "text/command_line.hpp"
#include "text/stop.hpp"
#include "text/warning.hpp"

namespace morva::ground_program {
namespace {

// run_companion names the program.
[[noreturn]] void fail(const std::string& message) { text::stop_run(message); }

// Bytes each point takes while its tiles are classified: coordinates and
// class here, cell indices, tile order and the new class in the classifier.
constexpr std::uint64_t kBytesPerPoint = 3 * 8 + 1 + 2 * 8 + 4 + 1;

bool is_las_name(const std::string& name) {
    std::string lower = name;
    std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return lower.ends_with(".las") || common::is_laz_name(name);
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
        Group all{std::vector<std::size_t>(o.inputs.size()), o.output};
        std::iota(all.inputs.begin(), all.inputs.end(), std::size_t{0});
        return {all};
    }
    std::set<std::string> outputs;
    for (std::size_t k = 0; k < o.inputs.size(); ++k) {
        std::string out = o.output;
        out.replace(out.find("{}"), 2, std::filesystem::path(o.inputs[k]).stem().string());
        if (!outputs.insert(out).second)
            fail("inputs " + o.inputs[k] + " and another of the same name would both be written to " + out +
                 "; give them different names");
        groups.push_back({{k}, out});
    }
    return groups;
}

// Every output is a LAS or LAZ name, not a folder, device or any input.
void check_outputs(const std::vector<Group>& groups, const std::vector<common::PointSource>& sources,
                   const std::string& record) {
    std::vector<inputs::RunFile> files;
    for (const common::PointSource& s : sources) files.insert(files.end(), s.roles.begin(), s.roles.end());
    if (!record.empty()) files.push_back({record, "the run's record"});
    for (const Group& g : groups) {
        if (!is_las_name(g.output)) fail("the output " + g.output + " must end in .las or .laz");
        const std::string refusal = inputs::output_refusal(g.output, files);
        if (!refusal.empty()) fail("the output " + refusal + "; choose another name");
    }
}

// How the runs went from metres to degrees (the WKT record's description):
// from the run's record when given (of the one run control among the inputs;
// a --geodesy that says otherwise is refused), else --geodesy, else flat.
bool runs_were_ellipsoidal(const GroundOptions& o, const std::vector<common::PointSource>& sources) {
    const common::RunGeodesy given = common::run_geodesy(o.metadata, o.run.geodesy);
    if (!given.error.empty()) fail(given.error);
    if (given.from_record) {
        std::vector<const common::PointSource*> runs;
        for (const common::PointSource& s : sources)
            if (s.kind == common::SourceKind::ScanPoints) runs.push_back(&s);
        if (runs.size() != 1)
            fail("--metadata " + o.metadata + ": a run's record tells of one run control among the inputs, not of " +
                 std::to_string(runs.size()) + "; give --geodesy instead");
        common::check_record_of(given, o.metadata, *runs.front());
    }
    return given.mode == georef::Geodesy::Ellipsoid;
}

// Metres per unit of the CRS's first axis (1 for metres, 0.3048006 for US
// survey feet); 0 when PROJ cannot tell.
double metres_per_unit(const std::string& crs) {
    const common::ProjContext c;
    const common::ProjObject whole(proj_create(c.ctx, crs.c_str()));
    const char* unit = nullptr;
    double factor = 0;
    return whole && common::first_axis_unit(c.ctx, whole.get(), unit, factor) ? factor : 0;
}

// The method's settings in the units of the group's CRS: every length not
// given takes its default in metres, converted.
ground::GroundSettings settings_for(const GroundOptions& o, const std::string& crs, const std::string& name,
                                   const std::string& crs_name) {
    const double metres = metres_per_unit(crs);
    if (!(metres > 0)) fail(name + ": the unit of its coordinate system " + crs_name + " is unknown");
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
    // The lengths no option sets: their defaults, converted.
    for (double ground::GroundSettings::*fixed : {&ground::GroundSettings::reference_window,
                                                  &ground::GroundSettings::scatter_block,
                                                  &ground::GroundSettings::min_height_threshold})
        s.*fixed = defaults.*fixed / metres;
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

// Inputs written to one output share one record layout and one lattice:
// why h's differ from first's, or empty.
std::string unlike(const common::LasHeader& first, const common::LasHeader& h) {
    const bool alike = h.point_format == first.point_format && h.record_length == first.record_length &&
                       std::equal(h.scale, h.scale + 3, first.scale) && std::equal(h.offset, h.offset + 3, first.offset);
    if (alike) return "";
    return h.path + " differs from " + first.path + " in point format, record length, scale or offset (" +
           std::to_string(h.point_format) + "/" + std::to_string(h.record_length) + " against " +
           std::to_string(first.point_format) + "/" + std::to_string(first.record_length) +
           "): one output needs one layout; classify them apart with --each";
}

// One input of a group: a LAS file, read again when written, or a run's
// scan points made into LAS records once and held, in memory or, when the
// points are spilled, in a temporary file. A LAZ file's records are held in
// memory too where they fit: decompressed once instead of twice.
struct GroupInput {
    const common::PointSource* source = nullptr;
    std::vector<std::uint8_t> records;  // a run's records, as they will be written, or a LAZ file's
    std::unique_ptr<common::ScratchFile> record_file;  // or there
    std::uint64_t points = 0;
    common::LasHeader header;  // a LAS input's: its records' lattice
    bool held = false;         // its records are in `records` or `record_file`
};

// What one output is: the first input's header (its records' layout, lattice
// and coordinate system records), and the horizontal CRS of every input.
struct Layout {
    bool known = false;
    common::LasHeader header;
    std::string crs, crs_name;
};

// What the classifier reads of every point (the returns not yet: the method
// does not use them, and 20 million points would hold 40 MB of them).
struct Cloud {
    std::vector<double> x, y, z;
    std::vector<std::uint8_t> classification;
    void add(const common::LasPoint& p) {
        x.push_back(p.x);
        y.push_back(p.y);
        z.push_back(p.z);
        classification.push_back(p.classification);
    }
};

// Every point of the group's inputs in order with its record as stored in
// p.raw; with LasFields::Geometry decoded (scale and offset applied; a LAZ
// input decompresses only what the classification reads). The write pass
// takes the records alone: a run's are then not decoded.
template <typename Visit>
void visit_points(const std::vector<GroupInput>& inputs, const common::LasHeader& head, common::LasFields fields,
                  Visit visit) {
    std::vector<common::LasPoint> block;
    common::LasPoint p;
    constexpr std::uint64_t kRecords = std::uint64_t{1} << 16;  // a run's records read back at once
    std::vector<std::uint8_t> records;
    const std::size_t length = head.record_length;
    for (const GroupInput& in : inputs) {
        if (in.held) {
            const common::LasHeader& lattice = in.source->kind == common::SourceKind::ScanPoints ? head : in.header;
            for (std::uint64_t first = 0; first < in.points; first += kRecords) {
                const std::size_t n = std::size_t(std::min(kRecords, in.points - first));
                const std::uint8_t* at = in.records.data() + first * length;
                if (in.record_file) {
                    records.resize(n * length);
                    in.record_file->read_at(records.data(), n * length, first * length);
                    at = records.data();
                }
                for (std::size_t k = 0; k < n; ++k) {
                    p.raw = at + k * length;
                    if (fields == common::LasFields::Geometry) common::decode_point(lattice, p.raw, p);
                    visit(p);
                }
            }
            continue;
        }
        common::LasReader reader(in.source->points_file, fields);
        while (reader.read(block))
            for (const common::LasPoint& q : block) visit(q);
    }
}

// A LAZ input's records decompressed once and held for both passes, where
// they fit within the bound beside what the classification takes (`needed`):
// the second decompression is most of the time left on such a file.
void hold_compressed_records(std::vector<GroupInput>& inputs, double needed, std::uint64_t bound) {
    for (GroupInput& in : inputs) {
        if (in.source->kind != common::SourceKind::Las || !in.header.compressed) continue;
        const double bytes = double(in.points) * double(in.header.record_length);
        if (needed + bytes > double(bound)) continue;
        needed += bytes;
        common::LasReader reader(in.source->points_file, common::LasFields::All);
        const std::size_t length = in.header.record_length;
        in.records.reserve(std::size_t(in.points) * length);
        std::vector<common::LasPoint> block;
        while (reader.read(block))  // a block's records lie one after the other
            in.records.insert(in.records.end(), block.front().raw, block.front().raw + block.size() * length);
        in.held = true;
    }
}

Cloud read_cloud(const std::vector<GroupInput>& inputs, const common::LasHeader& head, std::uint64_t total) {
    Cloud c;
    for (auto* v : {&c.x, &c.y, &c.z}) v->reserve(total);
    c.classification.reserve(total);
    visit_points(inputs, head, common::LasFields::Geometry, [&c](const common::LasPoint& p) { c.add(p); });
    return c;
}

// Where a LAS point record keeps its class: formats 0-5 in the low five bits
// of byte 15 (the synthetic, key-point and withheld flags above them), 6-10
// in byte 16.
void set_record_class(std::uint8_t* record, int point_format, std::uint8_t cls) {
    if (point_format >= 6)
        record[16] = cls;
    else
        record[15] = std::uint8_t((record[15] & 0xE0) | (cls & 31));
}

std::uint8_t record_class(const std::uint8_t* record, int point_format) {
    return point_format >= 6 ? record[16] : record[15] & 31;
}

struct Tally {
    std::string output;
    std::uint64_t points = 0, ground = 0, low_noise = 0, unclassified = 0, kept = 0;
    bool spilled = false;  // classified tile by tile from temporary files
    void add(std::uint8_t before, std::uint8_t after, bool keep_existing) {
        ++points;
        if (keep_existing && before > ground::kUnclassified)
            ++kept;
        else if (after == ground::kGround)
            ++ground;
        else if (after == ground::kLowNoise)
            ++low_noise;
        else
            ++unclassified;
    }
};

// The records again, each with its new class, into the output; the classes
// tallied against those the records had.
Tally write_cloud(const std::vector<GroupInput>& inputs, std::span<const std::uint8_t> classes,
                  const common::LasHeader& head, const std::string& output, const ground::GroundSettings& settings,
                  common::StagedFiles& files) {
    Tally tally;
    tally.output = output;
    const unsigned threads = settings.threads;
    common::LasWriterSetup setup;
    setup.header = head;
    setup.compress = common::is_laz_name(output);
    setup.threads = threads;
    setup.generating_software = "morva-ground " + std::string(text::project_version());
    common::LasWriter writer(files, output, setup);
    constexpr std::size_t kBlock = std::size_t{1} << 16;
    const std::size_t length = head.record_length;
    // With more than one thread a block is written while the next is
    // filled: the copy into the file's pages costs about as much as the
    // reading. The blocks go out one at a time, in order.
    const bool overlap = threads != 1;
    std::vector<std::uint8_t> blocks[2] = {std::vector<std::uint8_t>(kBlock * length),
                                           std::vector<std::uint8_t>(overlap ? kBlock * length : 0)};
    int filling = 0;
    std::future<void> writing;  // the block before, being written; destroyed (waited for) before the blocks
    auto hand_over = [&](std::size_t count) {
        if (!overlap) return writer.write(blocks[0].data(), count);
        if (writing.valid()) writing.get();  // its failure, if any, stops the run here
        writing = std::async(std::launch::async,
                             [&writer, records = blocks[filling].data(), count] { writer.write(records, count); });
        filling ^= 1;
    };
    std::size_t in_block = 0, at = 0;
    visit_points(inputs, head, common::LasFields::All, [&](const common::LasPoint& p) {
        std::uint8_t* record = blocks[filling].data() + in_block * length;
        std::memcpy(record, p.raw, length);
        tally.add(record_class(record, head.point_format), classes[at], settings.keep_existing);
        set_record_class(record, head.point_format, classes[at++]);
        if (++in_block == kBlock) {
            hand_over(in_block);
            in_block = 0;
        }
    });
    hand_over(in_block);
    if (writing.valid()) writing.get();
    writer.finish();
    return tally;
}

// The coordinate system the group's runs are projected into (as morva-las
// --crs projects them): that of the bounds of all of them, about the offsets
// of the group's first LAS input when it has one (its scale must then be the
// runs' 1 mm). Runs with different geoid grids make no one output.
struct RunProjection {
    common::CoordinateSystem cs;
    std::string horizontal, name;  // the horizontal CRS as WKT and PROJ's name of it
};

RunProjection run_projection(const GroundOptions& o, const std::vector<GroupInput>& inputs) {
    RunProjection r;
    common::GeoBounds bounds;
    const common::PointSource* first_run = nullptr;
    std::optional<common::LasHeader> first_las;
    for (const GroupInput& in : inputs) {
        const common::PointSource& s = *in.source;
        if (s.kind == common::SourceKind::Las) {
            if (!first_las) first_las = common::LasReader(s.points_file).header();
            continue;
        }
        if (first_run == nullptr) first_run = &s;
        if (s.named_geoid != first_run->named_geoid)
            fail(s.name + "'s heights are " + s.vertical + ", " + first_run->name + "'s " + first_run->vertical +
                 ": one output needs one system of heights; classify them apart with --each");
        if (s.bounds.empty) continue;
        if (bounds.empty) bounds = s.bounds;
        bounds.lon_min = std::min(bounds.lon_min, s.bounds.lon_min);
        bounds.lon_max = std::max(bounds.lon_max, s.bounds.lon_max);
        bounds.lat_min = std::min(bounds.lat_min, s.bounds.lat_min);
        bounds.lat_max = std::max(bounds.lat_max, s.bounds.lat_max);
    }
    if (first_run == nullptr) return r;
    r.cs = common::run_coordinate_system(o.run.crs, o.run.vertical_crs, first_run->named_geoid, bounds,
                                      first_las ? first_las->offset : nullptr);
    if (!r.cs.error.empty()) fail("--crs " + o.run.crs + ": " + r.cs.error);
    const common::CrsFacts facts = common::crs_facts(r.cs.wkt);
    if (!facts.error.empty()) fail("--crs " + o.run.crs + ": " + facts.error);
    r.horizontal = facts.horizontal;
    r.name = facts.name + " (--crs " + o.run.crs + ")";
    return r;
}

// The header of the output is the first input's; every other input must
// share its coordinate system and its records' layout.
void join(Layout& layout, const common::LasHeader& h, const std::string& crs, const std::string& crs_name,
          const std::string& name, const std::function<void(const std::string&)>& refuse) {
    if (!layout.known) {
        layout = {true, h, crs, crs_name};
        return;
    }
    if (crs != layout.crs)
        refuse(name + " is in " + crs_name + ", " + layout.header.path + " in " + layout.crs_name +
               ": one output needs one coordinate system; classify them apart with --each");
    const std::string why = unlike(layout.header, h);
    if (!why.empty()) refuse(why);
}

// A run's scan points made into LAS records, as morva-las writes them, held
// for the classifier and the output: in memory, or in a temporary file beside
// `spill_beside` when that is given.
void convert_run(const GroundOptions& o, bool ellipsoidal, const RunProjection& projection, GroupInput& in,
                 Layout& layout, const std::string& spill_beside) {
    const common::PointSource& s = *in.source;
    // The export's stops name the run control (run_companion names the program).
    const std::optional<common::Date> date = common::flight_date(s.name, o.run, s.scanner_file);
    const common::ExportPlan plan = common::run_export_plan(s.name, "morva-ground", o.run, date, ellipsoidal, s);
    common::LasRecordSink sink;
    std::size_t length = 0;
    struct Refused {};  // past the export's naming of its stops
    std::string refusal;
    sink.begin = [&](common::LasWriterSetup& setup) {
        setup.header.path = s.name;
        length = setup.header.record_length;
        join(layout, setup.header, projection.horizontal, projection.name, s.name, [&](const std::string& why) {
            refusal = why;
            throw Refused{};
        });
    };
    in.held = true;
    if (spill_beside.empty())
        in.records.reserve(s.records * (common::kFormat6Size + common::extra_bytes(!s.binary, s.with_group_size)));
    else
        in.record_file = std::make_unique<common::ScratchFile>(spill_beside);
    sink.records = [&](const std::uint8_t* records, std::size_t count) {
        if (in.record_file)
            in.record_file->append(records, count * length);
        else
            in.records.insert(in.records.end(), records, records + count * length);
        in.points += count;
    };
    std::promise<common::CoordinateSystem> made;
    made.set_value(projection.cs);
    common::ExportCounts counts;
    try {
        counts = common::scan_points_to_las(plan, made.get_future(), sink);
    } catch (const Refused&) {
        fail(refusal);
    }
    if (in.record_file) in.record_file->flush();
    if (counts.not_points > 0)
        text::warn(s.name + ": " + std::to_string(counts.not_points) +
                   " records skipped: their time, latitude, longitude or height was not written, or their latitude "
                   "lies beyond +-90 degrees");
}

Tally classify_group(const GroundOptions& o, bool ellipsoidal, const Group& group,
                     const std::vector<common::PointSource>& all, common::StagedFiles& files) {
    std::vector<GroupInput> inputs;
    for (const std::size_t k : group.inputs) {
        inputs.emplace_back();
        inputs.back().source = &all[k];
    }
    const common::PointSource& first = *inputs.front().source;
    const RunProjection projection = run_projection(o, inputs);
    const bool first_las = first.kind == common::SourceKind::Las;
    ground::GroundSettings settings = settings_for(o, first_las ? first.crs : projection.horizontal, first.name,
                                                   first_las ? first.crs_name : projection.name);

    // Points at most (a run's records, valid or not), each held as its
    // coordinates and, for a run, its record (format 6, at most 3 extra bytes).
    double needed = 0;
    std::uint64_t planned = 0;
    for (const GroupInput& in : inputs) {
        const bool las = in.source->kind == common::SourceKind::Las;
        const std::uint64_t n = las ? in.source->point_count : in.source->records;
        planned += n;
        needed += double(n) * double(kBytesPerPoint + (las ? 0 : 33));
    }
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    const unsigned threads = settings.threads ? settings.threads : cores;
    needed += double(threads) * double(tile_grid_bytes(settings));
    // Beyond the bound the points go to disk tile by tile: then a tile's grid
    // must fit at least.
    const std::uint64_t bound = o.max_memory ? o.max_memory : common::default_memory_bound();
    const bool spill = needed > double(bound);
    if (spill)
        common::check_memory(spill_fixed_bytes(planned) + tile_grid_bytes(settings), bound, "classifying " + std::to_string(planned) +
                             " points tile by tile", "give a smaller --tile-size");

    Layout layout;
    for (GroupInput& in : inputs) {
        if (in.source->kind == common::SourceKind::ScanPoints) {
            convert_run(o, ellipsoidal, projection, in, layout, spill ? group.output : "");
            continue;
        }
        in.header = common::LasReader(in.source->points_file).header();
        in.points = in.header.point_count;
        join(layout, in.header, in.source->crs, in.source->crs_name, in.source->name,
             [](const std::string& why) { fail(why); });
    }
    std::uint64_t total = 0;
    for (const GroupInput& in : inputs) total += in.points;
    if (total == 0) fail(group.inputs.size() == 1 ? first.name + " holds no points" : "the inputs hold no points");

    if (spill) {
        if (total >= kMostSpilledPoints) fail("more than 2^40 points to classify from disk: give fewer inputs to one output (--each)");
        PointSpill spilled(group.output, total, settings);
        visit_points(inputs, layout.header, common::LasFields::Geometry, [&](const common::LasPoint& p) { spilled.add(p); });
        Tally t = write_cloud(inputs, spilled.classify(bound), layout.header, group.output, settings, files);
        t.spilled = true;
        return t;
    }
    hold_compressed_records(inputs, needed, bound);
    std::vector<std::uint8_t> classes;
    {  // the points' memory given back before the output is written: its pages serve the output's
        const Cloud cloud = read_cloud(inputs, layout.header, total);
        const ground::Points points{cloud.x, cloud.y, cloud.z, {}, {}, cloud.classification};
        classes = ground::classify_ground(points, settings);
    }
    return write_cloud(inputs, classes, layout.header, group.output, settings, files);
}

std::string share(std::uint64_t part, std::uint64_t whole) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f %%", whole ? 100.0 * double(part) / double(whole) : 0.0);
    return text;
}

}  // namespace

int classify_inputs(const GroundOptions& o) {
    std::vector<common::PointSource> sources;
    bool runs = false;
    for (const std::string& name : o.inputs) {
        common::PointSource s = common::open_source(name, o.input_crs);
        if (s.kind == common::SourceKind::Las && !s.projected)
            fail(name + ": its coordinates are longitude and latitude; the classifier's lengths need a projected "
                        "coordinate system (reproject the file, or name its system with --input-crs if it states a wrong one)");
        runs = runs || s.kind == common::SourceKind::ScanPoints;
        sources.push_back(std::move(s));
    }
    if (runs && o.run.crs != "utm" && !common::is_projected_crs(o.run.crs))
        fail("--crs " + o.run.crs + " is not a projected coordinate system PROJ knows: the classifier's lengths need "
             "easting and northing (utm, or e.g. EPSG:25832)");
    const bool ellipsoidal = runs_were_ellipsoidal(o, sources);
    const std::vector<Group> groups = make_groups(o);
    check_outputs(groups, sources, o.metadata);

    common::StagedFiles files;
    std::vector<Tally> tallies;
    for (const Group& g : groups) tallies.push_back(classify_group(o, ellipsoidal, g, sources, files));
    files.commit();
    for (const Tally& t : tallies) {
        std::cout << t.output << ": " << t.points << " points: " << t.ground << " ground (" << share(t.ground, t.points)
                  << "), " << t.low_noise << " low noise (" << share(t.low_noise, t.points) << "), " << t.unclassified
                  << " unclassified (" << share(t.unclassified, t.points) << ")";
        if (o.settings.keep_existing) std::cout << ", " << t.kept << " kept as they were";
        if (t.spilled) std::cout << "; tile by tile from disk, the points exceeding the memory bound";
        std::cout << '\n';
    }
    return 0;
}

}  // namespace morva::ground_program
