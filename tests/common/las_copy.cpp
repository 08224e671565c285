// Copies a LAS/LAZ file through the companions' reader and writer: every
// record as stored, the header's fields and records carried, LAS or LAZ by
// the output's name (the writer's test reads the copy back with laspy).
// usage: las_copy IN OUT [THREADS]
#include <cstdio>
#include <string>
#include <vector>

#include "companion_main.hpp"
#include "las_reader.hpp"
#include "las_writer.hpp"
#include "staged_files.hpp"

using namespace morva;

int main(int argc, char** argv) {
    if (argc < 3 || argc > 4) {
        std::fprintf(stderr, "usage: las_copy IN OUT [THREADS]\n");
        return 2;
    }
    const std::string in = argv[1], out = argv[2];
    const unsigned threads = argc == 4 ? static_cast<unsigned>(std::stoul(argv[3])) : 0;
    return common::run_companion("las_copy", [&] {
        common::LasReader reader(in);
        common::LasWriterSetup setup;
        setup.header = reader.header();
        setup.compress = common::is_laz_name(out);
        setup.threads = threads;
        setup.generating_software = "las_copy";
        common::StagedFiles files;
        common::LasWriter writer(files, out, setup);
        std::vector<common::LasPoint> points;
        const std::size_t length = reader.header().record_length;
        std::vector<std::uint8_t> block;
        // Blocks of every size, so that the writer's gathering is crossed at odd places.
        std::size_t most = 1;
        while (reader.read(points, most)) {
            block.resize(points.size() * length);
            for (std::size_t k = 0; k < points.size(); ++k) std::copy_n(points[k].raw, length, block.data() + k * length);
            writer.write(block.data(), points.size());
            most = most * 7 % 100003 + 1;
        }
        writer.finish();
        files.commit();
        return 0;
    });
}
