#pragma once

// OLE compound files, read through libgsf: their top-level streams by name, what they hold as far as
// telling workbooks apart needs, and the legacy code pages their text is written in.

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace containers {

// The first eight bytes of every OLE compound file.
bool hasOleSignature(std::string_view head);

class OleReader {
public:
    // Nullptr when the file is not a readable compound file (damaged or cut short).
    static std::unique_ptr<OleReader> open(const std::filesystem::path& path);
    // The same for the open file `fd`, which stays open and the caller's; the reader reads it
    // through a descriptor of its own, which shares the file offset with `fd`.
    static std::unique_ptr<OleReader> open(int fd);
    ~OleReader();
    OleReader(const OleReader&) = delete;
    OleReader& operator=(const OleReader&) = delete;

    bool hasStream(const char* name) const;
    // The whole stream; nullopt when there is none of that name or it cannot be read to its end.
    std::optional<std::string> readStream(const char* name) const;

private:
    struct Handles;
    explicit OleReader(std::unique_ptr<Handles> handles);
    std::unique_ptr<Handles> m_handles;
};

// What a compound file holds, as far as opening a workbook cares. A workbook saved with a password
// by the newer formats is an OLE file holding an EncryptedPackage stream; a legacy .xls workbook
// holds a Workbook (BIFF8) or Book (BIFF5) stream; anything else (a text document) holds neither.
enum class CompoundContent { EncryptedWorkbook, LegacyWorkbook, Other };
CompoundContent contentOf(const OleReader& ole);
// The name of the legacy workbook's stream, nullptr when there is none.
const char* legacyWorkbookStream(const OleReader& ole);

// Text of a legacy code page (the spreadsheet's CODEPAGE record) as UTF-8; nullopt when the code page
// is unknown or the bytes are not text in it.
std::optional<std::string> codePageToUtf8(std::string_view bytes, int codePage);

} // namespace containers
