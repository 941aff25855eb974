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

} // namespace testsupport
