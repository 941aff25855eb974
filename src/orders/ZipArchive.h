#pragma once

// A zip archive opened for reading its entries whole, as the OpenDocument reader and the format
// sniffing need them.

#include <filesystem>
#include <optional>
#include <string>

struct zip;

namespace orders {

class ZipArchive {
public:
    // Throws sheets::Error naming the file and `formatName` when it cannot be opened as a zip.
    ZipArchive(const std::filesystem::path& path, const char* formatName);
    ~ZipArchive();
    ZipArchive(const ZipArchive&) = delete;
    ZipArchive& operator=(const ZipArchive&) = delete;

    // The entry's bytes, nullopt when there is no such entry. Throws sheets::Error when the entry is
    // damaged or inflates past `limit` bytes.
    std::optional<std::string> read(const char* name, std::size_t limit = kDefaultLimit) const;

    // OpenDocument packages saved with a password list encryption data in their manifest.
    bool isEncrypted() const;

    static constexpr std::size_t kDefaultLimit = std::size_t{1} << 30;

private:
    std::filesystem::path m_path;
    const char* m_formatName;
    zip* m_zip = nullptr;
};

// The mimetype entry of a zip file, nullopt when the file is no zip or has none.
std::optional<std::string> zipMimeType(const std::filesystem::path& path);

} // namespace orders
