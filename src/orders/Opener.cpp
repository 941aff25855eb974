#include "orders/Opener.h"

#include "BiffScan.h"
#include "OdsReader.h"
#include "XlsReader.h"
#include "containers/OleReader.h"
#include "containers/ZipReader.h"
#include "sheets/Place.h"
#include "xlsx/XlsxWorkbook.h"

#include <fstream>

namespace orders {

namespace {

enum class Content { ForTheEngine, Ole, BareBiff, Ods, Text, Other };

constexpr const char* kPasswordCause =
    "arbeidsboken er beskyttet med passord; fjern passordet i regnearkprogrammet og lagre den på nytt";

std::uint16_t le16(const std::string& bytes, std::size_t at) {
    return static_cast<std::uint16_t>(static_cast<unsigned char>(bytes[at]) |
                                      static_cast<unsigned char>(bytes[at + 1]) << 8);
}

// A bare BIFF stream starts with a BOF record: 0x0009 (BIFF2), 0x0209, 0x0409, 0x0809.
bool isBareBiff(const std::string& head) {
    if (head.size() < 8) return false;
    const auto type = le16(head, 0);
    const auto size = le16(head, 2);
    return (type == 0x0009 || type == 0x0209 || type == 0x0409 || type == 0x0809) && size >= 4 && size <= 20;
}

// Text has no control characters but tabs, line and page breaks; any 8-bit encoding will do.
bool isText(const std::string& head) {
    for (unsigned char c : head)
        if (c < 0x20 && c != '\t' && c != '\n' && c != '\r' && c != '\f') return false;
    return true;
}

[[noreturn]] void failOpen(const std::filesystem::path& path, const std::string& cause) {
    sheets::Place{path}.fail(sheets::kCannotOpen, cause);
}

// An OpenDocument package names its type in its entry "mimetype"; the zip is kept open for the reader
// when it is a spreadsheet's.
std::unique_ptr<containers::ZipReader> openDocumentSpreadsheet(const std::filesystem::path& path) {
    int error = 0;
    auto zip = containers::ZipReader::open(path, containers::nameAsStored, error);
    if (!zip) return nullptr;
    const auto index = zip->find("mimetype");
    // A type is a short text; anything longer is no type of ours.
    constexpr std::uint64_t kLongestType = 128;
    const auto size = index ? zip->declaredSize(*index) : std::nullopt;
    if (!size || *size > kLongestType) return nullptr;
    const auto type = zip->read(*index, "mimetype");
    if (type != "application/vnd.oasis.opendocument.spreadsheet" &&
        type != "application/vnd.oasis.opendocument.spreadsheet-template")
        return nullptr;
    return zip;
}

// Files the engine has its own words for (missing, a folder, empty, a zip) go to it.
Content sniff(const std::filesystem::path& path, std::string& head,
              std::unique_ptr<containers::ZipReader>& ods) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) return Content::ForTheEngine;
    std::ifstream in(path, std::ios::binary);
    head.resize(4096);
    in.read(head.data(), static_cast<std::streamsize>(head.size()));
    head.resize(static_cast<std::size_t>(in.gcount()));
    if (!in.eof() && !in) return Content::ForTheEngine;
    if (head.empty()) return Content::ForTheEngine;
    if (containers::hasOleSignature(head)) return Content::Ole;
    if (head.starts_with("PK")) {
        ods = openDocumentSpreadsheet(path);
        return ods ? Content::Ods : Content::ForTheEngine;
    }
    if (isBareBiff(head)) return Content::BareBiff;
    return isText(head) ? Content::Text : Content::Other;
}

void refuseWriting(const std::filesystem::path& path, sheets::OpenMode mode, const char* format) {
    if (mode != sheets::OpenMode::ReadWrite) return;
    failOpen(path, "arbeidsboken er i " + std::string(format) +
                       "-formatet, som bare kan leses her, ikke endres; lagre den som .xlsx i "
                       "regnearkprogrammet først");
}

// A damaged .xls may leave its reader without any sheet; a workbook has at least one, and the run
// reads the active one.
std::unique_ptr<sheets::Workbook> requireSheets(std::unique_ptr<sheets::Workbook> book) {
    if (book->sheetCount() == 0) failOpen(book->path(), "filen er skadet: arbeidsboken har ingen ark");
    return book;
}

[[noreturn]] void refuseVersion(const std::filesystem::path& path, const std::string& version) {
    failOpen(path, "arbeidsboken er i et gammelt .xls-format (" + version +
                       ") som ikke kan leses her; åpne den i regnearkprogrammet og lagre den som .xlsx");
}

std::unique_ptr<sheets::Workbook> openCompound(const std::filesystem::path& path, sheets::OpenMode mode) {
    auto ole = containers::OleReader::open(path);
    if (!ole) failOpen(path, "filen er en skadet OLE-fil");
    switch (containers::contentOf(*ole)) {
    case containers::CompoundContent::EncryptedWorkbook:
        failOpen(path, kPasswordCause);
    case containers::CompoundContent::Other:
        failOpen(path, "filen er et OLE-dokument uten arbeidsbok (for eksempel et tekstdokument), ikke en "
                       "arbeidsbok");
    case containers::CompoundContent::LegacyWorkbook:
        break;
    }
    const char* streamName = containers::legacyWorkbookStream(*ole);
    refuseWriting(path, mode, ".xls");
    auto stream = ole->readStream(streamName);
    if (!stream) failOpen(path, "filen er en skadet OLE-fil: arbeidsboken kan ikke leses til endes");
    auto biff = scanBiff(*stream);
    if (biff.encrypted) failOpen(path, kPasswordCause);
    if (biff.version == 0) refuseVersion(path, "ukjent BIFF-versjon");
    if (!biff.damage.empty()) failOpen(path, "filen er skadet: " + biff.damage);
    return requireSheets(readXls(path, std::move(biff)));
}

// Excel 2.1 to 4.0 saved a sheet as a bare BIFF stream; FreeXL reads the single worksheets of
// BIFF2 to BIFF4, not the workbooks of 4.0, charts or macro sheets, nor BIFF5 outside a compound file.
std::unique_ptr<sheets::Workbook> openBareBiff(const std::filesystem::path& path, sheets::OpenMode mode,
                                               const std::string& head) {
    refuseWriting(path, mode, ".xls");
    const auto type = le16(head, 0);
    const auto sheetType = le16(head, 6); // the BOF body: version, then sheet type
    const std::string version = type == 0x0009   ? "BIFF2"
                                : type == 0x0209 ? "BIFF3"
                                : type == 0x0409 ? "BIFF4"
                                                 : "BIFF5 eller nyere uten OLE-beholder";
    if (type == 0x0809) refuseVersion(path, version);
    if (sheetType == 0x0100) refuseVersion(path, version + "-arbeidsbok med flere ark");
    if (sheetType != 0x0010) refuseVersion(path, version + " som ikke er et regneark");
    return requireSheets(readLegacyXls(path));
}

} // namespace

std::unique_ptr<sheets::Workbook> openWorkbook(const std::filesystem::path& path, sheets::OpenMode mode) {
    std::string head;
    std::unique_ptr<containers::ZipReader> ods;
    switch (sniff(path, head, ods)) {
    case Content::Ole:
        return openCompound(path, mode);
    case Content::BareBiff:
        return openBareBiff(path, mode, head);
    case Content::Ods:
        refuseWriting(path, mode, ".ods");
        return readOds(*ods);
    case Content::Text:
        failOpen(path, "filen er en tekstfil (for eksempel .csv), ikke en arbeidsbok; åpne den i "
                       "regnearkprogrammet og lagre den som .xlsx");
    case Content::Other:
        failOpen(path, "filen er ikke en arbeidsbok (.xlsx, .xlsm, .xls eller .ods)");
    case Content::ForTheEngine:
        break;
    }
    return xlsx::openWorkbook(path, mode);
}

} // namespace orders
