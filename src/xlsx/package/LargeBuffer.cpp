#include "package/LargeBuffer.h"

#include <cstdint>

#ifdef __linux__
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace xlsx {

namespace {
constexpr std::size_t kLarge = std::size_t{8} << 20;
}

void reserveLarge(std::string& buffer, std::size_t capacity) {
    buffer.reserve(capacity);
#ifdef __linux__
    if (capacity < kLarge) return;
    const auto page = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
    auto begin = reinterpret_cast<std::uintptr_t>(buffer.data());
    auto end = begin + buffer.capacity();
    begin = (begin + page - 1) / page * page;
    end = end / page * page;
    // Advice only: where the system has no huge pages the buffer works as before.
    if (end > begin) madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
#endif
}

} // namespace xlsx
