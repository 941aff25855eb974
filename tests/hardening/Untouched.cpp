#include "Untouched.h"

#include "sheets/Error.h"
#include "support/TestPaths.h"
#include "xlsx/XlsxWorkbook.h"

namespace hardening {

namespace {

// Size and hash: enough to tell files apart, short enough to read in a failure.
std::string fingerprint(const std::string& bytes) {
    return std::to_string(bytes.size()) + " byte, " + std::to_string(std::hash<std::string>{}(bytes));
}

} // namespace

std::map<std::string, std::string> snapshot(const std::filesystem::path& folder) {
    std::map<std::string, std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        files[entry.path().filename().string()] =
            entry.is_regular_file() ? fingerprint(testsupport::readFile(entry.path())) : "(ikke en fil)";
    return files;
}

namespace {

void readSheet(sheets::Worksheet& sheet) {
    for (int row = 1; row <= 40; ++row)
        for (int column = 1; column <= 12; ++column)
            sheet.cell(row, column);
}

} // namespace

void openEditSave(const std::filesystem::path& path) {
    auto book = xlsx::openWorkbook(path, sheets::OpenMode::ReadWrite);
    for (int index = 1; index <= book->sheetCount(); ++index) {
        auto& sheet = book->sheet(index);
        readSheet(sheet);
        sheet.setText(2, 1, "S355");
        sheet.insertRow(3, sheets::CopyOrigin::FromLeftOrAbove);
        sheet.setNumber(3, 2, 6000);
    }
    book->save();
}

void openAndRead(const std::filesystem::path& path) {
    auto book = xlsx::openWorkbook(path, sheets::OpenMode::ReadOnly);
    for (int index = 1; index <= book->sheetCount(); ++index)
        readSheet(book->sheet(index));
}

} // namespace hardening
