#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace containers {

// Inflates a raw deflate stream (as a zip entry holds it) that must come out as exactly `size` bytes
// with checksum `crc`; nullopt for anything else.
std::optional<std::string> inflateExactly(std::string_view compressed, std::uint64_t size, std::uint32_t crc);

} // namespace containers
