#pragma once

// The zip container of a workbook. Parts are read on demand; only parts written or removed are
// stored again at save, every other entry is copied with its compressed bytes as they are.

#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct zip;

namespace xlsx {

class Package {
public:
    // Opens the file as a zip package. Throws sheets::Error naming the file and the cause: no such
    // file, a folder, not a zip (an OLE file holding an EncryptedPackage gets its own message, so
    // does any other OLE file, a legacy workbook), a damaged zip.
    explicit Package(std::filesystem::path path);
    ~Package();
    Package(const Package&) = delete;
    Package& operator=(const Package&) = delete;

    const std::filesystem::path& path() const { return m_path; }

    // Part names are zip entry names: no leading '/', case as stored (lookup is case-insensitive,
    // as OPC part names are).
    bool contains(std::string_view name) const;
    std::vector<std::string> partNames() const;

    // The part's uncompressed bytes, as they are now (written data if written). Throws sheets::Error
    // for a missing part, a damaged entry, or a part whose size or compression ratio is absurd.
    std::string read(std::string_view name) const;

    // Replaces the part's bytes, or adds the part when it is new; remove() drops it.
    void write(std::string_view name, std::string data);
    void remove(std::string_view name);
    bool changed() const { return !m_written.empty() || !m_removed.empty(); }

    // Writes the package to path() atomically: a temporary file in the same folder, flushed, renamed
    // over the original, which keeps its permissions. On any failure the original is untouched and
    // the temporary removed; throws sheets::Error naming the file and the cause.
    // Throws sheets::LockedError, before writing anything, when another program has the file open.
    void save();

private:
    std::filesystem::path m_path;
    zip* m_zip = nullptr;
    std::map<std::string, std::string> m_written; // by lower-cased name
    std::map<std::string, std::string> m_names;   // lower-cased name -> name as written
    std::vector<std::string> m_removed;           // lower-cased names
};

// Throws sheets::LockedError when a lock file of another program sits beside `path`:
// "~$NAME" (Excel) or ".~lock.NAME#" (LibreOffice).
void refuseIfLocked(const std::filesystem::path& path);

} // namespace xlsx
