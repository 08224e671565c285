// Sizes as users write them for --max-memory, and the stop that names both sizes.

#include <gtest/gtest.h>

#include "memory_budget.hpp"
#include "text/stop.hpp"

namespace morva::common {
namespace {

TEST(MemoryBudget, SizesAsUsersWriteThem) {
    const struct {
        const char* text;
        std::optional<std::uint64_t> bytes;
    } rows[] = {
        {"1000", 1000},          {"64k", 65536},       {"512M", 512ull << 20}, {"8G", 8ull << 30},
        {"1.5GiB", 3ull << 29},  {"2gb", 2ull << 30},  {"1T", 1ull << 40},     {"0", std::nullopt},
        {"-1G", std::nullopt},   {"G", std::nullopt},  {"8X", std::nullopt},   {"inf", std::nullopt},
        {"nan", std::nullopt},   {"", std::nullopt},
    };
    for (const auto& r : rows) EXPECT_EQ(parse_memory_size(r.text), r.bytes) << r.text;
    EXPECT_EQ(memory_text(10), "10 bytes");
    EXPECT_EQ(memory_text(3ull << 29), "1.5 GiB");
    EXPECT_GT(default_memory_bound(), 0u);
}

TEST(MemoryBudget, AStopNamesWhatAndBothSizes) {
    EXPECT_NO_THROW(check_memory(100, 100, "x", "y"));
    try {
        check_memory(85ull << 30, 18ull << 30, "the raster of 40000 x 40000 cells", "choose a coarser --resolution");
        FAIL() << "no stop";
    } catch (const text::RunStopped& stop) {
        EXPECT_EQ(stop.line, "the raster of 40000 x 40000 cells needs about 85 GiB, more than the memory bound of "
                             "18 GiB: choose a coarser --resolution, or raise the bound with --max-memory");
    }
}

}  // namespace
}  // namespace morva::common
