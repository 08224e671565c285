// One surface for a whole campaign: flights in opposite and crossing
// directions from different starts, over one surface origin, see the same
// ground (and geoid) at every point, and the run's points of each flight lie
// on it. Without the shared origin each flight lays its surface out from its
// own start, and the surfaces differ.

#include <gtest/gtest.h>

#include <cmath>

#include "flight_support.hpp"
#include "inputs/geoid.hpp"

namespace morva::sim {
namespace {

namespace fs = std::filesystem;
using testing::fly;
using testing::survey_of;
using testing::verify_report;

double geoid_height(const Survey& s, double lat, double lon) {
    const inputs::GeoidGrid& g = s.geoid;
    return inputs::bilin((lat - g.glat1) / g.dlat + 1, (lon - g.glon1) / g.dlon + 1, g.node.get(), g.nlat, g.nlon);
}

// Three flights over the ground around 52.001 N 5.001 E: one to the
// north-east, one back along it from its end, one crossing it.
const char* const kFlights[] = {
    "--lat 52.0 --lon 5.0 --heading 30",
    "--lat 52.0019 --lon 5.0018 --heading 210",
    "--lat 52.0013 --lon 4.9995 --heading 120",
};

struct SurfaceCase {
    const char* name;
    const char* surface;  // surface options shared by every flight
};

const SurfaceCase kSurfaces[] = {
    {"waves", "--surface waves --waves 1.5,45 --seed 5"},
    {"tilt", "--surface tilt --tilt 0.03,-0.02 --ground 4"},
    // Roof edges (ridges, eaves, the foot of the walls) are where the range
    // search must not settle beside the surface.
    {"roofs", "--surface roofs --roofs 30 --seed 9"},
};

// A roof surface stands on its ground plane: blocks on about half the
// area (three cells in four hold one covering 0.09 to 0.24 of its cell),
// their eaves at least 3 m up, nowhere below the ground.
TEST(SharedSurface, RoofsStandOnTheGround) {
    const Survey s = survey_of("--surface roofs --roofs 30 --tilt 0.02,-0.01 --surface-origin 52.001,5.001");
    std::size_t built = 0, tall = 0, total = 0;
    for (double dn = -600; dn < 600; dn += 1.7) {
        for (double de = -600; de < 600; de += 1.9, ++total) {
            const double lat = 52.001 + dn / 111120.0, lon = 5.001 + de / 68400.0;
            const double above = surface_height(s.surface, lat, lon) - terrain_height(s.surface, lat, lon);
            ASSERT_GE(above, 0.0);
            if (above > 0.0) ++built;
            if (above > 3.0) ++tall;
        }
    }
    EXPECT_NEAR(double(built) / total, 0.75 * 0.165, 0.04);
    EXPECT_GT(double(tall) / built, 0.9);
}

TEST(SharedSurface, FlightsOverOneOriginSeeOneSurface) {
    const std::string common = " --duration 1 --nmeas 120 --scan-rate 30 --roll 0,3,4 --height 250 ";
    for (const SurfaceCase& c : kSurfaces) {
        SCOPED_TRACE(c.name);
        std::vector<Survey> shared, own;
        for (const char* flight : kFlights) {
            shared.push_back(survey_of(std::string(flight) + common + c.surface + " --surface-origin 52.001,5.001"));
            own.push_back(survey_of(std::string(flight) + common + c.surface));
        }
        // The same ground point, seen by every flight.
        double own_spread = 0;
        for (double dn = -150; dn <= 150; dn += 37.5) {
            for (double de = -150; de <= 150; de += 37.5) {
                const double lat = 52.001 + dn / 111120.0, lon = 5.001 + de / 68400.0;
                for (std::size_t f = 1; f < shared.size(); ++f) {
                    EXPECT_EQ(surface_height(shared[f].surface, lat, lon), surface_height(shared[0].surface, lat, lon));
                    EXPECT_NEAR(geoid_height(shared[f], lat, lon), geoid_height(shared[0], lat, lon), 1e-9);
                    own_spread = std::fmax(own_spread, std::fabs(surface_height(own[f].surface, lat, lon) -
                                                                 surface_height(own[0].surface, lat, lon)));
                }
            }
        }
        EXPECT_GT(own_spread, 0.5) << "laid out from each flight's start, the surfaces should differ";

        // The run's points of every flight lie on that surface.
        for (std::size_t f = 0; f < shared.size(); ++f) {
            const fs::path dir = fs::temp_directory_path() /
                                 ("morva-sim-shared-" + std::to_string(::getpid()) + "-" + std::to_string(f));
            const std::string console = fly(shared[f], dir);
            ASSERT_EQ(console.find("morva exit"), std::string::npos) << console;
            const std::string report = verify_report(dir);
            EXPECT_NE(report.find("verify: OK"), std::string::npos) << kFlights[f] << "\n" << report;
            fs::remove_all(dir);
        }
    }
}

}  // namespace
}  // namespace morva::sim
