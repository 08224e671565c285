// The georeferencing geometry held to values worked out without this code
// (pinned_geometry.table, recomputed from the written formulas and
// GeographicLib's CartConvert by pinned_geometry.py): attitudes one axis at
// a time, the heading seam, lever-arm and misalignment signs, the calibrated
// body mapping with every calibration axis non-zero, in both modes.

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "georef/georeference.hpp"

namespace morva::georef {
namespace {

struct Row {
    std::string name;
    double in[18];
    double out[6];  // flat lat, lon, h; ellipsoid lat, lon, h
};

struct Table {
    scanner::scanner_header header{};
    std::vector<Row> rows;
};

Table read_table() {
    Table t;
    std::ifstream in(MORVA_PINNED_GEOMETRY);
    EXPECT_TRUE(in) << "cannot read " << MORVA_PINNED_GEOMETRY;
    for (std::string line; std::getline(in, line);) {
        std::istringstream words(line);
        std::string name;
        if (!(words >> name) || name[0] == '#') continue;
        if (name == "calibration") {
            scanner::scanner_header& h = t.header;
            float* groups[] = {h.a, h.b, h.c, h.d};
            for (float* g : groups) words >> g[0] >> g[1] >> g[2];
            for (auto& facet : h.e) words >> facet[0] >> facet[1] >> facet[2];
            for (float& e : h.eps) words >> e;
            EXPECT_TRUE(words) << "calibration line";
            continue;
        }
        Row r{name, {}, {}};
        for (double& v : r.in) words >> v;
        for (double& v : r.out) words >> v;
        EXPECT_TRUE(words) << "row " << name;
        t.rows.push_back(r);
    }
    return t;
}

TEST(PinnedGeometry, EveryRowInBothModes) {
    const Table table = read_table();
    ASSERT_GE(table.rows.size(), 15u);
    for (const Row& row : table.rows) {
        const double* v = row.in;
        inputs::RunControl rc;
        rc.full_georef = true;
        rc.angle_sign = 1.0;
        rc.dpitch = v[8], rc.droll = v[9], rc.dheading = v[10];
        rc.offx = v[11], rc.offy = v[12], rc.offz = v[13];
        rc.use_cal = v[17] != 0.0;

        // One trajectory interval: the same position and tilt at both ends,
        // the headings of the row, the measurement at weight f.
        inputs::TrajectoryTable traj;
        traj.slot.reset(new inputs::TrajectoryRecord[4]{});
        traj.slot[1] = {10.0, v[0], v[1], v[2], v[3], v[4], v[5], 0.0f};
        traj.slot[2] = {10.1, v[0], v[1], v[2], v[3], v[4], v[6], 0.0f};
        traj.ntraj = 2;
        const Interval at{1, v[7]};
        Pose pose;
        interpolate_position(traj, at, pose);
        interpolate_attitude(traj, at, rc, pose);

        const Model model{&rc, nullptr, &table.header};
        const auto scanno = static_cast<std::int32_t>(v[16]);
        GroundPoint flat, exact;
        locate_in<Geodesy::Flat>(model, pose, 10.05, v[14], v[15], scanno, flat);
        locate_in<Geodesy::Ellipsoid>(model, pose, 10.05, v[14], v[15], scanno, exact);
        const GroundPoint* points[] = {&flat, &exact};
        for (int m = 0; m < 2; ++m) {
            const char* mode = m == 0 ? " flat" : " ellipsoid";
            EXPECT_NEAR(points[m]->lat, row.out[3 * m], 1e-9) << row.name << mode << " latitude";
            EXPECT_NEAR(points[m]->lon, row.out[3 * m + 1], 1e-9) << row.name << mode << " longitude";
            EXPECT_NEAR(points[m]->h, row.out[3 * m + 2], 1e-6) << row.name << mode << " height";
        }
    }
}

}  // namespace
}  // namespace morva::georef
