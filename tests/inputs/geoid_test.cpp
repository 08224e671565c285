#include "inputs/geoid.hpp"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <limits>
#include <string>
#include <vector>

#include "text/out_stream.hpp"

namespace morva::inputs {
namespace {

namespace fs = std::filesystem;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr std::int32_t kLowest = std::numeric_limits<std::int32_t>::min();
constexpr std::int32_t kHighest = std::numeric_limits<std::int32_t>::max();

TEST(GridCount, DimensionsFromTheHeader) {
    struct Case {
        double first, last, step;
        std::optional<std::int32_t> n;
    };
    const Case cases[] = {
        {50, 52, 0.5, 5},
        {5, 8, 1.0, 4},
        {0, 0.25, 0.5, 2},    // 0.5 + 1.5: halves go up
        {0, 0.24, 0.5, 1},
        {52, 50, 0.5, -2},    // -4 + 1.5 truncated toward zero
        {0, 2147483646, 1, kHighest},
        {0, 2147483647, 1, std::nullopt},
        {0, -2147483649.0, 1, -2147483647},  // -2147483647.5 truncated
        {0, -2147483649.5, 1, kLowest},
        {0, -2147483650.5, 1, std::nullopt},
        {0, 1, 0, std::nullopt},    // infinite
        {0, 0, 0, std::nullopt},    // not a number
        {0, kNaN, 1, std::nullopt},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(grid_count(c.first, c.last, c.step), c.n) << c.first << " " << c.last << " " << c.step;
    }
}

TEST(Ifrac, FloorWithinTheIntegerRange) {
    struct Case {
        double x;
        std::int32_t i;
    };
    const Case cases[] = {
        {0.0, 0},
        {-0.0, 0},
        {2.5, 2},
        {3.0, 3},
        {0.9999999999999999, 0},
        {-0.5, -1},
        {-1.0, -1},
        {-1.5, -2},
        {-1e-300, -1},
        {2147483646.9, 2147483646},
        {2147483647.0, kHighest},
        {2147483647.5, kHighest},
        {3e9, kHighest},
        {kInf, kHighest},
        {-2147483648.0, kLowest},
        {-2147483647.5, kLowest},
        {-2147483648.5, kLowest},
        {-3e9, kLowest},
        {-kInf, kLowest},
        {kNaN, kLowest},
    };
    for (const Case& c : cases) EXPECT_EQ(ifrac(c.x), c.i) << c.x;
}

// The 5 x 4 grid of the header 50 52 5 8 0.5 1.0, node (r, c) = 10 r + c, so
// that every interpolation is exact: bilin(x, y) = 10 x + y inside the grid.
struct TestGrid {
    static constexpr std::int32_t nlat = 5, nlon = 4;
    std::vector<float> node = std::vector<float>(1 + nlat * nlon, 0.0f);
    TestGrid() {
        for (int r = 1; r <= nlat; ++r)
            for (int c = 1; c <= nlon; ++c) at(r, c) = static_cast<float>(10 * r + c);
    }
    float& at(int r, int c) { return node[static_cast<std::size_t>((r - 1) * nlon + c)]; }
    double operator()(double x, double y) const { return bilin(x, y, node.data(), nlat, nlon); }
};

TEST(Bilin, InterpolatesAndClampsToTheEdges) {
    TestGrid g;
    struct Case {
        double x, y, expected;
    };
    const Case cases[] = {
        {1, 1, 11},        {2.5, 1.5, 26.5},  {3.25, 2.75, 35.25}, {5, 4, 54},
        {5, 2, 52},        {2, 4, 24},        {4.5, 4, 49},
        {0.2, 2.5, 12.5},  {-1e12, 2.5, 12.5},  // south of the grid: the southern row
        {7, 2.5, 52.5},    {1e12, 2.5, 52.5},   // north of it: the northern row
        {3.5, 0.0, 36},    {3.5, -5, 36},       // west: the western column
        {3.5, 9, 39},                           // east: the eastern column
        {0, 0, 11},        {9, 9, 54},          // corners
        {kNaN, 2.5, 12.5}, {3.5, kNaN, 36},     // not a number: first row or column
        {kInf, 2.5, 52.5}, {-kInf, 2.5, 12.5},
    };
    for (const Case& c : cases) EXPECT_DOUBLE_EQ(g(c.x, c.y), c.expected) << c.x << " " << c.y;
}

TEST(Bilin, MissingNodes) {
    struct Case {
        const char* name;
        int missing_r, missing_c;
        float value;
        double x, y, expected;
    };
    const double eps = static_cast<double>(0.0001f);
    const Case cases[] = {
        {"on a node, the neighbours are not examined", 3, 3, 9999, 2, 2, 22},
        {"on a node that is missing", 2, 2, 9999, 2, 2, 9999},
        {"on the last row: the cell below is used", 4, 3, 9999, 5, 2, 9999},
        {"on the last column: the cell to the west is used", 3, 3, 9999, 2, 4, 9999},
        {"on a cell edge, a node of weight 0 is missing", 3, 3, 9999, 2, 2.5, 9999},
        {"well inside", 3, 3, 9999, 2.5, 2.5, 9999},
        {"0.00005 beyond a node counts as on it", 3, 3, 9999, 2.00005, 2.00005, 22},
        {"the single-precision epsilon itself", 3, 3, 9999, 2 + eps, 2 + eps, 22},
        {"just beyond the single epsilon", 3, 3, 9999, 2.000099999999, 2, 9999},
        {"0.0002 beyond is not on the node", 3, 3, 9999, 2.0002, 2.0002, 9999},
        {"9999.5 is missing", 3, 3, 9999.5f, 2.5, 2.5, 9999},
        {"10000 is a value", 3, 3, 10000, 3, 3, 10000},
        {"-9999 is a value", 3, 3, -9999, 3, 3, -9999},
        {"south of the grid, a node of the second row", 2, 2, 9999, -3, 1.5, 9999},
        {"a missing node of another cell", 5, 4, 9999, 1.5, 1.5, 16.5},
    };
    for (const Case& c : cases) {
        TestGrid g;
        g.at(c.missing_r, c.missing_c) = c.value;
        EXPECT_NEAR(g(c.x, c.y), c.expected, 1e-9) << c.name;
    }
}

// A geoid file in a fresh temporary folder; load_geoid opens it by name.
struct GeoidFile {
    fs::path path;
    explicit GeoidFile(const std::string& content) {
        static int n = 0;
        path = fs::temp_directory_path() /
               ("morva_geoid_" + std::to_string(::getpid()) + "_" + std::to_string(n++) + ".txt");
        std::ofstream(path, std::ios::binary) << content;
    }
    ~GeoidFile() { fs::remove(path); }
};

std::string load_output(const std::string& content, GeoidGrid& grid) {
    GeoidFile f(content);
    text::flush(text::console());
    testing::internal::CaptureStdout();
    load_geoid(f.path.string(), grid);
    text::flush(text::console());
    return testing::internal::GetCapturedStdout();
}

TEST(GeoidLoad, RowsAreStoredSouthToNorth) {
    GeoidGrid grid;
    const std::string out = load_output(
        "50, 52, 5, 8, 0.5, 1.0\n"
        "5.1 5.2 5.3 5.4 ignored\n"  // northern row first
        "4.1 4.2\n 4.3 4.4\n"        // a row over two lines
        "3.1 3.2 3.3 3.4\n"
        "2.1,2.2,2.3,2.4\n"
        "1.1 1.2 1.3 1.4\n",
        grid);
    EXPECT_EQ(out, " - geoid file read OK -           5           4 \n");
    EXPECT_EQ(grid.nlat, 5);
    EXPECT_EQ(grid.nlon, 4);
    EXPECT_EQ(grid.glat1, 50.0);
    EXPECT_EQ(grid.glat2, 52.0);
    EXPECT_EQ(grid.glon1, 5.0);
    EXPECT_EQ(grid.glon2, 8.0);
    EXPECT_EQ(grid.dlat, 0.5);
    EXPECT_EQ(grid.dlon, 1.0);
    for (int r = 1; r <= 5; ++r) {
        for (int c = 1; c <= 4; ++c) {
            const std::string text = std::to_string(r) + "." + std::to_string(c);
            EXPECT_EQ(grid.node[static_cast<std::size_t>((r - 1) * 4 + c)], std::stof(text)) << text;
        }
    }
    // The positions the georeferencing forms: latitude 51.25 is row 3.5.
    EXPECT_NEAR(bilin((51.25 - grid.glat1) / grid.dlat + 1, (6.5 - grid.glon1) / grid.dlon + 1,
                      grid.node.get(), grid.nlat, grid.nlon),
                3.5 + 0.25, 1e-6);
}

TEST(GeoidLoad, ValuesGoStraightToSinglePrecision) {
    // Just above the midpoint between 1 and the next single: through a double
    // it would land on the midpoint and round to even (1.0).
    GeoidGrid grid;
    load_output("0 1 0 1 1 1\n1.00000005960464478 0\n0 0\n", grid);
    EXPECT_EQ(grid.node[3], std::nextafter(1.0f, 2.0f));
    EXPECT_EQ(grid.node[4], 0.0f);
}

TEST(GeoidLoad, NullValuesAreZero) {
    GeoidGrid grid;
    grid.node.reset(new float[kGeoidNodes + 1]);
    std::fill_n(grid.node.get(), 10, -5.0f);
    load_output("0 1 0 1 1 1\n1,,\n,4\n", grid);
    EXPECT_EQ(grid.node[1], 0.0f);
    EXPECT_EQ(grid.node[2], 4.0f);
    EXPECT_EQ(grid.node[3], 1.0f);
    EXPECT_EQ(grid.node[4], 0.0f);
}

TEST(GeoidLoad, FullCapacityIsAccepted) {
    // 1000 rows of 500: exactly 500000 nodes; row r holds r everywhere.
    std::string content = "1 1000 0 499 1 1\n";
    content.reserve(5 * 500 * 1000);
    for (int r = 1000; r >= 1; --r) {
        const std::string v = std::to_string(r) + " ";
        for (int c = 0; c < 500; ++c) content += v;
        content += '\n';
    }
    GeoidGrid grid;
    EXPECT_EQ(load_output(content, grid), " - geoid file read OK -        1000         500 \n");
    EXPECT_EQ(grid.node[1], 1.0f);
    EXPECT_EQ(grid.node[kGeoidNodes], 1000.0f);
    EXPECT_DOUBLE_EQ(bilin(700.25, 3, grid.node.get(), grid.nlat, grid.nlon), 700.25);
}

// The load's stops are end-to-end cases (tests/cases/run/geoid_*.case).

}  // namespace
}  // namespace morva::inputs
