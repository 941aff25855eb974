// Rows inserted through the engine, the workbook saved, and openpyxl reading the places outside the
// cells back: merges, conditional formats, validations, panes, breaks, hyperlinks, filters, notes,
// tables and charts.

#include "support/Python.h"
#include "support/TestPaths.h"
#include "xlsx/XlsxWorkbook.h"

#include <gtest/gtest.h>

namespace {

using sheets::CopyOrigin;

struct Insertion {
    int sheet;
    int row;
    CopyOrigin origin;
};

struct PlacesCase {
    const char* name;
    std::filesystem::path workbook;
    std::vector<Insertion> insertions;
    const char* expected;
};

std::string placesAfter(const PlacesCase& c) {
    testsupport::TempDir folder;
    auto path = folder.copy(c.workbook);
    {
        auto book = xlsx::openWorkbook(path, sheets::OpenMode::ReadWrite);
        for (const auto& insertion : c.insertions)
            book->sheet(insertion.sheet).insertRow(insertion.row, insertion.origin);
        book->save();
    }
    auto result = testsupport::runPythonScript("dump_places.py", {path.string()});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    return result.out;
}

TEST(ShiftedPlaces, OpenpyxlReadsThePlacesWhereTheRowsPutThem) {
    const auto frame = testsupport::fixture("xlsxparts/xlsxwriter-frame.xlsx");
    const std::vector<PlacesCase> cases = {
        {"inside every range",
         frame,
         {{1, 5, CopyOrigin::FromLeftOrAbove}},
         "Lager:merge:A15:B16\n"
         "Lager:cf:E3:E13:$I$2\n"
         "Lager:cf:F3:F13:F3>Koder!$B$1\n"
         "Lager:cf:G3:G13:\n"
         "Lager:dv:C3:C13:Koder!$A$1:$A$3\n"
         "Lager:dv:D3:D13:$I$1\n"
         "Lager:freeze:A3\n"
         "Lager:rowbreak:11\n"
         "Lager:rowbreak:21\n"
         "Lager:autofilter:A2:G13\n"
         "Lager:hyperlink:A17:https://example.com/lager\n"},
        {"on the sheet the formulas name",
         frame,
         {{2, 1, CopyOrigin::FromRightOrBelow}},
         "Lager:merge:A14:B15\n"
         "Lager:cf:E3:E12:$I$2\n"
         "Lager:cf:F3:F12:F3>Koder!$B$2\n"
         "Lager:cf:G3:G12:\n"
         "Lager:dv:C3:C12:Koder!$A$2:$A$4\n"
         "Lager:dv:D3:D12:$I$1\n"
         "Lager:freeze:A3\n"
         "Lager:rowbreak:10\n"
         "Lager:rowbreak:20\n"
         "Lager:autofilter:A2:G12\n"
         "Lager:hyperlink:A16:https://example.com/lager\n"},
        {"note and chart",
         testsupport::fixture("xlsxparts/openpyxl-anchors.xlsx"),
         {{1, 2, CopyOrigin::FromLeftOrAbove}},
         "Data:comment:B4:Sjekk lengden\n"
         "Data:chart:4:'Data'!$A$1:$A$6\n"},
        {"tables",
         testsupport::corpus("table02.xlsx"),
         {{1, 11, CopyOrigin::FromRightOrBelow}},
         "Sheet1:table:Table1:B3:E12\n"
         "Sheet1:table:Table2:G10:J17\n"
         "Sheet1:table:Table3:C19:F26\n"
         "Sheet2:table:Table4:I4:L11\n"
         "Sheet2:table:Table5:C16:H23\n"},
        {"Excel chart",
         testsupport::corpus("chart_area03.xlsx"),
         {{1, 3, CopyOrigin::FromLeftOrAbove}},
         "Sheet1:chart:9:Sheet1!$B$1:$B$6|Sheet1!$C$1:$C$6\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(placesAfter(c), c.expected);
    }
}

} // namespace
