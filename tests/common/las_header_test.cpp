// The LAS header reads back as it was written, each field where LAS 1.4
// readers (laspy, PDAL) look for it.

#include <gtest/gtest.h>

#include <cstring>

#include "las_header.hpp"

namespace morva::common {
namespace {

TEST(LasHeader, ReadsBackWhatIsWritten) {
    Header h;
    h.file_source_id = 513;
    h.global_encoding = kGlobalWkt | kGlobalAdjustedGpsTime;
    h.generating_software = "morva-las 0.9.0";
    h.creation_day = 201;
    h.creation_year = 2026;
    h.offset_to_points = 1234;
    h.vlr_count = 2;
    h.record_length = 33;
    h.point_count = 5000000000ull;
    h.scale[0] = h.scale[1] = 0.001;
    h.offset[0] = 500000;
    h.offset[1] = 5800000;
    extend(h.bounds, -5, 7, 1000);
    unsigned char bytes[kHeaderSize];
    encode_header(h, bytes);
    const Header back = decode_header(bytes);
    EXPECT_EQ(back.file_source_id, 513);
    EXPECT_EQ(back.global_encoding, h.global_encoding);
    EXPECT_EQ(back.version_major, 1);
    EXPECT_EQ(back.version_minor, 4);
    EXPECT_EQ(back.generating_software, "morva-las 0.9.0");
    EXPECT_EQ(back.creation_day, 201);
    EXPECT_EQ(back.creation_year, 2026);
    EXPECT_EQ(back.header_size, kHeaderSize);
    EXPECT_EQ(back.offset_to_points, 1234u);
    EXPECT_EQ(back.vlr_count, 2u);
    EXPECT_EQ(back.point_format, 6);
    EXPECT_EQ(back.record_length, 33);
    EXPECT_EQ(back.point_count, 5000000000ull);
    for (int k = 0; k < 3; ++k) {
        EXPECT_EQ(back.scale[k], h.scale[k]) << k;
        EXPECT_EQ(back.offset[k], h.offset[k]) << k;
    }
    // Independently of the type: the places a LAS 1.4 reader takes them from.
    EXPECT_EQ(std::memcmp(bytes, "LASF", 4), 0);
    EXPECT_EQ(bytes[104], 6);
    double max_x;
    std::memcpy(&max_x, bytes + 179, 8);
    EXPECT_EQ(max_x, -5 * 0.001 + 500000);
    std::uint64_t count;
    std::memcpy(&count, bytes + 247, 8);
    EXPECT_EQ(count, 5000000000ull);
}

// What a reader takes from another writer's header: the extents as stated,
// the legacy 32-bit count, the extended records' place (bytes set by hand
// where LAS 1.4 puts them, not by encode_header).
TEST(LasHeader, ReadsWhatOnlyOtherWritersSet) {
    Header h;
    h.point_count = 7;
    extend(h.bounds, 10, 20, 30);
    extend(h.bounds, 40, 50, 60);
    unsigned char bytes[kHeaderSize];
    encode_header(h, bytes);
    put_le(bytes + 107, std::uint32_t{7});
    put_le(bytes + 235, std::uint64_t{123456789012ull});
    put_le(bytes + 243, std::uint32_t{3});
    const Header back = decode_header(bytes);
    EXPECT_EQ(back.legacy_point_count, 7u);
    EXPECT_EQ(back.evlr_start, 123456789012ull);
    EXPECT_EQ(back.evlr_count, 3u);
    for (int k = 0; k < 3; ++k) {
        EXPECT_EQ(back.stated_min[k], h.bounds.min[k] * h.scale[k] + h.offset[k]) << k;
        EXPECT_EQ(back.stated_max[k], h.bounds.max[k] * h.scale[k] + h.offset[k]) << k;
    }
}

}  // namespace
}  // namespace morva::common
