// What a user of LibreOffice sees after our insertions must be what LibreOffice computes when it
// inserts the same rows itself: every cell of every sheet, values compared after LibreOffice
// opens the file we saved (cached results kept where they cannot have changed, the rest computed).

#include "sheets/Workbook.h"
#include "support/Csv.h"
#include "support/Python.h"
#include "support/TestPaths.h"
#include "xlsx/XlsxWorkbook.h"

#include <cmath>
#include <gtest/gtest.h>
#include <map>
#include <set>
#include <sstream>

using namespace testsupport;

namespace {

using Cells = std::map<std::string, std::string>; // "Sheet!R:C" -> text

Cells readCsvFolder(const std::filesystem::path& folder) {
    Cells cells;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        std::istringstream in(readFile(entry.path()));
        int row = 0;
        for (std::string line; std::getline(in, line);) {
            ++row;
            auto fields = splitCsvLine(line);
            for (std::size_t column = 0; column < fields.size(); ++column)
                if (!fields[column].empty())
                    cells[entry.path().stem().string() + "!" + std::to_string(row) + ":" +
                          std::to_string(column + 1)] = fields[column];
        }
    }
    return cells;
}

void expectSameAsLibreOffice(const std::filesystem::path& source, const std::string& sheet,
                             const std::vector<int>& rows, const std::set<std::string>& apart = {}) {
    TempDir dir;
    auto ours = dir.copy(source, "ours.xlsx");
    {
        auto book = xlsx::openWorkbook(ours, sheets::OpenMode::ReadWrite);
        sheets::Worksheet* target = nullptr;
        for (int i = 1; i <= book->sheetCount(); ++i)
            if (book->sheet(i).name() == sheet) target = &book->sheet(i);
        ASSERT_NE(target, nullptr) << sheet;
        for (int row : rows)
            target->insertRow(row, sheets::CopyOrigin::FromLeftOrAbove);
        book->save();
    }
    auto shown = runPythonScript("libreoffice_csv.py", {ours.string(), (dir / "ours").string()});
    ASSERT_EQ(shown.exitCode, 0) << shown.err;
    std::vector<std::string> args{source.string(), sheet};
    for (int row : rows)
        args.push_back(std::to_string(row));
    args.push_back("--csv");
    args.push_back((dir / "theirs").string());
    auto inserted = runPythonScript("libreoffice_insert_rows.py", args);
    ASSERT_EQ(inserted.exitCode, 0) << inserted.err;

    auto oursCells = readCsvFolder(dir / "ours");
    auto theirCells = readCsvFolder(dir / "theirs");
    EXPECT_GT(theirCells.size(), 20u);
    for (const auto& [where, value] : theirCells) {
        if (apart.count(where)) continue;
        auto found = oursCells.find(where);
        EXPECT_TRUE(found != oursCells.end() && sameValue(found->second, value))
            << where << ": LibreOffice computes " << value << ", ours shows "
            << (found == oursCells.end() ? "nothing" : found->second);
    }
    for (const auto& [where, value] : oursCells)
        EXPECT_TRUE(theirCells.count(where)) << where << ": ours shows " << value << ", LibreOffice nothing";
}

} // namespace

TEST(LibreOfficeInsert, FormulasOnEverySheetShowWhatLibreOfficeComputes) {
    if (soffice().empty()) GTEST_SKIP() << "LibreOffice (soffice) is not installed here";
    // A5 there is SUM(Ark1:Ark3!A5), a 3-D reference over the sheet that gets rows: we move it with
    // them, LibreOffice leaves 3-D references alone when rows go into one sheet of the span.
    expectSameAsLibreOffice(fixture("xlsxwriter/insert-formulas.xlsx"), "Lager 1", {5, 5, 12},
                            {"Andre ark!5:1"});
}

TEST(LibreOfficeInsert, StockSheetWithTotalsShowsWhatLibreOfficeComputes) {
    if (soffice().empty()) GTEST_SKIP() << "LibreOffice (soffice) is not installed here";
    TempDir dir;
    auto made = runProcess({TULVERKAN_PYTHON,
                            std::string(TULVERKAN_FIXTURES) + "/../../bench/make_insert_workload.py",
                            (dir / "stock.xlsx").string(), "40"});
    ASSERT_EQ(made.exitCode, 0) << made.err;
    // First line, inside, twice at one place, right under the last line and at the totals row.
    expectSameAsLibreOffice(dir / "stock.xlsx", "Lager", {2, 10, 10, 44, 46});
}
