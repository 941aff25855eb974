#pragma once

// A zip archive read entry by entry, with the one set of limits every reader of a zip-based workbook
// keeps: no entry inflates past 1 GiB or, beyond 8 MiB, past 1000 times its compressed size, and an
// entry must hold exactly the bytes it declares. Entry names are found as the format compares them.

#include "sheets/Place.h"

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct zip;

namespace containers {

// How a format compares entry names: the key that names meaning the same entry share (OPC part names
// ignore ASCII case, for instance). Where several entries share a key, the first is the one found.
using NameKey = std::string (*)(std::string_view name);
// Names as stored, byte for byte, as OpenDocument compares them.
std::string nameAsStored(std::string_view name);

class ZipReader {
public:
    // Opens the archive in the open file `fd`, which the reader owns from then on (it is closed also
    // when opening fails). Nullptr when libzip cannot read the file as a zip archive, with libzip's
    // error code in `error`. `place` names the file in every failure. Throws sheets::Error when the
    // archive opens but its entry names cannot be read.
    static std::unique_ptr<ZipReader> open(int fd, sheets::Place place, NameKey key, int& error);
    // The same for the file at `path`, opened here; `error` is libzip's code when it cannot be opened.
    static std::unique_ptr<ZipReader> open(const std::filesystem::path& path, NameKey key, int& error);

    ~ZipReader();
    ZipReader(const ZipReader&) = delete;
    ZipReader& operator=(const ZipReader&) = delete;

    const sheets::Place& place() const { return m_place; }
    // Entry names by zip index, folders included; a name that is not valid UTF-8 as libzip decodes it.
    const std::vector<std::string>& names() const { return m_names; }
    // The index of the entry of that name, the first where several compare equal.
    std::optional<std::uint64_t> find(std::string_view name) const;

    // The entry's bytes. Throws sheets::Error naming the place and the entry as `partName` for a
    // damaged entry or one past the limits; never inflates past the size the entry declares.
    // Reads, declaredSize() and find() may run on several threads at once.
    std::string read(std::uint64_t index, std::string_view partName) const;
    // The bytes of the entry of that name, nullopt when there is none.
    std::optional<std::string> read(std::string_view name) const;
    // The size the entry declares, nullopt when libzip does not know it.
    std::optional<std::uint64_t> declaredSize(std::uint64_t index) const;

    // The archive itself, for a writer that copies entries as they are stored; not while another
    // thread reads.
    zip* archive() const { return m_zip; }

private:
    ZipReader(zip* archive, sheets::Place place, NameKey key);
    // A deflated entry's compressed bytes are fetched under the lock and inflated outside it, so that
    // threads reading at once wait only for the file. Anything out of the ordinary (another method,
    // encryption, a size or checksum that does not match) gives nullopt: libzip then reads the entry
    // again and names what is wrong.
    std::optional<std::string> readDeflated(std::uint64_t index) const;
    std::string readWithLibzip(std::uint64_t index, std::string_view partName) const;

    mutable std::mutex m_lock; // libzip's archive handle is not safe for concurrent use
    zip* m_zip;
    sheets::Place m_place;
    NameKey m_key;
    std::vector<std::string> m_names;
    std::map<std::string, std::uint64_t, std::less<>> m_index; // by m_key(name)
};

} // namespace containers
