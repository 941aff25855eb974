// Rows inserted through the engine, the workbook saved, and openpyxl reading the places outside the
// cells back: merges, conditional formats, validations, panes, breaks, hyperlinks, filters, notes,
// tables and charts.

#include "support/Corpus.h"
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

std::string places(const std::filesystem::path& workbook) {
    auto result = testsupport::runPythonScript("dump_places.py", {workbook.string()});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    return result.out;
}

std::string placesAfter(const std::filesystem::path& workbook, const std::vector<Insertion>& insertions) {
    testsupport::TempDir folder;
    auto path = folder.copy(workbook);
    {
        auto book = xlsx::openWorkbook(path, sheets::OpenMode::ReadWrite);
        for (const auto& insertion : insertions)
            book->sheet(insertion.sheet).insertRow(insertion.row, insertion.origin);
        book->save();
    }
    return places(path);
}

TEST(ShiftedPlaces, OpenpyxlReadsThePlacesWhereTheRowsPutThem) {
    TULVERKAN_NEEDS_CORPUS();
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
        EXPECT_EQ(placesAfter(c.workbook, c.insertions), c.expected);
    }
}

} // namespace

namespace {

// LibreOffice inserting the same rows itself (it takes the formats from above) must leave every place
// where our engine left it. It does not write the frozen pane back, so that line is left out.
TEST(ShiftedPlaces, LibreOfficeInsertingTheSameRowsAgrees) {
    if (testsupport::soffice().empty()) GTEST_SKIP() << "LibreOffice (soffice) is not installed here";
    const auto workbook = testsupport::fixture("xlsxparts/xlsxwriter-frame.xlsx");
    // At the ranges' first row, just below them once moved, and inside them.
    const std::vector<int> rows = {3, 14, 7};
    std::vector<Insertion> insertions;
    std::vector<std::string> args = {workbook.string(), "Lager"};
    for (int row : rows) {
        insertions.push_back({1, row, CopyOrigin::FromLeftOrAbove});
        args.push_back(std::to_string(row));
    }
    auto ours = placesAfter(workbook, insertions);
    auto freeze = ours.find("Lager:freeze:");
    ASSERT_NE(freeze, std::string::npos) << ours;
    ours.erase(freeze, ours.find('\n', freeze) + 1 - freeze);

    testsupport::TempDir folder;
    args.insert(args.end(),
                {"--csv", (folder / "csv").string(), "--save", (folder / "office.xlsx").string()});
    auto office = testsupport::runPythonScript("libreoffice_insert_rows.py", args);
    ASSERT_EQ(office.exitCode, 0) << office.err;
    EXPECT_EQ(ours, places(folder / "office.xlsx"));
}

} // namespace
