#include "xlsx/XlsxWorkbook.h"

#include "sheets/Error.h"
#include "support/Corpus.h"
#include "support/ErrorOf.h"
#include "support/Python.h"
#include "support/TestPaths.h"
#include "support/ZipEntries.h"

#include <algorithm>
#include <functional>
#include <gtest/gtest.h>
#include <pugixml.hpp>
#include <sstream>

using sheets::CellValue;
using sheets::OpenMode;
using namespace testsupport;

namespace {

// The <c> element at `ref` in a saved sheet part.
pugi::xml_node cellNode(const pugi::xml_document& sheet, const std::string& ref) {
    return sheet.select_node(("//*[local-name()='c'][@r='" + ref + "']").c_str()).node();
}

pugi::xml_document sheetXml(const std::filesystem::path& book, const std::string& part) {
    pugi::xml_document doc;
    auto xml = zipEntry(book, part);
    EXPECT_TRUE(xml.has_value()) << part;
    EXPECT_TRUE(doc.load_string(xml.value_or("").c_str()));
    return doc;
}

// Opens the workbook for writing, makes the change and saves it.
void editAndSave(const std::filesystem::path& path, const std::function<void(sheets::Workbook&)>& edit) {
    auto book = xlsx::openWorkbook(path, OpenMode::ReadWrite);
    edit(*book);
    book->save();
}

bool hasCachedResult(const pugi::xml_document& sheet, const std::string& ref) {
    return static_cast<bool>(cellNode(sheet, ref).child("v"));
}

std::string cachedResult(const pugi::xml_document& sheet, const std::string& ref) {
    return cellNode(sheet, ref).child_value("v");
}

// The <c> element at `ref` as the part's bytes hold it (without a prefix, as xlsxwriter writes).
std::string rawCell(const std::filesystem::path& book, const std::string& part, const std::string& ref) {
    auto xml = zipEntry(book, part).value_or("");
    auto begin = xml.find("<c r=\"" + ref + "\"");
    if (begin == std::string::npos) return {};
    auto end = xml.find("</c>", begin);
    return xml.substr(begin, end == std::string::npos ? std::string::npos : end + 4 - begin);
}

// openpyxl's dump as a set of lines, for comparing what changed.
std::vector<std::string> dumpLines(const std::filesystem::path& book, bool formulas = false) {
    std::vector<std::string> lines;
    std::istringstream in(openpyxlDump(book, formulas));
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

// A copy of `source` at `target` whose entry `name` has `from` replaced by `to`, written by Python's
// zipfile so that the damage is not our own engine's.
void writeDamaged(const std::filesystem::path& source, const std::filesystem::path& target,
                  const std::string& name, const std::string& from, const std::string& to) {
    auto result = runProcess(
        {TULVERKAN_PYTHON, "-c",
         "import sys, zipfile\n"
         "src, dst, name, old, new = sys.argv[1:]\n"
         "with zipfile.ZipFile(src) as zin, zipfile.ZipFile(dst, 'w', zipfile.ZIP_DEFLATED) as zout:\n"
         "    for item in zin.infolist():\n"
         "        data = zin.read(item)\n"
         "        if item.filename == name:\n"
         "            assert old.encode() in data\n"
         "            data = data.replace(old.encode(), new.encode(), 1)\n"
         "        zout.writestr(item, data)\n",
         source.string(), target.string(), name, from, to});
    ASSERT_EQ(result.exitCode, 0) << result.err;
}

} // namespace

// What the user reads: the workbook file, the sheet by the name on its tab, the cell, the cause.
TEST(XlsxWorkbook, FailuresNameTheFileTheSheetAndTheCell) {
    TempDir dir;
    const auto path = dir.copy(fixture("xlsxwriter/insert-formulas.xlsx"), "lager.xlsx");
    const std::string sheet = "arket «Lager 1» i «" + path.string() + "»";
    {
        auto book = xlsx::openWorkbook(path, OpenMode::ReadWrite);
        auto& lager = book->sheet(2);
        EXPECT_EQ(errorOf([&] { lager.insertRow(3, sheets::CopyOrigin::FromLeftOrAbove); }),
                  "Kan ikke sette inn rad 3 i " + sheet + ": raden ville dele matriseformelen i F2:F4");
        EXPECT_EQ(errorOf([&] { lager.setNumber(3, 6, 1); }),
                  "Kan ikke skrive til " + sheet + ", celle F3: cellen hører til matriseformelen i F2:F4");
        EXPECT_EQ(errorOf([&] { lager.cell(0, 2); }),
                  "Kan ikke lese " + sheet + ": rad 0 er utenfor arket (gyldig er rad 1 til 1048576)");
    }
    EXPECT_EQ(errorOf([&] { xlsx::openWorkbook(path, OpenMode::ReadOnly)->sheet(2).setText(1, 1, "x"); }),
              "Kan ikke skrive til " + sheet + ": arbeidsboken er åpnet bare for lesing");

    const auto badCell = dir / "tall.xlsx";
    writeDamaged(path, badCell, "xl/worksheets/sheet2.xml", "<c r=\"A3\"><v>2</v>", "<c r=\"A3\"><v>to</v>");
    auto book = xlsx::openWorkbook(badCell, OpenMode::ReadOnly);
    const auto message = errorOf([&] { book->sheet(2).cell(3, 1); });
    EXPECT_EQ(message.rfind("Kan ikke lese arket «Lager 1» i «" + badCell.string() +
                                "», celle A3: ugyldig tall «to» (posisjon ",
                            0),
              0u)
        << message;

    const auto badStrings = dir / "tekster.xlsx";
    writeDamaged(path, badStrings, "xl/sharedStrings.xml", "</si>", "</s>");
    const auto open = errorOf([&] { xlsx::openWorkbook(badStrings, OpenMode::ReadOnly); });
    EXPECT_EQ(
        open.rfind("Kan ikke lese «xl/sharedStrings.xml» i «" + badStrings.string() + "»: ugyldig XML (", 0),
        0u)
        << open;
}

TEST(XlsxWorkbook, SheetsComeInWorkbookOrderAndChartsheetsHaveNoCells) {
    TULVERKAN_NEEDS_CORPUS();
    auto book = xlsx::openWorkbook(corpus("chartsheet08.xlsx"), OpenMode::ReadOnly);
    ASSERT_EQ(book->sheetCount(), 2);
    EXPECT_EQ(book->sheet(1).name(), "Sheet1");
    EXPECT_EQ(book->sheet(2).name(), "Chart1");
    EXPECT_EQ(&book->activeSheet(), &book->sheet(1));
    EXPECT_THROW(book->sheet(2).cell(1, 1), sheets::Error);
    EXPECT_THROW(book->sheet(3), sheets::Error);
    EXPECT_THROW(book->sheet(0), sheets::Error);

    auto simple = xlsx::openWorkbook(corpus("simple02.xlsx"), OpenMode::ReadOnly);
    ASSERT_EQ(simple->sheetCount(), 3);
    EXPECT_EQ(simple->sheet(2).name(), "Data Sheet");
}

TEST(XlsxWorkbook, RefusesPositionsOutsideTheSheetAndWritesWhenReadOnly) {
    TULVERKAN_NEEDS_CORPUS();
    auto book = xlsx::openWorkbook(corpus("simple02.xlsx"), OpenMode::ReadOnly);
    auto& sheet = book->sheet(1);
    EXPECT_EQ(sheet.cell(1048576, 16384).kind, CellValue::Kind::Empty);
    EXPECT_THROW(sheet.cell(0, 1), sheets::Error);
    EXPECT_THROW(sheet.cell(1, 16385), sheets::Error);
    EXPECT_THROW(sheet.cell(1048577, 1), sheets::Error);
    try {
        sheet.setNumber(1, 1, 5);
        FAIL() << "a read-only workbook took a write";
    } catch (const sheets::Error& e) {
        EXPECT_NE(std::string(e.what()).find("simple02.xlsx"), std::string::npos) << e.what();
    }
    EXPECT_THROW(book->save(), sheets::Error);
}

TEST(XlsxWorkbook, WrittenCellsReadBackAndNothingElseChanges) {
    TULVERKAN_NEEDS_CORPUS();
    TempDir dir;
    auto path = dir.copy(corpus("tutorial01.xlsx"));
    auto before = dumpLines(path);
    {
        auto book = xlsx::openWorkbook(path, OpenMode::ReadWrite);
        auto& sheet = book->sheet(1);
        sheet.setText(3, 1, "200");
        sheet.setText(7, 3, "  6,50 ");
        sheet.setNumber(2, 2, 6.5);
        sheet.setNumber(9, 2, 0.1 + 0.2);
        // Live: the run reads what it wrote before saving.
        EXPECT_EQ(sheet.cell(3, 1).kind, CellValue::Kind::Text);
        EXPECT_EQ(sheet.cell(3, 1).text, "200");
        EXPECT_EQ(sheet.cell(9, 2).number, 0.1 + 0.2);
        book->save();
    }
    auto after = dumpLines(path);
    std::vector<std::string> expected;
    double sum = 6.5; // B5 is SUM(B1:B4) over the written B2: it shows its new result
    for (const auto& line : before) {
        for (const char* other : {"Sheet1!B1:n:", "Sheet1!B3:n:", "Sheet1!B4:n:"})
            if (line.starts_with(other)) sum += std::stod(line.substr(std::string_view(other).size()));
        if (!line.starts_with("Sheet1!A3:") && !line.starts_with("Sheet1!B2:") &&
            !line.starts_with("Sheet1!B5:"))
            expected.push_back(line);
    }
    expected.push_back("Sheet1!A3:s:200");
    expected.push_back("Sheet1!B2:n:6.5");
    expected.push_back("Sheet1!C7:s:  6,50 ");
    expected.push_back("Sheet1!B9:n:0.30000000000000004");
    std::ostringstream total;
    total << "Sheet1!B5:n:" << sum;
    expected.push_back(total.str() + (total.str().find('.') == std::string::npos ? ".0" : ""));
    std::sort(expected.begin(), expected.end());
    std::sort(after.begin(), after.end());
    EXPECT_EQ(after, expected);
}

TEST(XlsxWorkbook, ChangedWorkbookLosesItsCalcChainAndIsLeftAsCalculated) {
    TULVERKAN_NEEDS_CORPUS();
    TempDir dir;
    auto path = dir.copy(corpus("tutorial01.xlsx"));
    editAndSave(path, [](sheets::Workbook& book) { book.sheet(1).setNumber(1, 2, 2000); });
    auto names = zipEntryNames(path);
    EXPECT_EQ(std::count(names.begin(), names.end(), "xl/calcChain.xml"), 0);
    EXPECT_EQ(zipEntry(path, "[Content_Types].xml")->find("calcChain"), std::string::npos);
    EXPECT_EQ(zipEntry(path, "xl/_rels/workbook.xml.rels")->find("calcChain"), std::string::npos);
    // Every result that may have changed was computed: nothing is left for the application to do.
    EXPECT_EQ(zipEntry(path, "xl/workbook.xml")->find("fullCalcOnLoad"), std::string::npos);
    // openpyxl opens it (a dangling relationship or content type would make it fail).
    EXPECT_NE(openpyxlDump(path).find("Sheet1!B1:n:2000.0"), std::string::npos);
}

TEST(XlsxWorkbook, WhatCannotBeComputedLosesItsResultAndTheApplicationIsAskedToCompute) {
    TempDir dir;
    auto path = dir.copy(fixture("engine/uncomputable.xlsx"));
    {
        auto book = xlsx::openWorkbook(path, OpenMode::ReadWrite);
        auto& sheet = book->sheet(1);
        EXPECT_EQ(sheet.cell(1, 2).number, 1) << "a current stored result is read as it is";
        sheet.setNumber(1, 1, 5);
        EXPECT_EQ(sheet.cell(1, 3).number, 10);
        try {
            sheet.cell(1, 2);
            FAIL() << "a stale result that cannot be computed was read";
        } catch (const sheets::Error& e) {
            EXPECT_EQ(
                std::string(e.what()),
                "Kan ikke lese arket «Lager» i «" + path.string() +
                    "», celle B1: formelen kan ikke beregnes her: den inneholder funksjonen FINNESIKKE");
        }
        book->save();
    }
    auto sheet = sheetXml(path, "xl/worksheets/sheet1.xml");
    EXPECT_FALSE(hasCachedResult(sheet, "B1"));
    EXPECT_EQ(cachedResult(sheet, "C1"), "10");
    EXPECT_NE(zipEntry(path, "xl/workbook.xml")->find("fullCalcOnLoad=\"1\""), std::string::npos);
}

TEST(XlsxWorkbook, ResultsThatMayHaveChangedAreComputedAndTheRestKeepTheirBytes) {
    TempDir dir;
    auto path = dir.copy(fixture("engine/formulas-calculated.xlsx"));
    const auto original = dir / "original.xlsx";
    std::filesystem::copy_file(path, original);
    {
        auto book = xlsx::openWorkbook(path, OpenMode::ReadWrite);
        // A2: read by B1, hence D1, the name Summen and A5 on the other sheet.
        book->sheet(1).setNumber(2, 1, 20);
        EXPECT_EQ(book->sheet(2).cell(5, 1).number, 34) << "read through the defined name";
        book->save();
    }
    auto stock = sheetXml(path, "xl/worksheets/sheet1.xml");
    auto other = sheetXml(path, "xl/worksheets/sheet2.xml");
    EXPECT_EQ(cachedResult(stock, "B1"), "33");    // SUM(A1:A5)
    EXPECT_EQ(cachedResult(stock, "D1"), "66");    // B1*2, through B1
    EXPECT_NE(cachedResult(stock, "E1"), "45000"); // NOW(), volatile: computed now
    EXPECT_EQ(cachedResult(stock, "B7"), "33");    // SUM(A1:A6)
    EXPECT_EQ(cachedResult(other, "A5"), "34");    // Summen+1, through the defined name
    for (auto [part, ref] : {std::pair{"xl/worksheets/sheet1.xml", "C1"},
                             {"xl/worksheets/sheet1.xml", "F1"},
                             {"xl/worksheets/sheet2.xml", "A1"},
                             {"xl/worksheets/sheet2.xml", "A2"},
                             {"xl/worksheets/sheet2.xml", "A4"}})
        EXPECT_EQ(rawCell(path, part, ref), rawCell(original, part, ref)) << ref;
}

TEST(XlsxWorkbook, AWorkbookAskingForFullCalculationGetsEveryResultComputed) {
    TempDir dir;
    auto path = dir.copy(fixture("engine/formulas.xlsx"));
    editAndSave(path, [](sheets::Workbook& book) { book.sheet(1).setNumber(2, 1, 20); });
    auto stock = sheetXml(path, "xl/worksheets/sheet1.xml");
    auto other = sheetXml(path, "xl/worksheets/sheet2.xml");
    EXPECT_EQ(cachedResult(stock, "B1"), "33");
    EXPECT_EQ(cachedResult(stock, "C1"), "6");
    EXPECT_EQ(cachedResult(stock, "F1"), "x");
    EXPECT_STREQ(cellNode(stock, "F1").attribute("t").value(), "str");
    EXPECT_EQ(cachedResult(other, "A1"), "4"); // Lager!A3+1
    EXPECT_EQ(cachedResult(other, "A4"), "20");
    EXPECT_EQ(zipEntry(path, "xl/workbook.xml")->find("fullCalcOnLoad"), std::string::npos);
}

// Reading computes what must be computed, into the workbook's calculation state: what is stored stays
// as the file has it, whether the computation succeeds or fails.
TEST(XlsxWorkbook, ReadingFormulasChangesNothingStored) {
    TempDir dir;
    auto path = dir.copy(fixture("engine/formulas.xlsx")); // asks for a full calculation: nothing is current
    auto original = readFile(path);
    {
        auto book = xlsx::openWorkbook(path, OpenMode::ReadWrite);
        auto& stock = book->sheet(1);
        EXPECT_EQ(stock.cell(1, 4).number, 30) << "B1*2, B1 computed on the way";
        EXPECT_EQ(stock.cell(1, 6).text, "x");
        EXPECT_EQ(book->sheet(2).cell(5, 1).number, 16) << "through the defined name";
        book->save();
    }
    EXPECT_EQ(readFile(path), original) << "nothing was written: the file stays as it was";

    path = dir.copy(fixture("engine/uncomputable.xlsx"), "uncomputable.xlsx");
    original = readFile(path);
    {
        auto book = xlsx::openWorkbook(path, OpenMode::ReadWrite);
        auto& stock = book->sheet(1);
        stock.setNumber(1, 1, 5); // B1 = FINNESIKKE(A1) is stale now
        const auto first = errorOf([&] { stock.cell(1, 2); });
        EXPECT_NE(first.find("FINNESIKKE"), std::string::npos) << first;
        EXPECT_EQ(errorOf([&] { stock.cell(1, 2); }), first) << "a failed read leaves the same state behind";
        EXPECT_EQ(stock.cell(1, 3).number, 10);
        EXPECT_EQ(stock.cell(1, 1).number, 5);
    }
    EXPECT_EQ(readFile(path), original) << "not saved: the file stays as it was";
}

TEST(XlsxWorkbook, SheetsAChangeCannotReachAreNeverParsed) {
    TempDir dir;
    auto path = dir.copy(fixture("engine/untouched-sheets.xlsx"));
    const auto own = zipEntry(path, "xl/worksheets/sheet2.xml");
    {
        // Eget's rows are out of order: a parse of it would fail this run.
        auto book = xlsx::openWorkbook(path, OpenMode::ReadWrite);
        auto& stock = book->sheet(1);
        EXPECT_EQ(stock.cell(1, 2).number, 15);
        stock.insertRow(1, sheets::CopyOrigin::FromLeftOrAbove);
        stock.setNumber(4, 1, 30); // A3 as read
        EXPECT_EQ(stock.cell(2, 2).number, 42);
        EXPECT_EQ(book->sheet(3).cell(1, 1).number, 31) << "Oversikt reads Lager";
        book->save();
        stock.setNumber(1, 1, 1); // a second round after the save
        book->save();
    }
    EXPECT_EQ(zipEntry(path, "xl/worksheets/sheet2.xml"), own);
    auto summary = sheetXml(path, "xl/worksheets/sheet3.xml");
    EXPECT_STREQ(cellNode(summary, "A1").child_value("f"), "Lager!A4+1");
    EXPECT_EQ(cachedResult(summary, "A1"), "31");
    EXPECT_NE(cachedResult(sheetXml(path, "xl/worksheets/sheet4.xml"), "A1"), "45000") << "NOW() is volatile";
    EXPECT_NE(
        errorOf([&] { xlsx::openWorkbook(path, OpenMode::ReadOnly)->sheet(2).cell(1, 1); }).find("rad 1"),
        std::string::npos)
        << "the sheet left alone is as broken as it was";
}

// A workbook asking for a full calculation has its sheets parsed ahead. A sheet that cannot be parsed
// fails as a read of it fails, and only where the work needs it.
TEST(XlsxWorkbook, SheetsParsedAheadFailOnlyWhereNeededAndAsAReadWould) {
    TempDir dir;
    const auto path = dir.copy(fixture("engine/spare-broken-sheet.xlsx"));
    const auto notes = zipEntry(path, "xl/worksheets/sheet2.xml");
    const auto readFails =
        errorOf([&] { xlsx::openWorkbook(path, OpenMode::ReadOnly)->sheet(2).cell(1, 1); });
    ASSERT_NE(readFails.find("Notater"), std::string::npos) << readFails;
    {
        auto book = xlsx::openWorkbook(path, OpenMode::ReadWrite);
        book->sheet(1).setNumber(3, 1, 30);
        EXPECT_EQ(errorOf([&] { book->sheet(2).cell(1, 1); }), readFails);
        EXPECT_EQ(errorOf([&] { book->sheet(2).cell(1, 1); }), readFails) << "and again";
        book->save();
    }
    EXPECT_EQ(zipEntry(path, "xl/worksheets/sheet2.xml"), notes);
    EXPECT_EQ(cachedResult(sheetXml(path, "xl/worksheets/sheet3.xml"), "A1"), "31");

    // A sheet the save computes fails the save as it fails a read.
    const auto broken = dir / "lager.xlsx";
    writeDamaged(fixture("engine/spare-broken-sheet.xlsx"), broken, "xl/worksheets/sheet1.xml",
                 "<c r=\"A2\"><v>2</v>", "<c r=\"A2\"><v>to</v>");
    const auto stockFails =
        errorOf([&] { xlsx::openWorkbook(broken, OpenMode::ReadOnly)->sheet(1).cell(1, 1); });
    ASSERT_NE(stockFails.find("celle A2"), std::string::npos) << stockFails;
    const auto before = readFile(broken);
    EXPECT_EQ(errorOf([&] {
                  editAndSave(broken, [](sheets::Workbook& book) { book.sheet(3).setNumber(2, 1, 1); });
              }),
              stockFails);
    EXPECT_EQ(readFile(broken), before);

    // Closed at once, while sheets are being parsed ahead: nothing outlives the book.
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(xlsx::openWorkbook(broken, OpenMode::ReadWrite)->sheetCount(), 3);
}

TEST(XlsxWorkbook, SavingWithoutChangesKeepsEveryEntry) {
    TULVERKAN_NEEDS_CORPUS();
    TempDir dir;
    auto path = dir.copy(corpus("tutorial01.xlsx"));
    editAndSave(path, [](sheets::Workbook& book) { book.sheet(1).cell(5, 2); });
    auto result = runProcess({TULVERKAN_PYTHON, std::string(TULVERKAN_CORPUS) + "/../tools/xlsx-entries",
                              corpus("tutorial01.xlsx").string(), path.string()});
    EXPECT_EQ(result.exitCode, 0) << result.out << result.err;
}

TEST(XlsxWorkbook, LibreOfficeShowsTheNewValueOfADependentFormula) {
    TULVERKAN_NEEDS_CORPUS();
    if (soffice().empty()) GTEST_SKIP() << "LibreOffice (soffice) is not installed here";
    TempDir dir;
    auto path = dir.copy(corpus("tutorial01.xlsx"));
    {
        auto book = xlsx::openWorkbook(path, OpenMode::ReadWrite);
        book->sheet(1).setNumber(1, 2, 2000); // B5 = SUM(B1:B4) was 1450
        book->save();
    }
    auto result =
        runProcess({soffice(), "-env:UserInstallation=file://" + (dir / "profile").string(), "--headless",
                    "--convert-to", "csv", "--outdir", dir.path().string(), path.string()});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    auto csv = readFile(dir / "tutorial01.csv");
    EXPECT_NE(csv.find("2450"), std::string::npos) << csv;
    EXPECT_EQ(csv.find("1450"), std::string::npos) << csv;
}

// Every workbook Excel saved: a write on each worksheet and a save must leave openpyxl seeing exactly
// the old cells plus the new ones (formulas as text, since their cached results may go), and a
// save without changes must keep every entry as it was.
TEST(XlsxWorkbook, EveryExcelWorkbookTakesWritesAndKeepsTheRest) {
    TULVERKAN_NEEDS_CORPUS();
    int checked = 0;
    for (const auto& entry : std::filesystem::directory_iterator(corpusFolder())) {
        if (entry.path().extension() != ".xlsx") continue;
        SCOPED_TRACE(entry.path().filename().string());
        TempDir dir;
        auto untouched = dir.copy(entry.path(), "untouched.xlsx");
        xlsx::openWorkbook(untouched, OpenMode::ReadWrite)->save();
        auto same = runProcess({TULVERKAN_PYTHON, std::string(TULVERKAN_CORPUS) + "/../tools/xlsx-entries",
                                entry.path().string(), untouched.string()});
        EXPECT_EQ(same.exitCode, 0) << same.out << same.err;

        auto path = dir.copy(entry.path(), "changed.xlsx");
        auto before = dumpLines(path, true);
        std::vector<std::string> expected;
        {
            auto book = xlsx::openWorkbook(path, OpenMode::ReadWrite);
            for (int i = 1; i <= book->sheetCount(); ++i) {
                auto& sheet = book->sheet(i);
                try {
                    sheet.cell(1, 1);
                } catch (const sheets::Error&) {
                    continue; // chartsheets have no cells
                }
                try {
                    sheet.setText(200, 30, "Tulverkan ÆØÅ");
                } catch (const sheets::Error& error) {
                    // A protected sheet keeps its locked cells (the hardening tests cover that).
                    EXPECT_NE(std::string(error.what()).find("arket er beskyttet"), std::string::npos)
                        << error.what();
                    continue;
                }
                sheet.setNumber(200, 31, 6.5);
                expected.push_back(sheet.name() + "!AD200:s:Tulverkan ÆØÅ");
                expected.push_back(sheet.name() + "!AE200:n:6.5");
            }
            book->save();
        }
        for (const auto& line : before)
            if (line.find("!AD200:") == std::string::npos && line.find("!AE200:") == std::string::npos)
                expected.push_back(line);
        auto after = dumpLines(path, true);
        std::sort(expected.begin(), expected.end());
        std::sort(after.begin(), after.end());
        EXPECT_EQ(after, expected);
        ++checked;
    }
    EXPECT_GE(checked, 99);
}

TEST(XlsxWorkbook, AfterAnInsertionOnlyFormulasOverTheNewRowGetNewResults) {
    TempDir dir;
    auto path = dir.copy(fixture("engine/formulas-calculated.xlsx"));
    const auto original = dir / "original.xlsx";
    std::filesystem::copy_file(path, original);
    editAndSave(path, [](sheets::Workbook& book) {
        book.sheet(1).insertRow(3, sheets::CopyOrigin::FromLeftOrAbove);
        book.sheet(1).setNumber(3, 1, 100);
    });
    auto stock = sheetXml(path, "xl/worksheets/sheet1.xml");
    auto other = sheetXml(path, "xl/worksheets/sheet2.xml");
    EXPECT_STREQ(cellNode(stock, "B1").child_value("f"), "SUM(A1:A6)");
    EXPECT_EQ(cachedResult(stock, "B1"), "115"); // the range took in the new row
    EXPECT_EQ(cachedResult(stock, "D1"), "230"); // through B1
    EXPECT_EQ(rawCell(path, "xl/worksheets/sheet1.xml", "C1"),
              rawCell(original, "xl/worksheets/sheet1.xml", "C1"));
    EXPECT_STREQ(cellNode(stock, "B8").child_value("f"), "SUM(A1:A7)");
    EXPECT_EQ(cachedResult(stock, "B8"), "115");
    EXPECT_STREQ(cellNode(other, "A1").child_value("f"), "Lager!A4+1");
    EXPECT_EQ(cachedResult(other, "A1"), "4"); // the cell it reads only moved
    EXPECT_EQ(rawCell(path, "xl/worksheets/sheet2.xml", "A4"),
              rawCell(original, "xl/worksheets/sheet2.xml", "A4"));
}

TEST(XlsxWorkbook, FormulasComputedAfterInsertionsReadTheCellsWhereTheyMoved) {
    TempDir dir;
    // Oversikt!B1:B10 is one shared formula, Lager!A1*2 moved down the column; Lager!A holds 1 to 10.
    auto path = dir.copy(fixture("engine/shared-other-sheet.xlsx"));
    auto book = xlsx::openWorkbook(path, OpenMode::ReadWrite);
    auto& stock = book->sheet(1);
    auto& summary = book->sheet(2);
    stock.insertRow(3, sheets::CopyOrigin::FromLeftOrAbove);
    stock.setNumber(3, 1, 50);  // the new row: read by nothing
    stock.setNumber(4, 1, 100); // what was A3, read by Oversikt!B3
    EXPECT_EQ(summary.cell(3, 2).number, 200);
    EXPECT_EQ(summary.cell(4, 2).number, 8);
    EXPECT_EQ(summary.cell(10, 2).number, 20);
    stock.insertRow(1, sheets::CopyOrigin::FromRightOrBelow);
    stock.setNumber(12, 1, 1000); // what was A10: two rows inserted above it
    EXPECT_EQ(summary.cell(10, 2).number, 2000);
    book->save();
    auto lines = dumpLines(path);
    EXPECT_NE(std::find(lines.begin(), lines.end(), "Oversikt!B10:n:2000.0"), lines.end());
}

// A formula computed between insertions is computed and saved with every insertion made by then.
TEST(XlsxWorkbook, FormulasComputedBetweenInsertionsFollowTheLaterOnesToo) {
    TempDir dir;
    auto path = dir.copy(fixture("engine/formulas.xlsx")); // a full calculation: every formula computed
    auto book = xlsx::openWorkbook(path, OpenMode::ReadWrite);
    auto& stock = book->sheet(1);
    auto& other = book->sheet(2);
    stock.insertRow(3, sheets::CopyOrigin::FromLeftOrAbove);
    stock.setNumber(3, 1, 100);
    EXPECT_EQ(other.cell(1, 1).number, 4);   // Lager!A4+1
    EXPECT_EQ(stock.cell(8, 2).number, 115); // SUM(A1:A7)
    stock.insertRow(1, sheets::CopyOrigin::FromRightOrBelow);
    stock.setNumber(1, 1, 1000);             // read by neither once both moved down
    EXPECT_EQ(other.cell(1, 1).number, 4);   // Lager!A5+1, not A4 (now 100)
    EXPECT_EQ(stock.cell(9, 2).number, 115); // SUM(A2:A8)
    book->save();
    auto stockXml = sheetXml(path, "xl/worksheets/sheet1.xml");
    auto otherXml = sheetXml(path, "xl/worksheets/sheet2.xml");
    EXPECT_STREQ(cellNode(otherXml, "A1").child_value("f"), "Lager!A5+1");
    EXPECT_EQ(cachedResult(otherXml, "A1"), "4");
    EXPECT_STREQ(cellNode(stockXml, "B9").child_value("f"), "SUM(A2:A8)");
    EXPECT_EQ(cachedResult(stockXml, "B9"), "115");
}

TEST(XlsxWorkbook, AnEmptyTextClearsTheCell) {
    TULVERKAN_NEEDS_CORPUS();
    TempDir dir;
    auto path = dir.copy(corpus("tutorial01.xlsx"));
    {
        auto book = xlsx::openWorkbook(path, OpenMode::ReadWrite);
        book->sheet(1).setText(1, 1, "");
        book->sheet(1).setText(8, 1, "");
        EXPECT_EQ(book->sheet(1).cell(1, 1).kind, CellValue::Kind::Empty);
        book->save();
    }
    auto lines = dumpLines(path);
    EXPECT_EQ(
        std::count_if(lines.begin(), lines.end(), [](const auto& l) { return l.starts_with("Sheet1!A1:"); }),
        0);
    EXPECT_EQ(
        std::count_if(lines.begin(), lines.end(), [](const auto& l) { return l.starts_with("Sheet1!A8:"); }),
        0);
    EXPECT_EQ(
        std::count_if(lines.begin(), lines.end(), [](const auto& l) { return l.starts_with("Sheet1!A2:"); }),
        1);
}

// A shared group on one sheet reading another: rows inserted there move the references of the cells
// below the insertion and not of those above, so the group cannot stay one formula.
TEST(XlsxWorkbook, SharedFormulasReadingASheetThatGotRowsKeepEachCellsOwnReference) {
    TempDir dir;
    auto path = dir.copy(fixture("engine/shared-other-sheet.xlsx"));
    editAndSave(path, [](sheets::Workbook& book) {
        book.sheet(1).insertRow(5, sheets::CopyOrigin::FromLeftOrAbove);
    });
    auto lines = dumpLines(path, true);
    for (int row = 1; row <= 10; ++row) {
        int read = row < 5 ? row : row + 1;
        std::string expected =
            "Oversikt!B" + std::to_string(row) + ":f:=Lager!A" + std::to_string(read) + "*2";
        EXPECT_EQ(std::count(lines.begin(), lines.end(), expected), 1) << expected;
    }
}
