#pragma once

// What a file held when it was read: size, modification time and a checksum of its bytes, so that
// a save can tell whether someone else has replaced or rewritten it since.

#include <cstdint>
#include <filesystem>
#include <optional>

namespace xlsx {

struct FileFingerprint {
    std::uint64_t size = 0;
    std::int64_t modifiedNs = 0;
    // CRC-32 of the bytes: 10 MB take a few milliseconds, and it catches a rewrite that keeps the
    // size and the time (a copy that preserves times, a clock of too coarse a grain).
    std::uint32_t checksum = 0;

    bool operator==(const FileFingerprint&) const = default;
};

// Reads the whole file; nullopt with errno set when it cannot be read.
std::optional<FileFingerprint> fingerprintOf(const std::filesystem::path& file);

} // namespace xlsx
