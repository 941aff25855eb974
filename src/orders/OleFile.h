#pragma once

// An OLE compound file, read through libgsf: its top-level streams by name.

#include <filesystem>
#include <memory>
#include <optional>
#include <string>

namespace orders {

class OleFile {
public:
    // Nullptr when the file is not a readable compound file (damaged or cut short).
    static std::unique_ptr<OleFile> open(const std::filesystem::path& path);
    ~OleFile();
    OleFile(const OleFile&) = delete;
    OleFile& operator=(const OleFile&) = delete;

    bool hasStream(const char* name) const;
    // The whole stream; nullopt when there is none of that name or it cannot be read to its end.
    std::optional<std::string> readStream(const char* name) const;

private:
    struct Handles;
    explicit OleFile(std::unique_ptr<Handles> handles);
    std::unique_ptr<Handles> m_handles;
};

// Text of a legacy code page (the spreadsheet's CODEPAGE record) as UTF-8; nullopt when the code page
// is unknown or the bytes are not text in it.
std::optional<std::string> codePageToUtf8(std::string_view bytes, int codePage);

} // namespace orders
