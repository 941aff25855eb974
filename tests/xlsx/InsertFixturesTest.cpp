#include "xlsx/XlsxWorkbook.h"

#include "OpenpyxlView.h"
#include "sheets/Error.h"
#include "support/Python.h"
#include "support/TestPaths.h"

#include <algorithm>
#include <cctype>
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
// breaks, pane and selection. A case is a file beside its fixture, NAME.after-LABEL.txt: "@sheet"
// and "@rows" say where rows go in, "@unchecked" gives line prefixes left out on both sides where
// applications disagree, "#" lines are comments, every other line is expected.
struct InsertCase {
    std::string name;
    std::filesystem::path fixture;
    std::string sheet;
    std::vector<int> rows;
    std::string expected;
    std::vector<std::string> unchecked;
};

InsertCase readCase(const std::filesystem::path& file) {
    InsertCase c;
    const auto stem = file.filename().string();
    const auto after = stem.find(".after-");
    c.fixture = file.parent_path() / (stem.substr(0, after) + ".xlsx");
    c.name = file.parent_path().filename().string() + "_" + stem.substr(0, stem.size() - 4);
    for (char& ch : c.name)
        if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
    std::istringstream in(readFile(file));
    for (std::string line; std::getline(in, line);) {
        if (line.starts_with("#")) continue;
        if (line.starts_with("@sheet ")) {
            c.sheet = line.substr(7);
        } else if (line.starts_with("@rows ")) {
            std::istringstream rows(line.substr(6));
            for (int row; rows >> row;)
                c.rows.push_back(row);
        } else if (line.starts_with("@unchecked ")) {
            c.unchecked.push_back(line.substr(11));
        } else {
            c.expected += line + "\n";
        }
    }
    return c;
}

std::vector<InsertCase> insertCases() {
    std::vector<InsertCase> cases;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(fixture("")))
        if (entry.path().filename().string().find(".after-") != std::string::npos)
            cases.push_back(readCase(entry.path()));
    std::sort(cases.begin(), cases.end(), [](const auto& a, const auto& b) { return a.name < b.name; });
    return cases;
}

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
    ASSERT_FALSE(c.sheet.empty() || c.rows.empty() || c.expected.empty()) << c.name << ": incomplete case";
    if (c.expected.find("|image|") != std::string::npos && !pythonCanImport("PIL"))
        GTEST_SKIP() << "openpyxl leaves pictures out without Pillow (python3-pil), which is not installed";
    auto path = dir.copy(c.fixture);
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
    const auto& original = c.fixture;
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

INSTANTIATE_TEST_SUITE_P(Fixtures, InsertFixture, testing::ValuesIn(insertCases()),
                         [](const testing::TestParamInfo<InsertCase>& info) { return info.param.name; });

// The cases' expected lines start from these; a changed fixture script must not slip past them.
TEST(InsertFixtures, OriginalsHoldTheReferencesTheCasesStartFrom) {
    if (!pythonCanImport("PIL"))
        GTEST_SKIP() << "openpyxl leaves pictures out without Pillow (python3-pil), which is not installed";
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
