#include "frontend/ProcessMemory.h"

#include <cstdlib> // defines __GLIBC__ where the C library is glibc

#if defined(__GLIBC__) && defined(__linux__) && !defined(__SANITIZE_ADDRESS__) &&                            \
    !defined(__SANITIZE_THREAD__)
#define TULVERKAN_TUNED_HEAP 1
#include <malloc.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#endif

namespace frontend {

#ifdef TULVERKAN_TUNED_HEAP

namespace {

constexpr std::uintptr_t kHugePage = std::uintptr_t{2} << 20;
// Address space only: pages are taken when first written. A large inventory's run fits in it; beyond
// it the heap grows as usual.
constexpr int kReach = 256 << 20;
constexpr int kDefaultTopPad = 128 << 10;
// Below this, blocks come from the heap (large sheets' buffers, above it, are advised on their own).
constexpr int kOwnMappingFrom = 32 << 20;
// Free memory at the top of the heap is kept up to this much: giving it back would shrink the stretch
// advised for huge pages, and growing again would not be advised.
constexpr int kKeepFree = 1 << 30;

// Grows the heap by kReach of address space and advises the new stretch for huge pages.
void growAdvised() {
    const auto before = reinterpret_cast<std::uintptr_t>(sbrk(0));
    mallopt(M_TOP_PAD, kReach);
    void* volatile grow = std::malloc(kHugePage); // volatile: the pair must not be optimised away
    std::free(grow);
    mallopt(M_TOP_PAD, kDefaultTopPad);
    const auto after = reinterpret_cast<std::uintptr_t>(sbrk(0));

    // Where the heap could not grow in place (it then lives in mappings), nothing is advised.
    const std::uintptr_t begin = (before + kHugePage - 1) / kHugePage * kHugePage;
    const std::uintptr_t end = after / kHugePage * kHugePage;
    // Advice only: without huge pages the heap works as it always did.
    if (end > begin) madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
}

} // namespace

void prepareProcessMemory() {
    // Threads would each get an arena of their own, outside the advised stretch.
    mallopt(M_ARENA_MAX, 1);
    mallopt(M_MMAP_THRESHOLD, kOwnMappingFrom);
    mallopt(M_TRIM_THRESHOLD, kKeepFree);
    growAdvised();
}

void returnFreeMemory() {
    malloc_trim(0);
    // Trimming shrank the advised stretch: the next booking gets a fresh one.
    growAdvised();
}

#else

void prepareProcessMemory() {}

void returnFreeMemory() {}

#endif

} // namespace frontend
