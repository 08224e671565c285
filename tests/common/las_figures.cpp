// The LAS reader's figures of one file, as JSON on standard output, for a
// comparison with laspy: point count, bounds, counts per classification,
// return number and point source ID, sum of Z, and sums of the other fields.
#include <cstdio>
#include <exception>
#include <map>
#include <string>

#include "las_reader.hpp"
#include "text/stop.hpp"

using namespace morva;

namespace {

void print_counts(const char* name, const std::map<unsigned, unsigned long long>& counts) {
    std::printf("\"%s\": {", name);
    const char* comma = "";
    for (const auto& [key, n] : counts) {
        std::printf("%s\"%u\": %llu", comma, key, n);
        comma = ", ";
    }
    std::printf("}");
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: las_figures FILE\n");
        return 2;
    }
    try {
        common::LasReader reader(argv[1]);
        const common::LasHeader& h = reader.header();
        std::vector<common::LasPoint> points;
        unsigned long long count = 0, withheld = 0;
        double lo[3] = {1e300, 1e300, 1e300}, hi[3] = {-1e300, -1e300, -1e300};
        double sum_z = 0, sum_time = 0, sum_angle = 0;
        unsigned long long sum_intensity = 0, sum_returns = 0, sum_rgb = 0, sum_nir = 0;
        std::map<unsigned, unsigned long long> classes, returns, sources;
        while (reader.read(points)) {
            for (const common::LasPoint& p : points) {
                const double xyz[3] = {p.x, p.y, p.z};
                for (int k = 0; k < 3; ++k) {
                    lo[k] = std::min(lo[k], xyz[k]);
                    hi[k] = std::max(hi[k], xyz[k]);
                }
                ++count;
                withheld += p.withheld;
                sum_z += p.z;
                sum_time += p.gps_time;
                sum_angle += p.scan_angle;
                sum_intensity += p.intensity;
                sum_returns += p.number_of_returns;
                sum_rgb += p.red + p.green + p.blue;
                sum_nir += p.nir;
                ++classes[p.classification];
                ++returns[p.return_number];
                ++sources[p.source_id];
            }
        }
        std::printf("{\"version\": \"1.%d\", \"point_format\": %d, \"compressed\": %s, \"extra_bytes\": %u, "
                    "\"count\": %llu, \"withheld\": %llu, ",
                    h.version_minor, h.point_format, h.compressed ? "true" : "false", h.extra_bytes, count, withheld);
        std::printf("\"min\": [%.17g, %.17g, %.17g], \"max\": [%.17g, %.17g, %.17g], ", lo[0], lo[1], lo[2], hi[0],
                    hi[1], hi[2]);
        std::printf("\"sum_z\": %.17g, \"sum_gps_time\": %.17g, \"sum_scan_angle\": %.17g, \"sum_intensity\": %llu, "
                    "\"sum_number_of_returns\": %llu, \"sum_rgb\": %llu, \"sum_nir\": %llu, ",
                    sum_z, sum_time, sum_angle, sum_intensity, sum_returns, sum_rgb, sum_nir);
        print_counts("classification", classes);
        std::printf(", ");
        print_counts("return_number", returns);
        std::printf(", ");
        print_counts("point_source_id", sources);
        std::printf("}\n");
    } catch (const text::RunStopped& stop) {
        std::fprintf(stderr, "%s\n", stop.line.c_str());
        return 1;
    }
    return 0;
}
