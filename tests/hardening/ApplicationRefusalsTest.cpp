// What the spreadsheet application refuses is refused here too, at the call, before anything changes:
// rows into a protected sheet that does not allow inserting them, writes into locked cells of a
// protected sheet, a row through a pivot table. The message names the file, the sheet and the cause.

#include "Untouched.h"

#include "support/Corpus.h"
#include "support/ErrorOf.h"
#include "support/TestPaths.h"
#include "xlsx/XlsxWorkbook.h"

#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>

namespace {

namespace fs = std::filesystem;
using testsupport::errorOf;
using testsupport::TempDir;

sheets::Worksheet& sheetNamed(sheets::Workbook& book, const std::string& name) {
    for (int index = 1; index <= book.sheetCount(); ++index)
        if (book.sheet(index).name() == name) return book.sheet(index);
    throw std::runtime_error("no sheet " + name);
}

// A refusal at the call: the message names file and sheet, the sheet reads as before, and a save
// afterwards leaves the file as it was.
void expectRefusal(sheets::Workbook& book, sheets::Worksheet& sheet, const std::function<void()>& action,
                   const std::string& cause) {
    std::vector<std::string> before;
    for (int row = 1; row <= 12; ++row)
        before.emplace_back(sheet.cell(row, 1).text);
    const auto message = errorOf(action);
    EXPECT_REFUSED(message, book.path(), cause);
    EXPECT_NE(message.find("«" + sheet.name() + "»"), std::string::npos) << message;
    for (int row = 1; row <= 12; ++row)
        EXPECT_EQ(sheet.cell(row, 1).text, before[static_cast<std::size_t>(row - 1)]) << row;
}

struct ProtectedFixture {
    const char* file;
    bool insertRowsAllowed;
    // A cell whose style unlocks it, and one left locked.
    int unlockedRow, unlockedColumn;
};

TEST(ApplicationRefusals, ProtectedSheetsAsEachWriterMarksThem) {
    const std::vector<ProtectedFixture> fixtures{
        {"hardening/protected-xlsxwriter.xlsx", false, 4, 3},
        {"hardening/protected-insert-rows.xlsx", true, 4, 3},
        {"hardening/protected-openpyxl.xlsx", false, 4, 3},
        {"hardening/protected-libreoffice.xlsx", false, 4, 3},
    };
    for (const auto& fixture : fixtures) {
        SCOPED_TRACE(fixture.file);
        TempDir dir;
        const auto path = dir.copy(testsupport::fixture(fixture.file), "Lager.xlsx");
        const auto bytes = testsupport::readFile(path);
        {
            auto book = xlsx::openWorkbook(path, sheets::OpenMode::ReadWrite);
            auto& sheet = sheetNamed(*book, "Lager");
            expectRefusal(
                *book, sheet, [&] { sheet.setText(2, 1, "S355"); }, "beskyttet");
            expectRefusal(
                *book, sheet, [&] { sheet.setNumber(2, 2, 1); }, "beskyttet");
            // An empty cell takes its row's or column's style: column D has the default, locked.
            expectRefusal(
                *book, sheet, [&] { sheet.setNumber(30, 4, 1); }, "beskyttet");
            if (!fixture.insertRowsAllowed)
                expectRefusal(
                    *book, sheet, [&] { sheet.insertRow(3, sheets::CopyOrigin::FromLeftOrAbove); },
                    "beskyttet");
            book->save();
        }
        EXPECT_EQ(testsupport::readFile(path), bytes) << "refusals must leave nothing to save";

        // What the protection allows goes through.
        auto book = xlsx::openWorkbook(path, sheets::OpenMode::ReadWrite);
        auto& sheet = sheetNamed(*book, "Lager");
        sheet.setNumber(fixture.unlockedRow, fixture.unlockedColumn, 77);
        if (fixture.insertRowsAllowed) sheet.insertRow(3, sheets::CopyOrigin::FromLeftOrAbove);
        if (book->sheetCount() > 2) sheetNamed(*book, "Fri").setText(2, 1, "fritt");
        book->save();
        auto reread = xlsx::openWorkbook(path, sheets::OpenMode::ReadOnly);
        const int row = fixture.unlockedRow + (fixture.insertRowsAllowed ? 1 : 0);
        EXPECT_EQ(sheetNamed(*reread, "Lager").cell(row, fixture.unlockedColumn).number, 77);
    }
}

// Excel's own protected sheet allows inserting rows, and all its cells are locked by default.
TEST(ApplicationRefusals, ExcelsProtectedSheetTakesRowsButNoValues) {
    TULVERKAN_NEEDS_CORPUS();
    TempDir dir;
    const auto path = dir.copy(testsupport::corpus("protect08.xlsx"), "Lager.xlsx");
    auto book = xlsx::openWorkbook(path, sheets::OpenMode::ReadWrite);
    auto& sheet = book->sheet(1);
    EXPECT_EQ(errorOf([&] { sheet.insertRow(2, sheets::CopyOrigin::FromLeftOrAbove); }), "");
    expectRefusal(
        *book, sheet, [&] { sheet.setText(1, 1, "x"); }, "beskyttet");
}

TEST(ApplicationRefusals, ARowThroughAPivotTableIsRefusedWhenItIsInserted) {
    TempDir dir;
    const auto path = dir.copy(testsupport::fixture("libreoffice/insert-pivot-source.xlsx"), "Lager.xlsx");
    const auto bytes = testsupport::readFile(path);
    {
        auto book = xlsx::openWorkbook(path, sheets::OpenMode::ReadWrite);
        auto& pivot = sheetNamed(*book, "Pivot");
        // The table covers A3:B13: a row inside it is refused, one at its top or below it is not.
        expectRefusal(
            *book, pivot, [&] { pivot.insertRow(5, sheets::CopyOrigin::FromLeftOrAbove); }, "pivottabell");
        expectRefusal(
            *book, pivot, [&] { pivot.insertRow(13, sheets::CopyOrigin::FromLeftOrAbove); }, "pivottabell");
        book->save();
    }
    EXPECT_EQ(testsupport::readFile(path), bytes);

    auto book = xlsx::openWorkbook(path, sheets::OpenMode::ReadWrite);
    auto& pivot = sheetNamed(*book, "Pivot");
    pivot.insertRow(3, sheets::CopyOrigin::FromRightOrBelow); // now A4:B14
    pivot.insertRow(15, sheets::CopyOrigin::FromLeftOrAbove);
    expectRefusal(
        *book, pivot, [&] { pivot.insertRow(14, sheets::CopyOrigin::FromLeftOrAbove); }, "pivottabell");
    EXPECT_EQ(errorOf([&] { book->save(); }), "");
}

} // namespace
