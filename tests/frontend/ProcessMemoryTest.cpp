#include "frontend/ProcessMemory.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

namespace {

// Where the program sets the heap up: glibc on Linux, without a sanitizer's allocator.
#if defined(__GLIBC__) && defined(__linux__) && !defined(__SANITIZE_ADDRESS__) &&                            \
    !defined(__SANITIZE_THREAD__)
constexpr bool kTunedHeap = true;
#else
constexpr bool kTunedHeap = false;
#endif

// What /proc/self/smaps says of the mapping holding `address`: its THPeligible field, -1 when the
// mapping or the field is not found.
int hugePageEligibility(const void* address) {
    std::ifstream smaps("/proc/self/smaps");
    const auto at = reinterpret_cast<std::uintptr_t>(address);
    bool inside = false;
    std::string line;
    while (std::getline(smaps, line)) {
        std::uintptr_t begin = 0, end = 0;
        char dash = 0;
        std::istringstream head(line);
        if (head >> std::hex >> begin >> dash >> end && dash == '-') {
            inside = begin <= at && at < end;
        } else if (inside && line.rfind("THPeligible:", 0) == 0) {
            return std::atoi(line.c_str() + std::strlen("THPeligible:"));
        }
    }
    return -1;
}

// The system's setting for huge pages: "always", "madvise", "never", or empty where it cannot be read
// (no such support, or /sys not mounted in a container).
std::string hugePageSetting() {
    std::ifstream setting("/sys/kernel/mm/transparent_hugepage/enabled");
    std::string modes;
    std::getline(setting, modes);
    for (const char* mode : {"always", "madvise", "never"})
        if (modes.find(std::string("[") + mode + "]") != std::string::npos) return mode;
    return {};
}

// The eligibility of a block of a run's size, allocated and written now.
int eligibilityOfANewBlock() {
    // The size of a sheet's text: above what the allocator maps on its own by default, below our limit.
    constexpr std::size_t kBlock = std::size_t{4} << 20;
    auto* block = static_cast<char*>(std::malloc(kBlock));
    if (!block) return -2;
    std::memset(block, 'x', kBlock);
    const int eligible = hugePageEligibility(block + kBlock / 2);
    std::free(block);
    return eligible;
}

// Twice: the window gives free memory back after a booking, and the next booking must still get
// memory advised for huge pages.
TEST(ProcessMemory, BlocksOfARunComeFromMemoryAdvisedForHugePages) {
    frontend::prepareProcessMemory();
    const int eligible = eligibilityOfANewBlock();
    frontend::returnFreeMemory();
    const int eligibleAfterGivingBack = eligibilityOfANewBlock();
    if constexpr (kTunedHeap) {
        EXPECT_EQ(eligibleAfterGivingBack, eligible) << "memory given back, and the advice with it";
        const std::string setting = hugePageSetting();
        if (setting == "always" || setting == "madvise")
            EXPECT_EQ(eligible, 1) << "the block is not in the stretch advised for huge pages";
        else if (setting == "never")
            EXPECT_EQ(eligible, 0) << "huge pages where the system gives none";
        else
            EXPECT_NE(eligible, -1) << "the block lies in no mapping"; // the setting is unknown here
    } else {
        // A sanitizer's allocator is left as it is: the calls only must not disturb it.
        EXPECT_NE(eligible, -1) << "the block lies in no mapping";
        EXPECT_NE(eligibleAfterGivingBack, -1) << "the block lies in no mapping";
    }
}

} // namespace
