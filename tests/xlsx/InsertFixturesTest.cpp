#include "xlsx/XlsxWorkbook.h"

#include "OpenpyxlView.h"
#include "sheets/Error.h"
#include "support/Python.h"
#include "support/TestPaths.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <set>
#include <sstream>
#include <vector>

using namespace testsupport;

namespace {

// Rows inserted with the engine into a fixture of another writer, saved, and every place a
// reference can live read back by openpyxl (dump_workbook.py --references): formulas on every
// sheet, names, print area and titles, merged cells, conditional formats, validations,
// hyperlinks, autofilter, tables, comments and their VML, drawing anchors, chart series, page
// breaks, pane and selection. Expected lines are worked out by hand from the original's.
struct InsertCase {
    const char* name;
    const char* fixture;
    const char* sheet;
    std::vector<int> rows;
    std::string expected;
    // Lines left out on both sides where applications disagree.
    std::vector<std::string> unchecked = {};
};

// The filled-down column B of "Lager 1": Bn=An*2 in each of `rows` after the insertions.
std::string doubledColumn(std::initializer_list<int> rows) {
    std::string lines;
    for (int row : rows)
        lines += "Lager 1|formula|B" + std::to_string(row) + "=A" + std::to_string(row) + "*2\n";
    return lines;
}

// A 3-D reference spans sheets; LibreOffice leaves it alone when rows go into one of them.
const std::string threeD = "Andre ark|formula|A5=";

const std::string formulasAtRow5 = doubledColumn({2, 3, 4, 6, 7, 8, 9, 10, 11}) + R"(
Andre ark|formula|A1='Lager 1'!A6
Andre ark|formula|A2=SUM('Lager 1'!A2:A11)
Andre ark|formula|A3=COUNT('Lager 1'!A:A)
Andre ark|formula|A4=SUM('Lager 1'!2:2)
Andre ark|formula|A6='Lager 1'!B12
Andre ark|formula|A7='Lager 1'!$A$13
Andre ark|formula|A8=SUM('Lager 1'!A3:A4)
Andre ark|selection|None:A1:A1
Ark1|selection|None:A1:A1
Ark3|selection|None:A1:A1
Lager 1|formula|B12=SUM(B2:B11)
Lager 1|formula|D2=SUM(A2:A11)
Lager 1|formula|D3=SUM($A$2:$A$11)
Lager 1|formula|D4=SUM(A:A)
Lager 1|formula|D6=LOG10(A11)
Lager 1|formula|D7="A5"&" er tekst"
Lager 1|formula|D8='Lager 1'!A6
Lager 1|formula|D9=INDIRECT("A5")
Lager 1|formula|D10=SUM(Mengde)
Lager 1|formula|D11=Lokal
Lager 1|formula|D12=IF(A13="",#N/A,A13)
Lager 1|formula|E2{E2}=SUM(A2:A11*B2:B11)
Lager 1|formula|F2{F2:F4}=(A2:A4>100)*1
Lager 1|name|Lokal='Lager 1'!$B$6
Lager 1|print-area|$A$1:$F$12
Lager 1|print-titles|$1:$1
Lager 1|selection|None:A1:A1
|name|Kolonne='Lager 1'!$A:$A
|name|Mengde='Lager 1'!$A$2:$A$11
)";

// Row 6 into insert-ranges: the page break after row 4 is then clearly above, the one after row 8
// below. A link's target location is text to Excel and LibreOffice alike: it stays A8 while its
// cell moves.
const std::string rangesAtRow6 = doubledColumn({2, 3, 4, 5, 7, 8, 9, 10, 11}) + R"(
Lager 1|autofilter|A1:B11
Lager 1|conditional|A2:A11:cellIs:5
Lager 1|conditional|C2:C11:expression:$A2>$A$11-3
Lager 1|formula|B12=SUM(B2:B11)
Lager 1|hyperlink|G5->'Lager 1'!A8
Lager 1|hyperlink|G8->https://example.com/lager
Lager 1|merged|H13:I13
Lager 1|merged|H3:I7
Lager 1|row-break|4
Lager 1|row-break|9
Lager 1|validation|E2:E11:$A$2;$A$11
)";

const InsertCase cases[] = {
    {"FormulasNamesArraysRow5", "xlsxwriter/insert-formulas.xlsx", "Lager 1", {5}, formulasAtRow5, {threeD}},
    {"SharedFormulasRow5", "handmade/insert-shared-formulas.xlsx", "Lager 1", {5}, formulasAtRow5, {threeD}},
    // Two rows at 5, then one at 12 of the shifted sheet: the range A2:A12 it meets at its last row grows.
    {"FormulasThreeInsertions",
     "xlsxwriter/insert-formulas.xlsx",
     "Lager 1",
     {5, 5, 12},
     doubledColumn({2, 3, 4, 7, 8, 9, 10, 11, 13}) + R"(
Andre ark|formula|A1='Lager 1'!A7
Andre ark|formula|A2=SUM('Lager 1'!A2:A13)
Andre ark|formula|A3=COUNT('Lager 1'!A:A)
Andre ark|formula|A4=SUM('Lager 1'!2:2)
Andre ark|formula|A6='Lager 1'!B14
Andre ark|formula|A7='Lager 1'!$A$15
Andre ark|formula|A8=SUM('Lager 1'!A3:A4)
Andre ark|selection|None:A1:A1
Ark1|selection|None:A1:A1
Ark3|selection|None:A1:A1
Lager 1|formula|B14=SUM(B2:B13)
Lager 1|formula|D2=SUM(A2:A13)
Lager 1|formula|D3=SUM($A$2:$A$13)
Lager 1|formula|D4=SUM(A:A)
Lager 1|formula|D7=LOG10(A13)
Lager 1|formula|D8="A5"&" er tekst"
Lager 1|formula|D9='Lager 1'!A7
Lager 1|formula|D10=INDIRECT("A5")
Lager 1|formula|D11=SUM(Mengde)
Lager 1|formula|D13=Lokal
Lager 1|formula|D14=IF(A15="",#N/A,A15)
Lager 1|formula|E2{E2}=SUM(A2:A13*B2:B13)
Lager 1|formula|F2{F2:F4}=(A2:A4>100)*1
Lager 1|name|Lokal='Lager 1'!$B$7
Lager 1|print-area|$A$1:$F$14
Lager 1|print-titles|$1:$1
Lager 1|selection|None:A1:A1
|name|Kolonne='Lager 1'!$A:$A
|name|Mengde='Lager 1'!$A$2:$A$13
)",
     {threeD}},
    {"RangesRow6", "xlsxwriter/insert-ranges.xlsx", "Lager 1", {6}, rangesAtRow6 + R"(
Lager 1|pane|B4:3.0
Lager 1|selection|bottomLeft:A4:A4
Lager 1|selection|bottomRight:B7:B7
Lager 1|selection|topRight:B1:B1
Lager 1|validation|D2:D11:$F$2:$F$5;
)"},
    // The same sheet saved by LibreOffice with a pivot table whose cache reads A1:B10.
    {"PivotSourceRow6", "libreoffice/insert-pivot-source.xlsx", "Lager 1", {6}, rangesAtRow6 + R"(
Lager 1|selection|topLeft:A1:A1
Lager 1|validation|D2:D11:$F$2:$F$5;0
Pivot|pivot|Pivot1:Lager 1!A1:B11
Pivot|selection|topLeft:A1:A1
)"},
    {"TableRow5", "xlsxwriter/insert-table.xlsx", "Lager 1", {5}, R"(
Andre ark|formula|A1=Tabell1[[#Totals],[Lengde]]
Andre ark|formula|A2='Lager 1'!B6
Andre ark|selection|None:A1:A1
Lager 1|formula|B12=SUBTOTAL(109,Tabell1[Mengde])
Lager 1|formula|C12=SUBTOTAL(109,Tabell1[Lengde])
Lager 1|formula|E2=SUM(Tabell1[Mengde])
Lager 1|formula|E3=SUM(B2:B11)
Lager 1|selection|None:A1:A1
Lager 1|table|Tabell1:A1:C12:A1:C11
)"},
    // The comment at B3 spans the row in its VML box; whether the box grows is a matter of taste.
    {"DrawingsRow5",
     "xlsxwriter/insert-drawings.xlsx",
     "Lager 1",
     {5},
     doubledColumn({2, 3, 4, 6, 7, 8, 9, 10, 11}) + R"(
Diagramark|chart|1-8:'Lager 1'!$A$2:$A$11
Diagramark|selection|None:A1:A1
Lager 1|chart|1-8:'Lager 1'!$B$1,'Lager 1'!$A$2:$A$11,'Lager 1'!$B$2:$B$11
Lager 1|comment-anchor|2,15,7,10,4,15,11,4
Lager 1|comment-vml|row 2 column 1
Lager 1|comment-vml|row 8 column 1
Lager 1|comment|B3
Lager 1|comment|B9
Lager 1|formula|B12=SUM(B2:B11)
Lager 1|image|5-5
Lager 1|selection|None:A1:A1
)",
     {"Lager 1|comment-anchor|2,15,1,"}},
};

void PrintTo(const InsertCase& c, std::ostream* out) {
    *out << c.name;
}

std::set<std::string> lines(const std::string& text, const std::vector<std::string>& unchecked) {
    std::set<std::string> result;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty()) continue;
        bool skip = std::any_of(unchecked.begin(), unchecked.end(),
                                [&](const std::string& prefix) { return line.rfind(prefix, 0) == 0; });
        if (!skip) result.insert(line);
    }
    return result;
}

std::set<std::string> referenceLines(const std::filesystem::path& book,
                                     const std::vector<std::string>& unchecked) {
    auto result = runPythonScript("dump_workbook.py", {book.string(), "--references"});
    if (result.exitCode != 0)
        throw std::runtime_error("openpyxl failed on " + book.string() + ": " + result.err);
    return lines(result.out, unchecked);
}

// Formula cells as "Sheet|B2", from a references dump ("Sheet|formula|B2=..." or "B2{F2:F4}=...").
std::set<std::string> formulaCells(const std::set<std::string>& references) {
    std::set<std::string> cells;
    const std::string marker = "|formula|";
    for (const auto& line : references) {
        auto at = line.find(marker);
        if (at == std::string::npos) continue;
        auto ref = line.substr(at + marker.size());
        ref = ref.substr(0, ref.find_first_of("{="));
        cells.insert(line.substr(0, at) + "|" + ref);
    }
    return cells;
}

std::string cellKey(const BookView& view, const Position& at) {
    return view.sheets[at.sheet - 1].name + "|" + cellRef(at.row, at.column);
}

// The cells that hold no formula, keyed by where they should be after the case's insertions.
std::map<std::string, CellView> constants(const BookView& view, const std::set<std::string>& formulas,
                                          const InsertCase* shiftedBy) {
    std::map<std::string, CellView> result;
    for (const auto& [at, cell] : view.cells) {
        if (formulas.count(cellKey(view, at))) continue;
        Position target = at;
        if (shiftedBy && view.sheets[at.sheet - 1].name == shiftedBy->sheet)
            for (int row : shiftedBy->rows)
                if (target.row >= row) ++target.row;
        result[cellKey(view, target)] = cell;
    }
    return result;
}

int sheetIndex(sheets::Workbook& book, const std::string& name) {
    for (int i = 1; i <= book.sheetCount(); ++i)
        if (book.sheet(i).name() == name) return i;
    return 0;
}

class InsertFixture : public testing::TestWithParam<InsertCase> {};

TEST_P(InsertFixture, EveryReferenceFollowsTheRows) {
    const auto& c = GetParam();
    TempDir dir;
    auto path = dir.copy(fixture(c.fixture));
    {
        auto book = xlsx::openWorkbook(path, sheets::OpenMode::ReadWrite);
        int index = sheetIndex(*book, c.sheet);
        ASSERT_GT(index, 0) << c.sheet;
        for (int row : c.rows)
            book->sheet(index).insertRow(row, sheets::CopyOrigin::FromLeftOrAbove);
        book->save();
    }
    auto actual = referenceLines(path, c.unchecked);
    auto expected = lines(c.expected, c.unchecked);
    for (const auto& line : expected)
        if (!actual.count(line)) ADD_FAILURE() << "missing: " << line;
    for (const auto& line : actual)
        if (!expected.count(line)) ADD_FAILURE() << "unexpected: " << line;

    // Every value that is no formula's result is where the rows put it, and nothing else appeared.
    auto original = fixture(c.fixture);
    auto before = constants(openpyxlView(original), formulaCells(referenceLines(original, {})), &c);
    auto after = constants(openpyxlView(path), formulaCells(referenceLines(path, {})), nullptr);
    ASSERT_GT(before.size(), 10u) << "the fixture's values were not read";
    for (const auto& [at, cell] : before) {
        auto found = after.find(at);
        if (found == after.end())
            ADD_FAILURE() << "value lost: " << at << " " << cell.kind << " " << cell.text;
        else if (!(found->second == cell))
            ADD_FAILURE() << at << ": " << found->second.kind << " " << found->second.text << ", was "
                          << cell.kind << " " << cell.text;
    }
    for (const auto& [at, cell] : after)
        if (!before.count(at))
            ADD_FAILURE() << "value appeared: " << at << " " << cell.kind << " " << cell.text;
}

INSTANTIATE_TEST_SUITE_P(Fixtures, InsertFixture, testing::ValuesIn(cases),
                         [](const testing::TestParamInfo<InsertCase>& info) { return info.param.name; });

// The expected lines above start from these; a changed fixture script must not slip past them.
TEST(InsertFixtures, OriginalsHoldTheReferencesTheCasesStartFrom) {
    auto formulas = referenceLines(fixture("xlsxwriter/insert-formulas.xlsx"), {});
    EXPECT_TRUE(formulas.count("|name|Mengde='Lager 1'!$A$2:$A$10"));
    EXPECT_TRUE(formulas.count("Andre ark|formula|A5=SUM(Ark1:Ark3!A5)"));
    EXPECT_EQ(formulas, referenceLines(fixture("handmade/insert-shared-formulas.xlsx"), {}));
    auto ranges = referenceLines(fixture("xlsxwriter/insert-ranges.xlsx"), {});
    EXPECT_TRUE(ranges.count("Lager 1|row-break|8"));
    EXPECT_TRUE(ranges.count("Lager 1|merged|H3:I6"));
    auto drawings = referenceLines(fixture("xlsxwriter/insert-drawings.xlsx"), {});
    EXPECT_TRUE(drawings.count("Lager 1|image|4-4"));
    EXPECT_TRUE(drawings.count("Lager 1|comment-anchor|2,15,6,10,4,15,10,4"));
}

} // namespace
