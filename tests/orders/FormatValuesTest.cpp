#include "OrderFixtures.h"

#include "orders/Opener.h"
#include "sheets/Error.h"
#include "xlsx/XlsxWorkbook.h"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

namespace orderstest {
namespace {

using Kind = sheets::CellValue::Kind;

std::string describe(const sheets::CellValue& value) {
    std::ostringstream out;
    switch (value.kind) {
    case Kind::Empty:
        return "empty";
    case Kind::Text:
        out << "text \"" << value.text << '"';
        break;
    case Kind::Number:
        out << "number " << value.number;
        break;
    case Kind::Boolean:
        out << "boolean " << value.number;
        break;
    case Kind::DateTime:
        out << "date " << value.number;
        break;
    case Kind::Error:
        out << "error " << value.text;
        break;
    }
    return out.str();
}

bool sameValue(const sheets::CellValue& a, const sheets::CellValue& b) {
    if (a.kind != b.kind) return false;
    switch (a.kind) {
    case Kind::Empty:
        return true;
    case Kind::Text:
    case Kind::Error:
        return a.text == b.text;
    case Kind::Number:
    case Kind::Boolean:
        return a.number == b.number;
    case Kind::DateTime:
        return std::fabs(a.number - b.number) < 1e-9; // texts of the time of day round
    }
    return false;
}

struct Converted {
    std::filesystem::path original; // .xlsx
    std::filesystem::path converted;
    int rows = 40; // compared in columns 1 to 16, and in a few far cells
};

void PrintTo(const Converted& converted, std::ostream* out) {
    *out << converted.converted.filename();
}

std::vector<Converted> allConverted() {
    std::vector<Converted> all;
    for (const char* extension : {".xls", ".ods"}) {
        for (const auto& name : convertedCases())
            all.push_back({caseOrder(name), orderFixture("cases/" + name + extension)});
        for (const char* name : {"kinds", "date1904"})
            all.push_back(
                {orderFixture(std::string(name) + ".xlsx"), orderFixture(std::string(name) + extension)});
    }
    // .xls files that FreeXL refuses or cannot read in little memory: shared texts with the empty one,
    // over many records, changing width within a text; the workbook stream late in the directory; a
    // sheet declaring its whole size.
    for (const char* name : {"empty-text", "wide-dimensions"})
        all.push_back({orderFixture(std::string(name) + ".xlsx"), orderFixture(std::string(name) + ".xls")});
    all.push_back({orderFixture("split-texts.xlsx"), orderFixture("split-texts.xls"), 301});
    all.push_back({orderFixture("long-texts.xlsx"), orderFixture("long-texts.xls"), 750});
    all.push_back({orderFixture("kinds.xlsx"), orderFixture("late-workbook.xls")});
    return all;
}

class ConvertedWorkbook : public ::testing::TestWithParam<Converted> {};

// Every cell of the used area, and the sheets, read from the .xls or .ods as the engine reads them
// from the .xlsx it was made from (or that LibreOffice made from it).
TEST_P(ConvertedWorkbook, ReadsAsTheOriginal) {
    auto original = xlsx::openWorkbook(GetParam().original, sheets::OpenMode::ReadOnly);
    auto converted = orders::openWorkbook(GetParam().converted, sheets::OpenMode::ReadOnly);
    const bool ods = GetParam().converted.extension() == ".ods";
    ASSERT_EQ(converted->sheetCount(), original->sheetCount());
    // Headless LibreOffice writes no view settings into .ods: its active sheet is the first one.
    EXPECT_EQ(converted->activeSheet().name(),
              ods ? original->sheet(1).name() : original->activeSheet().name());
    int compared = 0;
    for (int index = 1; index <= original->sheetCount(); ++index) {
        const auto& expected = original->sheet(index);
        const auto& actual = converted->sheet(index);
        EXPECT_EQ(actual.name(), expected.name());
        auto check = [&](int row, int column) {
            const auto want = expected.cell(row, column);
            const auto got = actual.cell(row, column);
            compared += want.kind != Kind::Empty;
            EXPECT_TRUE(sameValue(got, want)) << expected.name() << " row " << row << " column " << column
                                              << ": " << describe(got) << ", expected " << describe(want);
        };
        for (int row = 1; row <= GetParam().rows; ++row)
            for (int column = 1; column <= 16; ++column)
                check(row, column);
        check(5000, 200);
        check(5001, 200);
        check(65536, 256);
    }
    EXPECT_GT(compared, 2);
}

INSTANTIATE_TEST_SUITE_P(Fixtures, ConvertedWorkbook, ::testing::ValuesIn(allConverted()),
                         [](const auto& info) {
                             std::string name = info.param.converted.filename().string();
                             for (char& c : name)
                                 if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                             return name;
                         });

// Each kind of value from the record its writer keeps it in, not only as the engine reads it.
TEST(XlsValues, KindsOfValues) {
    auto book = orders::openWorkbook(orderFixture("kinds.xls"), sheets::OpenMode::ReadOnly);
    const auto& sheet = book->activeSheet();
    EXPECT_EQ(sheet.name(), "Bestilling");
    EXPECT_EQ(describe(sheet.cell(2, 4)), "number 5");        // a formula's stored result
    EXPECT_EQ(describe(sheet.cell(3, 4)), "text \"S355\"");   // in a STRING record
    EXPECT_EQ(sheet.cell(7, 4).text, std::string(9000, 'x')); // continued over records
    EXPECT_EQ(describe(sheet.cell(4, 4)), "error #DIV/0!");
    EXPECT_EQ(describe(sheet.cell(7, 3)), "boolean 1");
    EXPECT_EQ(describe(sheet.cell(2, 3)), "date 45365");     // dd.mm.yyyy
    EXPECT_EQ(describe(sheet.cell(6, 3)), "date 1.75");      // [h]:mm
    EXPECT_EQ(describe(sheet.cell(10, 2)), "number 1234.5"); // 0.00 "kr" is no date
    EXPECT_EQ(describe(sheet.cell(5000, 200)), "text \"langt borte\"");
}

TEST(XlsValues, DatesOfThe1904SystemComeAsSerialsOf1900) {
    auto book = orders::openWorkbook(orderFixture("date1904.xls"), sheets::OpenMode::ReadOnly);
    const auto& sheet = book->activeSheet();
    EXPECT_EQ(sheet.cell(1, 1).kind, Kind::DateTime);
    EXPECT_NEAR(sheet.cell(1, 1).number, 45365 + 6.25 / 24, 1e-9); // 2024-03-14 06:15
    EXPECT_EQ(describe(sheet.cell(2, 1)), "number 100");           // a plain number is not moved
}

// BIFF5 keeps texts in the workbook's code page and the workbook in a stream named Book.
TEST(XlsValues, Excel95Workbook) {
    auto book = orders::openWorkbook(orderFixture("excel95.xls"), sheets::OpenMode::ReadOnly);
    ASSERT_EQ(book->sheetCount(), 2);
    EXPECT_EQ(book->sheet(1).cell(1, 1).text, "Forside");
    const auto& sheet = book->activeSheet();
    EXPECT_EQ(sheet.name(), "Bestilling");
    EXPECT_EQ(describe(sheet.cell(10, 2)), "text \"Kranbane skinner\"");
    EXPECT_EQ(describe(sheet.cell(10, 3)), "text \"Bjørnevik\"");
    EXPECT_EQ(describe(sheet.cell(10, 4)), "number 200");
    EXPECT_EQ(describe(sheet.cell(10, 5)), "number 100");
    EXPECT_EQ(describe(sheet.cell(10, 6)), "text \"Ø 42,4\"");
    EXPECT_EQ(describe(sheet.cell(10, 7)), "date 45365");
    EXPECT_EQ(describe(sheet.cell(10, 8)), "boolean 1");
    EXPECT_EQ(describe(sheet.cell(10, 9)), "error #N/A");
    EXPECT_EQ(describe(sheet.cell(10, 10)), "number 5");
    EXPECT_EQ(describe(sheet.cell(11, 2)), "text \"Sandblåst\"");
    EXPECT_THROW(sheet.cell(16385, 1), sheets::Error);
}

// Excel 2.1 wrote bare BIFF streams; FreeXL reads them, with dates by its own rule.
TEST(XlsValues, Biff2Worksheet) {
    auto book = orders::openWorkbook(orderFixture("biff2.xls"), sheets::OpenMode::ReadOnly);
    ASSERT_EQ(book->sheetCount(), 1);
    const auto& sheet = book->activeSheet();
    EXPECT_EQ(describe(sheet.cell(1, 1)), "text \"Tekst\"");
    EXPECT_EQ(describe(sheet.cell(2, 2)), "number 200");
    EXPECT_EQ(describe(sheet.cell(3, 2)), "number 6.5");
    EXPECT_EQ(describe(sheet.cell(4, 3)), "date 45365");
    EXPECT_EQ(describe(sheet.cell(1, 2)), "empty");
}

TEST(XlsValues, SheetLimitsOfTheFormat) {
    auto book = orders::openWorkbook(orderFixture("kinds.xls"), sheets::OpenMode::ReadOnly);
    auto& sheet = book->sheet(1);
    EXPECT_EQ(sheet.cell(65536, 256).kind, Kind::Empty);
    EXPECT_THROW(sheet.cell(65537, 1), sheets::Error);
    EXPECT_THROW(sheet.cell(1, 257), sheets::Error);
    EXPECT_THROW(sheet.cell(0, 1), sheets::Error);
    EXPECT_THROW(book->sheet(3), sheets::Error);
}

} // namespace
} // namespace orderstest
