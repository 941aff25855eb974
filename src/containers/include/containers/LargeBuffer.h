#pragma once

// Part buffers of tens of megabytes are filled page by page. Where page faults are costly (virtual
// machines), asking the system for huge pages makes filling them several times cheaper. The only
// platform-specific bit of the engine (the front ends have frontend/ProcessMemory for the heap).

#include <cstddef>
#include <string>

namespace containers {

// Reserves `capacity` bytes in `buffer` (a hint: nothing changes in what the buffer holds).
void reserveLarge(std::string& buffer, std::size_t capacity);

// Memory for the many arrays of one large part (its cell store), taken from chunks of huge pages
// where the system has them and handed out in order; what is given back mid-way is kept until the
// arena goes. Filling tens of megabytes of cells page by page costs more than parsing them.
class LargeArena {
public:
    explicit LargeArena(std::size_t chunkSize) : m_chunkSize(chunkSize) {}
    ~LargeArena();
    LargeArena(const LargeArena&) = delete;
    LargeArena& operator=(const LargeArena&) = delete;

    void* allocate(std::size_t bytes, std::size_t alignment);
    // Takes `bytes` at `p` back when it was the last allocation (a growing array), else nothing.
    void release(void* p, std::size_t bytes);

private:
    struct Chunk {
        void* base;
        std::size_t size;
    };
    std::size_t m_chunkSize;
    Chunk* m_chunks = nullptr; // a plain array: the arena must not allocate from itself
    std::size_t m_chunkCount = 0;
    char* m_next = nullptr;
    char* m_end = nullptr;
    char* m_last = nullptr; // the last allocation
};

} // namespace containers
