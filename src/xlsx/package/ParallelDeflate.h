#pragma once

// Deflates a large part on several cores: the input is cut into chunks that are compressed at once,
// each primed with the 32 KiB before it, and joined into one raw deflate stream (every chunk but the
// last ends in a sync flush, so the joined blocks are byte-aligned and only the last is final).

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace xlsx {

// Deflate level for parts we write. A big sheet part dominates the save; level 1 deflates sheet XML
// several times faster than the default 6 for a file only a little larger (measured on a 60 MB sheet).
inline constexpr int kPartDeflateLevel = 1;
// Parts from this size on are deflated by us, on every core, rather than by libzip.
inline constexpr std::size_t kParallelDeflateFrom = std::size_t{64} << 10;

struct DeflatedPart {
    std::string data; // raw deflate stream, as a zip entry holds it
    std::uint32_t crc = 0;
    std::uint64_t size = 0; // uncompressed
};

// nullopt when zlib fails (out of memory).
std::optional<DeflatedPart> deflateParallel(std::string_view input, int level);
// Several parts at once, on every core: each part comes out as deflateParallel gives it alone.
std::vector<std::optional<DeflatedPart>> deflateParts(const std::vector<std::string_view>& inputs, int level);

} // namespace xlsx
