#include "point_pass.hpp"

#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <thread>

#include "text/stop.hpp"

namespace morva::raster {
namespace {

// Blocks handed from the reader thread to the caller's, at most kQueued at once.
constexpr std::size_t kQueued = 3;

// A block read and projected.
struct Handed {
    common::PointBlock block;
    std::vector<common::Projected> en;
    std::vector<CellIndex> cells;
};

struct Handover {
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<std::unique_ptr<Handed>> full, spare;
    bool finished = false;   // the reader is done (or failed)
    bool cancelled = false;  // the caller stopped: the reader must give up
    std::exception_ptr failure;
};

struct Cancelled {};

// The projection, waited for when the first block needs it.
struct ProjectionWait {
    std::future<common::ProjectionSetup>& pending;
    common::ProjectionSetup& setup;
    bool have = false;
    void get() {
        if (have) return;
        setup = pending.get();
        have = true;
        if (!setup.error.empty()) text::stop_run(setup.error);
    }
};

// The reader's thread decodes and projects; the caller's thread bins.
void read_all(const std::vector<common::PointSource>& sources, Handover& h, std::vector<common::StreamCounts>& counts,
              ProjectionWait& projection, double cell_resolution) {
    const CellLocator locate(cell_resolution > 0 ? cell_resolution : 1);
    try {
        for (std::uint32_t s = 0; s < sources.size(); ++s) {
            counts[s] = common::stream_points(sources[s], s, [&](common::PointBlock& block) {
                std::unique_ptr<Handed> copy;
                {
                    std::unique_lock lock(h.mutex);
                    h.changed.wait(lock, [&] { return h.cancelled || !h.spare.empty() || h.full.size() < kQueued; });
                    if (h.cancelled) throw Cancelled{};
                    if (!h.spare.empty()) {
                        copy = std::move(h.spare.front());
                        h.spare.pop_front();
                    }
                }
                if (!copy) copy = std::make_unique<Handed>();
                copy->block.source = block.source;
                std::swap(copy->block.points, block.points);  // the points move; the reader fills the vector handed back
                block.points.clear();
                block.points.reserve(common::kBlockPoints);
                const std::vector<common::GeoPoint>& points = copy->block.points;
                projection.get();
                copy->en.resize(points.size());
                std::size_t bad = 0;
                if (!common::project(*projection.setup.projection, points.data(), copy->en.data(), copy->en.size(), &bad)) {
                    text::stop_run(sources[copy->block.source].name + ": " + common::point_at(points[bad]) +
                                   " has no coordinates in " + projection.setup.crs_name);
                }
                copy->cells.resize(cell_resolution > 0 ? points.size() : 0);
                for (std::size_t k = 0; k < copy->cells.size(); ++k) copy->cells[k] = locate(copy->en[k].e, copy->en[k].n);
                {
                    std::lock_guard lock(h.mutex);
                    h.full.push_back(std::move(copy));
                }
                h.changed.notify_all();
            });
        }
        projection.get();
    } catch (const Cancelled&) {
    } catch (...) {
        std::lock_guard lock(h.mutex);
        h.failure = std::current_exception();
    }
    {
        std::lock_guard lock(h.mutex);
        h.finished = true;
    }
    h.changed.notify_all();
}

}  // namespace

void inputs_centre(const std::vector<common::PointSource>& sources, double& lon, double& lat) {
    common::GeoBounds all;
    for (const common::PointSource& s : sources) {
        if (s.bounds.empty) continue;
        if (all.empty) {
            all = s.bounds;
            continue;
        }
        all.lon_min = std::min(all.lon_min, s.bounds.lon_min);
        all.lon_max = std::max(all.lon_max, s.bounds.lon_max);
        all.lat_min = std::min(all.lat_min, s.bounds.lat_min);
        all.lat_max = std::max(all.lat_max, s.bounds.lat_max);
    }
    lon = all.empty ? 0 : 0.5 * (all.lon_min + all.lon_max);
    lat = all.empty ? 0 : 0.5 * (all.lat_min + all.lat_max);
}

common::ProjectionRequest projection_request(const std::vector<common::PointSource>& sources, const std::string& crs) {
    common::ProjectionRequest request;
    request.crs = crs.empty() ? "utm" : crs;
    inputs_centre(sources, request.centre_lon, request.centre_lat);
    request.vertical = sources.front().vertical;
    const common::PointSource& first = sources.front();
    for (const common::PointSource& s : sources) {
        if (s.projected != first.projected || s.crs != first.crs) {
            text::stop_run(s.name + ": its coordinate system (" + (s.crs_name.empty() ? "WGS 84" : s.crs_name) +
                           ") differs from that of " + first.name + " (" +
                           (first.crs_name.empty() ? "WGS 84" : first.crs_name) +
                           "): give inputs of one coordinate system");
        }
    }
    if (first.projected) {
        if (!crs.empty()) {
            text::stop_run(first.name + ": its points are in a projected CRS (" + first.crs_name +
                           "), gridded in that CRS: --crs is for geographic inputs");
        }
        request.crs = first.crs;
        request.native = true;
    } else if (!first.crs.empty()) {
        request.source_crs = first.crs;
    }
    return request;
}

PassCounts project_points(const std::vector<common::PointSource>& sources, std::future<common::ProjectionSetup>& pending,
                          common::ProjectionSetup& setup, const std::function<void(const ProjectedBlock&)>& sink,
                          double cell_resolution) {
    Handover h;
    std::vector<common::StreamCounts> counts(sources.size());
    ProjectionWait projection{pending, setup};
    std::thread reader(read_all, std::cref(sources), std::ref(h), std::ref(counts), std::ref(projection), cell_resolution);
    // However the caller's side ends, the reader is told and joined.
    struct Join {
        Handover& h;
        std::thread& t;
        ~Join() {
            {
                std::lock_guard lock(h.mutex);
                h.cancelled = true;
            }
            h.changed.notify_all();
            if (t.joinable()) t.join();
        }
    } join{h, reader};

    for (;;) {
        std::unique_ptr<Handed> handed;
        {
            std::unique_lock lock(h.mutex);
            h.changed.wait(lock, [&] { return !h.full.empty() || h.finished; });
            if (h.full.empty()) {
                if (h.failure) std::rethrow_exception(h.failure);
                break;
            }
            handed = std::move(h.full.front());
            h.full.pop_front();
        }
        h.changed.notify_all();
        sink({handed->block.source, handed->en.size(), handed->block.points.data(), handed->en.data(),
              handed->cells.empty() ? nullptr : handed->cells.data()});
        {
            std::lock_guard lock(h.mutex);
            h.spare.push_back(std::move(handed));
        }
        h.changed.notify_all();
    }
    reader.join();  // the setup it wrote is complete
    PassCounts total;
    for (const common::StreamCounts& c : counts) {
        total.points += c.points;
        total.not_points += c.not_points;
        total.filtered += c.filtered;
        total.points_per_source.push_back(c.points);
    }
    return total;
}

}  // namespace morva::raster
