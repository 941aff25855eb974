#pragma once

// The zip container of a workbook. Parts are read on demand; only parts written or removed are
// stored again at save, every other entry is copied with its compressed bytes as they are.

#include "containers/ZipReader.h"
#include "package/ParallelDeflate.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

struct zip;

namespace xlsx {

class Package {
public:
    // Opens the file as a zip package. Throws sheets::Error naming the file and the cause: no such
    // file, a folder, not a zip (an OLE file holding an EncryptedPackage gets its own message, so
    // does a legacy .xls workbook and any other OLE file), a damaged zip.
    explicit Package(std::filesystem::path path);
    ~Package();
    Package(const Package&) = delete;
    Package& operator=(const Package&) = delete;

    const std::filesystem::path& path() const { return m_path; }

    // Part names are zip entry names: no leading '/', case as stored (lookup is case-insensitive,
    // as OPC part names are). Folder entries ("xl/") are not parts.
    bool contains(std::string_view name) const;
    // Original parts in zip order, then new parts in the order they were first written.
    std::vector<std::string> partNames() const;

    // The part's uncompressed bytes, as they are now (written data if written). Throws sheets::Error
    // for a missing part, a damaged entry, or a part whose size or compression ratio is absurd
    // (over 1 GiB, or over 1000:1 beyond 8 MiB); never inflates past the size the entry declares.
    std::string read(std::string_view name) const;
    // The part's bytes as the file holds them, writes and removals aside. Unlike every other call, safe
    // on another thread while this one goes on with the package, save() and destruction excepted.
    std::string readAsOpened(std::string_view name) const;

    // Replaces the part's bytes, or adds the part when it is new; remove() drops it (no-op when absent).
    void write(std::string_view name, std::string data);
    // The same for bytes deflated already (a large part compressed where it was made, so that its
    // text need not be kept until the save): stored in the file as given.
    void writeDeflated(std::string_view name, DeflatedPart part);
    void remove(std::string_view name);
    bool changed() const { return !m_written.empty() || !m_deflated.empty() || !m_removed.empty(); }
    // Drops every write and removal since the last save: the parts read as the file holds them.
    void discardChanges();

    // Writes the package to path() atomically: a temporary file in the same folder, flushed, renamed
    // over the original, which keeps its permissions. On any failure the original is untouched and
    // the temporary removed; throws sheets::Error naming the file and the cause.
    // Throws sheets::LockedError, before writing anything, when another program has the file open.
    // `beforeReplace` runs when the new file is written and flushed, right before it replaces the
    // original; what it throws fails the save as any failure does.
    // Without changes nothing is written. Afterwards the package reads from the saved file.
    void save(const std::function<void()>& beforeReplace = {});

private:
    void buildArchive(zip* out) const;
    // Records a write of the part (a new part joins the order of new parts); returns its key.
    std::string noteWrite(std::string_view name);
    // The zip index of the original part, nullopt when it has none.
    std::optional<std::uint64_t> original(const std::string& key) const;

    std::filesystem::path m_path;
    std::unique_ptr<containers::ZipReader> m_reader; // the file as it was opened or last saved
    std::map<std::string, std::string> m_written;    // by lower-cased name
    std::map<std::string, DeflatedPart> m_deflated;  // by lower-cased name; never also in m_written
    std::map<std::string, std::string> m_names;      // lower-cased name -> name as written (new parts)
    std::vector<std::string> m_added;                // lower-cased names of new parts, first write first
    std::set<std::string> m_removed;                 // lower-cased names of original parts
};

} // namespace xlsx
