#include "containers/LargeBuffer.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

namespace {

TEST(LargeArena, HandsOutAlignedMemoryInOrderAndTakesBackOnlyTheLast) {
    containers::LargeArena arena(1 << 20);
    auto* a = static_cast<char*>(arena.allocate(100, 8));
    auto* b = static_cast<char*>(arena.allocate(24, 16));
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(b) % 16, 0u);
    EXPECT_GE(b, a + 100) << "no overlap";
    std::memset(a, 1, 100);
    std::memset(b, 2, 24);
    arena.release(a, 100); // not the last: kept
    EXPECT_GT(static_cast<char*>(arena.allocate(8, 8)), b);
    auto* c = arena.allocate(64, 8);
    arena.release(c, 64); // the last: the next allocation reuses it, as a growing array would
    EXPECT_EQ(arena.allocate(32, 8), c);
    EXPECT_EQ(a[99], 1);
    EXPECT_EQ(b[23], 2);
}

TEST(LargeArena, GrowsByChunksAndTakesAllocationsLargerThanOne) {
    containers::LargeArena arena(4096);
    auto* first = static_cast<char*>(arena.allocate(3000, 8));
    auto* second = static_cast<char*>(arena.allocate(3000, 8)); // does not fit the first chunk's rest
    auto* huge = static_cast<char*>(arena.allocate(std::size_t{5} << 20, 64));
    std::memset(first, 1, 3000);
    std::memset(second, 2, 3000);
    std::memset(huge, 3, std::size_t{5} << 20);
    EXPECT_EQ(first[2999], 1);
    EXPECT_EQ(second[0], 2);
    EXPECT_EQ(huge[(std::size_t{5} << 20) - 1], 3);
}

} // namespace
