#include "WorkbookHarness.h"

#include "orders/Opener.h"
#include "sheets/Error.h"
#include "xlsx/XlsxWorkbook.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>

namespace fuzz {

namespace {

// The window read on every sheet. The contract has no used range; fuzz inputs are small, and the
// far corners catch the limits.
constexpr int kRows = 60;
constexpr int kColumns = 30;

// Touches every byte of a value so that the sanitizer sees a dangling or short text.
unsigned long consume(const sheets::CellValue& value) {
    unsigned long sum = static_cast<unsigned long>(value.kind);
    for (char c : value.text)
        sum += static_cast<unsigned char>(c);
    return sum + static_cast<unsigned long>(value.number != 0);
}

unsigned long readSheet(sheets::Worksheet& sheet) {
    unsigned long sum = sheet.name().size();
    for (int row = 1; row <= kRows; ++row)
        for (int column = 1; column <= kColumns; ++column)
            sum += consume(sheet.cell(row, column));
    sum += consume(sheet.cell(1048576, 1));
    sum += consume(sheet.cell(1, 16384));
    sum += consume(sheet.cell(1048576, 16384));
    return sum;
}

// Reads every sheet; a sheet that cannot be read does not stop the others.
unsigned long readAll(sheets::Workbook& book) {
    unsigned long sum = book.activeSheet().name().size();
    for (int index = 1; index <= book.sheetCount(); ++index) {
        try {
            sum += readSheet(book.sheet(index));
        } catch (const sheets::Error&) {
        }
    }
    return sum;
}

void edit(sheets::Worksheet& sheet) {
    sheet.setText(2, 2, "Tulverkan");
    sheet.setNumber(3, 1, 42.5);
    sheet.setText(1, 3, "");
    sheet.insertRow(3, sheets::CopyOrigin::FromLeftOrAbove);
    sheet.setText(3, 1, "ny rad");
    sheet.insertRow(1, sheets::CopyOrigin::FromRightOrBelow);
    consume(sheet.cell(4, 2));
}

[[noreturn]] void fault(const std::string& what) {
    std::fprintf(stderr, "fuzz harness: %s\n", what.c_str());
    std::abort();
}

std::string contents(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A save either succeeds or leaves the file as it was.
void save(sheets::Workbook& book) {
    const auto before = contents(book.path());
    try {
        book.save();
    } catch (const sheets::Error&) {
        if (contents(book.path()) != before) fault("a failed save changed the file");
        throw;
    }
}

} // namespace

void exercise(Open open, const std::uint8_t* data, std::size_t size, const std::filesystem::path& path) {
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
        if (!out) fault("cannot write the input to " + path.string());
    }
    volatile unsigned long sink = 0;

    try {
        auto book = open(path, sheets::OpenMode::ReadOnly);
        sink = sink + readAll(*book);
    } catch (const sheets::Error&) {
    }

    bool saved = false;
    try {
        auto book = open(path, sheets::OpenMode::ReadWrite);
        bool edited = false;
        for (int index = 1; index <= book->sheetCount(); ++index) {
            try {
                edit(book->sheet(index));
                edited = true;
            } catch (const sheets::Error&) {
            }
        }
        if (edited) {
            save(*book);
            saved = true;
            // A second change after a save must start from the saved file.
            book->activeSheet().setNumber(5, 5, 7);
            save(*book);
        }
    } catch (const sheets::Error&) {
    }

    if (saved) {
        // What we saved must open and read again: a save must never turn a readable workbook into
        // one we cannot read ourselves.
        try {
            auto book = open(path, sheets::OpenMode::ReadOnly);
            sink = sink + readAll(*book);
        } catch (const sheets::Error& error) {
            fault(std::string("the saved workbook does not open again: ") + error.what());
        }
    }

    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator(path.parent_path(), ignored)) {
        if (entry.path() != path) fault("a save left " + entry.path().string() + " behind");
        std::filesystem::remove_all(entry.path(), ignored);
    }
}

void exerciseXlsx(const std::uint8_t* data, std::size_t size, const std::filesystem::path& folder) {
    exercise(xlsx::openWorkbook, data, size, folder / "Lager.xlsx");
}

void exerciseOrder(const std::uint8_t* data, std::size_t size, const std::filesystem::path& folder,
                   const char* extension) {
    exercise(orders::openWorkbook, data, size, folder / (std::string("Bestilling") + extension));
}

} // namespace fuzz
