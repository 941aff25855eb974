#include "StockLines.h"

#include "sheets/CellText.h"
#include "sheets/Error.h"
#include "sheets/StrToReal.h"
#include "support/FakeWorkbook.h"

#include <gtest/gtest.h>

#include <random>

namespace stocktest {
namespace {

using testsupport::FakeValue;

std::string sheetText(const sheets::Worksheet& sheet, int row, int column) {
    return sheets::cellText(sheet.cell(row, column), sheets::TextFormat{});
}

// The cache against the sheet itself after every change: each key cell's text and number, and where
// the index answers, the list end, each grade's first row and the rows a key hashes to.
void expectInStep(stock::StockLines& lines, const sheets::Worksheet& sheet, int Dim) {
    int end = 3;
    while (!sheetText(sheet, end, 2).empty())
        ++end;
    std::vector<int> columns{2, 3, Dim + 3, Dim + 5};
    if (Dim >= 2) columns.push_back(4);
    if (Dim == 3) columns.push_back(5);
    for (int row = 3; row <= end + 1; ++row)
        for (int column : columns) {
            ASSERT_EQ(lines.text(row, column), sheetText(sheet, row, column)) << row << ", " << column;
            ASSERT_EQ(lines.number(row, column), sheets::StrToReal(sheetText(sheet, row, column)));
        }
    if (!lines.indexed()) return;
    ASSERT_EQ(lines.endRow(), end);
    for (int row = 3; row < end; ++row) {
        auto grade = sheetText(sheet, row, 2);
        auto id = lines.gradeId(grade);
        ASSERT_TRUE(id) << grade;
        int first = 3;
        while (sheetText(sheet, first, 2) != grade)
            ++first;
        EXPECT_EQ(lines.firstRowOfGrade(*id), first) << grade;
        bool listed = false;
        auto key = [&](int column) { return Dim >= column - 2 ? sheetText(sheet, row, column) : ""; };
        lines.forEachCandidate(stock::StockLines::keyHash(Dim, grade, key(3), key(4), key(5),
                                                          sheetText(sheet, row, Dim + 3),
                                                          sheetText(sheet, row, Dim + 5)),
                               [&](int candidate) { listed = listed || candidate == row; });
        EXPECT_TRUE(listed) << row;
    }
    for (const char* grade : {"S235", "S355", "S275", "s235", "235", "finnes ikke"}) {
        int row = 3;
        while (row < end && sheetText(sheet, row, 2) != grade)
            ++row;
        EXPECT_EQ(lines.gradeId(grade).has_value(), row < end) << grade;
    }
}

// Inserted rows anywhere (above the list too), key cells rewritten anywhere, not only as a booking
// does it: the cache follows or reads the sheet again.
TEST(StockLines, FollowsInsertedRowsAndWrittenKeyCells) {
    for (unsigned seed = 1; seed <= 40; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        std::mt19937 rng(seed);
        auto pick = [&](int low, int high) { return std::uniform_int_distribution<int>(low, high)(rng); };
        const int Dim = pick(1, 3);
        testsupport::FakeWorkbook book{"/lager.xlsx"};
        auto& sheet = book.addSheet("HEA");
        const FakeValue grades[] = {"S235", "S355", "", "s235", 235};
        const FakeValue values[] = {100, "100", "6,50", 6.5, "", "Blank", FakeValue::boolean(false)};
        auto grade = [&] { return grades[pick(0, 4)]; };
        auto value = [&] { return values[pick(0, 6)]; };
        const int count = pick(0, 27);
        for (int row = 3; row < 3 + count; ++row) {
            sheet.put(row, 2, grade());
            for (int column = 3; column <= Dim + 5; ++column)
                sheet.put(row, column, value());
        }
        stock::StockLines lines(sheet, sheets::TextFormat{}, Dim);
        expectInStep(lines, sheet, Dim);
        for (int step = 0; step < 30; ++step) {
            const int row = pick(1, lines.endRow() + 2);
            if (pick(0, 2) == 0) {
                sheet.insertRow(row, sheets::CopyOrigin::FromLeftOrAbove);
                lines.rowInserted(row);
            } else if (row >= 3) {
                const char* written[] = {"", "S275", "S235", "S355"};
                sheet.setText(row, 2, written[pick(0, 3)]);
                sheet.setNumber(row, Dim + 5, pick(1, 20));
                lines.lineWritten(row);
            }
            expectInStep(lines, sheet, Dim);
        }
    }
}

TEST(StockLines, ErrorValuesAreLeftToTheSheet) {
    testsupport::FakeWorkbook book{"/lager.xlsx"};
    auto& sheet = book.addSheet("HEA");
    sheet.row(3, {"HEA", "S235", 100, "Blank", "", 6});
    sheet.row(4, {"HEA", "S235", FakeValue::error("#REF!"), "Blank", "", 6});
    sheet.row(5, {"HEA", FakeValue::error("#N/A"), 100, "Blank", "", 6});
    stock::StockLines lines(sheet, sheets::TextFormat{}, 1);
    EXPECT_FALSE(lines.indexed());
    EXPECT_EQ(lines.text(3, 3), "100");
    EXPECT_EQ(lines.text(4, 2), "S235");
    EXPECT_THROW(lines.text(4, 3), sheets::Error);
    EXPECT_THROW(lines.text(5, 2), sheets::Error);
    // Written over, the cell is cached again; past the column-2 error the list stays the sheet's.
    sheet.setNumber(4, 3, 200);
    sheet.setText(5, 2, "");
    lines.lineWritten(4);
    lines.lineWritten(5);
    EXPECT_EQ(lines.text(4, 3), "200");
    EXPECT_EQ(lines.text(5, 2), "");
    EXPECT_FALSE(lines.indexed());
}

} // namespace
} // namespace stocktest
