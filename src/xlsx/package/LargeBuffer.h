#pragma once

// Part buffers of tens of megabytes are filled page by page. Where page faults are costly (virtual
// machines), asking the system for huge pages makes filling them several times cheaper. The only
// platform-specific bit of the engine.

#include <cstddef>
#include <string>

namespace xlsx {

// Reserves `capacity` bytes in `buffer` (a hint: nothing changes in what the buffer holds).
void reserveLarge(std::string& buffer, std::size_t capacity);

} // namespace xlsx
