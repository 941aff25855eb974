#pragma once

// Looks inside a saved package without our engine: libzip directly.

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace testsupport {

std::vector<std::string> zipEntryNames(const std::filesystem::path& zipFile);
// The entry's uncompressed bytes, nullopt when there is no such entry.
std::optional<std::string> zipEntry(const std::filesystem::path& zipFile, const std::string& name);

struct ZipEntry {
    std::string name;
    std::string data;
};
// Every entry with its uncompressed bytes, in zip order.
std::vector<ZipEntry> zipEntries(const std::filesystem::path& zipFile);
// Writes a deflated zip of `entries` in their order, names as given (even "../x" or "/x").
void writeZip(const std::filesystem::path& zipFile, const std::vector<ZipEntry>& entries);

} // namespace testsupport
