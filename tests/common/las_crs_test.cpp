// What PROJ makes of a file's CRS (its vertical part passed on only when it
// is a registered system) and the compound CRS a vertical system is named in.

#include <gtest/gtest.h>

#include "las_crs.hpp"

namespace morva::common {
namespace {

// morva-las's own compound CRS of heights above a geoid grid: a vertical
// CRS named after the grid alone.
constexpr const char* kGridHeights =
    "COMPD_CS[\"WGS 84 + height above geoid grid geoid.txt\",GEOGCS[\"WGS 84\",DATUM[\"WGS_1984\",SPHEROID[\"WGS "
    "84\",6378137,298.257223563]],PRIMEM[\"Greenwich\",0],UNIT[\"degree\",0.0174532925199433]],VERT_CS[\"height "
    "above geoid grid geoid.txt\",VERT_DATUM[\"geoid grid geoid.txt\",2005],UNIT[\"metre\",1],AXIS[\"Gravity-related "
    "height\",UP]]]";

TEST(LasCrs, TheVerticalPartIsPassedOnOnlyWhenRegistered) {
    const struct {
        const char* crs;
        CrsKind kind;
        const char* name;
        const char* vertical;  // a text the vertical part's WKT holds; nullptr: none passed on
    } rows[] = {
        {"EPSG:32631+5703", CrsKind::Projected, "WGS 84 / UTM zone 31N", "ID[\"EPSG\",5703]"},
        {"EPSG:2903+6360", CrsKind::Projected, "NAD83(HARN) / New Mexico Central (ftUS)", "US survey foot"},
        {"EPSG:4979", CrsKind::Geographic, "WGS 84", nullptr},
        {"EPSG:32631", CrsKind::Projected, "WGS 84 / UTM zone 31N", nullptr},
        {kGridHeights, CrsKind::Geographic, "WGS 84", nullptr},
    };
    for (const auto& r : rows) {
        const CrsFacts f = crs_facts(r.crs);
        ASSERT_EQ(f.error, "") << r.crs;
        EXPECT_EQ(f.kind, r.kind) << r.crs;
        EXPECT_EQ(f.name, r.name) << r.crs;
        if (r.vertical == nullptr) {
            EXPECT_EQ(f.vertical, "") << r.crs;
        } else {
            EXPECT_NE(f.vertical.find(r.vertical), std::string::npos) << r.crs << ": " << f.vertical;
        }
    }
}

TEST(LasCrs, ACompoundOfTheHorizontalPartAndANamedVerticalSystem) {
    const CompoundCrs c = compound_crs("EPSG:4979", "EPSG:5703", "height above geoid grid g.txt");
    ASSERT_EQ(c.error, "");
    EXPECT_EQ(c.name, "NAVD88 height");
    EXPECT_EQ(c.unit, "metre");
    EXPECT_EQ(c.wkt.rfind("COMPD_CS[\"WGS 84 + NAVD88 height (height above geoid grid g.txt)\",GEOGCS[\"WGS 84\"", 0), 0u)
        << c.wkt;
    EXPECT_NE(c.wkt.find("AUTHORITY[\"EPSG\",\"5703\"]"), std::string::npos) << c.wkt;
    // A compound input by its horizontal part: the vertical part replaced, not nested.
    const CompoundCrs again = compound_crs(c.wkt, "EPSG:3855");
    ASSERT_EQ(again.error, "");
    EXPECT_EQ(again.wkt.find("NAVD88"), std::string::npos) << again.wkt;

    const CompoundCrs feet = compound_crs("EPSG:32631", "EPSG:6360");
    EXPECT_EQ(feet.unit, "US survey foot");
    EXPECT_NEAR(feet.unit_in_metres, 1200.0 / 3937.0, 1e-15);

    EXPECT_EQ(compound_crs("EPSG:32631", "EPSG:999999").error, "unknown vertical coordinate system 'EPSG:999999'");
    EXPECT_EQ(compound_crs("EPSG:32631", "EPSG:4326").error,
              "'EPSG:4326' (WGS 84) is not a vertical coordinate system (heights)");
    EXPECT_NE(compound_crs("EPSG:999999", "EPSG:5703").error, "");
}

}  // namespace
}  // namespace morva::common
