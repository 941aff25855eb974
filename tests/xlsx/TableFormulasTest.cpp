// Formulas that name tables, read through the engine: the table is found from the sheet's table part
// and seen where it stands after this run's insertions, so a row inserted inside it counts at once.

#include "xlsx/XlsxWorkbook.h"

#include "OpenpyxlView.h"
#include "support/Corpus.h"
#include "support/TestPaths.h"
#include "support/ZipEntries.h"

#include <charconv>
#include <gtest/gtest.h>

using sheets::CellValue;
using sheets::CopyOrigin;
using sheets::OpenMode;
using namespace testsupport;

namespace {

double number(sheets::Worksheet& sheet, int row, int column) {
    CellValue value = sheet.cell(row, column);
    EXPECT_EQ(value.kind, CellValue::Kind::Number) << "row " << row << ", column " << column;
    return value.number;
}

// A number openpyxl read back from a saved cell.
double savedNumber(const BookView& view, Position at) {
    const CellView& cell = view.cells.at(at);
    EXPECT_EQ(cell.kind, 'n');
    double value = 0;
    std::from_chars(cell.text.data(), cell.text.data() + cell.text.size(), value);
    return value;
}

// Tabell1 on 'Lager 1' is A1:C11: header Produkt, Mengde (1..9), Lengde (2.5 each), a totals row.
// E2 = SUM(Tabell1[Mengde]); B11 and C11 SUBTOTAL(109, ...) of the columns; 'Andre ark'!A1 the
// totals row's Lengde. The file asks for a full calculation on load, so all of them are computed.
TEST(TableFormulas, ARowInsertedInsideTheTableCountsAtOnceAndIsSaved) {
    TempDir dir;
    auto path = dir.copy(fixture("xlsxwriter/insert-table.xlsx"));
    {
        auto book = xlsx::openWorkbook(path, OpenMode::ReadWrite);
        auto& lager = book->sheet(1);
        auto& other = book->sheet(2);
        EXPECT_EQ(number(lager, 2, 5), 45);
        EXPECT_EQ(number(lager, 11, 2), 45);
        EXPECT_EQ(number(other, 1, 1), 112.5);

        lager.insertRow(5, CopyOrigin::FromLeftOrAbove);
        lager.setNumber(5, 2, 100);
        lager.setNumber(5, 3, 7.5);
        EXPECT_EQ(number(lager, 2, 5), 145);  // SUM(Tabell1[Mengde]) over the grown table
        EXPECT_EQ(number(lager, 12, 2), 145); // the totals row moved down with it
        EXPECT_EQ(number(other, 1, 1), 120);  // [#Totals] is the moved totals row
        EXPECT_EQ(number(lager, 3, 5), 145);  // SUM(B2:B10) moved to B2:B11 as well

        // A row below the table leaves it as it is.
        lager.insertRow(13, CopyOrigin::FromLeftOrAbove);
        lager.setNumber(13, 2, 1000);
        EXPECT_EQ(number(lager, 2, 5), 145);
        book->save();
    }
    auto saved = openpyxlView(path);
    EXPECT_EQ(savedNumber(saved, {1, 2, 5}), 145);
    EXPECT_EQ(savedNumber(saved, {1, 12, 2}), 145);
    EXPECT_EQ(savedNumber(saved, {2, 1, 1}), 120);
    EXPECT_NE(zipEntry(path, "xl/tables/table1.xml").value_or("").find("ref=\"A1:C12\""), std::string::npos);
}

// The corpus workbook with a table: F3:F6 hold Table1[[#This Row],[Column3]] with results the file
// keeps as current. After a write they must be computed, which the booking depends on.
TEST(TableFormulas, TheExcelWorkbookWithATableIsReadAfterWritesAndInsertions) {
    TULVERKAN_NEEDS_CORPUS();
    TempDir dir;
    auto path = dir.copy(corpus("table34.xlsx"));
    {
        auto book = xlsx::openWorkbook(path, OpenMode::ReadWrite);
        auto& sheet = book->sheet(1);
        sheet.setNumber(3, 5, 7);
        sheet.setNumber(6, 5, 2.5);
        EXPECT_EQ(number(sheet, 3, 6), 7);
        EXPECT_EQ(number(sheet, 4, 6), 0);
        EXPECT_EQ(number(sheet, 6, 6), 2.5);
        sheet.insertRow(4, CopyOrigin::FromLeftOrAbove);
        sheet.setNumber(7, 5, 4); // the former row 6
        EXPECT_EQ(number(sheet, 7, 6), 4);
        EXPECT_EQ(number(sheet, 3, 6), 7);
        book->save();
    }
    auto saved = openpyxlView(path);
    EXPECT_EQ(savedNumber(saved, {1, 3, 6}), 7);
    EXPECT_EQ(savedNumber(saved, {1, 7, 6}), 4);
    auto reopened = xlsx::openWorkbook(path, OpenMode::ReadOnly);
    EXPECT_EQ(number(reopened->sheet(1), 7, 6), 4);
}

} // namespace
