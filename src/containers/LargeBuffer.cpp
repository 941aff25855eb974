#include "containers/LargeBuffer.h"

#include <algorithm>
#include <cstdint>
#include <new>

#ifdef __linux__
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace containers {

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

namespace {
constexpr std::size_t kHugePage = std::size_t{2} << 20;
}

LargeArena::~LargeArena() {
    for (std::size_t i = 0; i < m_chunkCount; ++i) {
#ifdef __linux__
        munmap(m_chunks[i].base, m_chunks[i].size);
#else
        ::operator delete(m_chunks[i].base);
#endif
    }
    delete[] m_chunks;
}

void* LargeArena::allocate(std::size_t bytes, std::size_t alignment) {
    auto aligned = [&](char* p) {
        auto at = reinterpret_cast<std::uintptr_t>(p);
        return reinterpret_cast<char*>((at + alignment - 1) / alignment * alignment);
    };
    if (!m_next || aligned(m_next) + bytes > m_end) {
        std::size_t size = std::max(m_chunkSize, bytes + alignment);
        void* base = nullptr;
        char* begin = nullptr;
#ifdef __linux__
        size = (size + kHugePage - 1) / kHugePage * kHugePage;
        // One huge page more, to start the usable part on a huge-page boundary.
        base = mmap(nullptr, size + kHugePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (base == MAP_FAILED) throw std::bad_alloc();
        begin = reinterpret_cast<char*>((reinterpret_cast<std::uintptr_t>(base) + kHugePage - 1) / kHugePage *
                                        kHugePage);
        madvise(begin, size, MADV_HUGEPAGE); // advice only
        size += kHugePage;
#else
        base = ::operator new(size);
        begin = static_cast<char*>(base);
#endif
        auto* chunks = new Chunk[m_chunkCount + 1];
        std::copy(m_chunks, m_chunks + m_chunkCount, chunks);
        chunks[m_chunkCount++] = {base, size};
        delete[] m_chunks;
        m_chunks = chunks;
        m_next = begin;
        m_end = static_cast<char*>(base) + size;
    }
    m_last = aligned(m_next);
    m_next = m_last + bytes;
    return m_last;
}

void LargeArena::release(void* p, std::size_t bytes) {
    if (p == m_last && m_last + bytes == m_next) {
        m_next = m_last;
        m_last = nullptr;
    }
}

} // namespace containers
