#include "formula/ReferenceShifter.h"

#include "formula/CellRef.h"
#include "formula/FormulaTokenizer.h"
#include "formula/ReferenceSyntax.h"
#include "sheets/AsciiCase.h"

#include "support/Python.h"
#include "support/TestPaths.h"

#include <gtest/gtest.h>

#include <array>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace {

using xlsx::RowShift;

const std::vector<std::string> kSheets = {"Ark1", "Ark 2", "It's", "Ark4", "Ark5"};

using Insertions = std::vector<std::pair<std::string, std::vector<std::uint32_t>>>;

struct ShiftCase {
    std::string formula;
    Insertions insertions; // rows inserted per sheet, in order
    std::string expected;
    std::string formulaSheet = "Ark1";
};

// The references a shift gives with its result must be those a reading of the result finds: the
// evaluator keys the result's tree by them.
void expectReferencesOfResult(const std::string& formula, const xlsx::ShiftContext& context) {
    std::vector<xlsx::FormulaReference> given, found;
    auto result = xlsx::shiftFormula(formula, context, given);
    EXPECT_EQ(result, xlsx::shiftFormula(formula, context)) << formula;
    const std::string text = result.value_or(formula);
    xlsx::findReferences(text, found);
    ASSERT_EQ(given.size(), found.size()) << formula << " became " << text;
    for (std::size_t i = 0; i < given.size(); ++i) {
        EXPECT_EQ(given[i].text(text), found[i].text(text)) << formula << " became " << text;
        EXPECT_EQ(given[i].prefix(text), found[i].prefix(text)) << formula << " became " << text;
        EXPECT_EQ(xlsx::formatArea(given[i].area), xlsx::formatArea(found[i].area)) << text;
        EXPECT_EQ(given[i].area.kind, found[i].area.kind) << text;
    }
}

xlsx::ShiftContext contextOf(const std::map<std::string, RowShift>& shifts, const std::string& formulaSheet) {
    return {formulaSheet, &kSheets, [&shifts](std::string_view name) -> const RowShift* {
                for (const auto& [sheet, shift] : shifts)
                    if (sheets::equalIgnoringAsciiCase(sheet, name)) return &shift;
                return nullptr;
            }};
}

// The formula as saved after the insertions; checks that "unchanged" is reported as nullopt.
void expectShifts(const std::vector<ShiftCase>& cases) {
    for (const auto& c : cases) {
        std::map<std::string, RowShift> shifts;
        for (const auto& [sheet, rows] : c.insertions)
            for (auto row : rows)
                shifts[sheet].insert(row);
        auto context = contextOf(shifts, c.formulaSheet);
        auto result = xlsx::shiftFormula(c.formula, context);
        expectReferencesOfResult(c.formula, context);
        if (c.expected == c.formula)
            EXPECT_FALSE(result) << c.formula << " became " << *result;
        else
            EXPECT_EQ(result.value_or("(unchanged)"), c.expected) << c.formula << " on " << c.formulaSheet;
    }
}

Insertions onArk1(std::vector<std::uint32_t> rows) {
    return {{"Ark1", std::move(rows)}};
}

TEST(ShiftFormula, CellsAndRangesAroundTheInsertedRow) {
    expectShifts({
        {"A5", onArk1({6}), "A5"},
        {"A5", onArk1({5}), "A6"},
        {"A5*2", onArk1({1}), "A6*2"},
        {"$A$5+A$5+$A5", onArk1({3}), "$A$6+A$6+$A6"},
        {"SUM(A2:B5)", onArk1({1}), "SUM(A3:B6)"},
        {"SUM(A2:B5)", onArk1({2}), "SUM(A3:B6)"},
        {"SUM(A2:B5)", onArk1({3}), "SUM(A2:B6)"},
        {"SUM(A2:B5)", onArk1({5}), "SUM(A2:B6)"},
        {"SUM(A2:B5)", onArk1({6}), "SUM(A2:B5)"},
        {"SUM(B5:A2)", onArk1({3}), "SUM(B6:A2)"},
        {"SUM(a5:b9)", onArk1({1}), "SUM(A6:B10)"},
        {"A5+A5", onArk1({5, 5, 3}), "A8+A8"},
        {"SUM(A2:A4)", onArk1({3, 10, 3}), "SUM(A2:A6)"},
    });
}

TEST(ShiftFormula, WholeRowsMoveWholeColumnsNever) {
    expectShifts({
        {"SUM(5:5)", onArk1({5}), "SUM(6:6)"},
        {"SUM(3:10)", onArk1({5}), "SUM(3:11)"},
        {"SUM($3:$10)", onArk1({1}), "SUM($4:$11)"},
        {"SUM(3:10)", onArk1({11}), "SUM(3:10)"},
        {"SUM(A:A)+SUM($B:$D)", onArk1({1, 2, 3}), "SUM(A:A)+SUM($B:$D)"},
        {"SUM(A:A)+A5", onArk1({1}), "SUM(A:A)+A6"},
    });
}

TEST(ShiftFormula, PushedPastTheLastRow) {
    expectShifts({
        {"A1048576+1", onArk1({1}), "#REF!+1"},
        {"A1048575", onArk1({1, 1}), "#REF!"},
        {"SUM(A1:A1048576)", onArk1({2}), "SUM(A1:A1048576)"},
        {"SUM(A5:A1048576)", onArk1({1}), "SUM(A6:A1048576)"},
        {"SUM(A1048575:B1048576)", onArk1({1}), "SUM(A1048576:B1048576)"},
        {"SUM(1048576:1048576)", onArk1({3}), "SUM(#REF!)"},
        {"SUM(5:1048576)", onArk1({3}), "SUM(6:1048576)"},
        {"Ark1!A1048576", onArk1({9}), "Ark1!#REF!"},
    });
}

TEST(ShiftFormula, QualifiedReferencesFollowTheirSheet) {
    expectShifts({
        {"Ark1!A5+A5", onArk1({2}), "Ark1!A6+A5", "Ark4"},
        {"ark1!A5+ARK1!B5", onArk1({2}), "ark1!A6+ARK1!B6", "Ark4"},
        {"'Ark 2'!A5+'It''s'!B5:B7", {{"Ark 2", {1}}, {"It's", {6}}}, "'Ark 2'!A6+'It''s'!B5:B8"},
        {"Ark4!A5+A5", onArk1({1}), "Ark4!A5+A6"},
        {"Ark4!A5+A5", {{"Ark4", {1}}}, "Ark4!A6+A6", "Ark4"},
        {"'Ark1'!A5", onArk1({1}), "'Ark1'!A6", "Ark4"},
        {"Ark1!A1:Ark1!B3", onArk1({2}), "Ark1!A1:Ark1!B4", "Ark4"},
        // An insertion on the formula's own sheet moves nothing it reads elsewhere.
        {"SUM(Ark4!A5:A9)", onArk1({1}), "SUM(Ark4!A5:A9)"},
    });
}

TEST(ShiftFormula, ThreeDimensionalSpans) {
    expectShifts({
        {"SUM(Ark1:Ark4!A5)", {{"Ark 2", {5}}}, "SUM(Ark1:Ark4!A6)", "Ark5"},
        {"SUM('Ark 2:Ark4'!A5)", onArk1({1}), "SUM('Ark 2:Ark4'!A5)", "Ark5"},
        {"SUM(Ark4:Ark1!A5:A9)", {{"It's", {7}}}, "SUM(Ark4:Ark1!A5:A10)", "Ark5"},
        {"SUM(Ark1:Ark4!A5)", {{"Ark5", {1}}}, "SUM(Ark1:Ark4!A5)", "Ark5"},
        {"SUM(Ark1:Ark4!A5)", {{"Ark1", {1}}, {"Ark4", {1}}}, "SUM(Ark1:Ark4!A7)", "Ark5"},
        // Ends the workbook does not have: the shifts of the ends that exist still apply.
        {"SUM(Ark1:Borte!A5)", onArk1({1}), "SUM(Ark1:Borte!A6)", "Ark5"},
    });
}

TEST(ShiftFormula, LeavesOtherWorkbooksAlone) {
    expectShifts({
        {"[1]Ark1!A5+A5", onArk1({1}), "[1]Ark1!A5+A6"},
        {"'[1]Ark 2'!A5", {{"Ark 2", {1}}}, "'[1]Ark 2'!A5"},
        {"'/data/[Lager.xlsx]Ark1'!A5:A9", onArk1({1}), "'/data/[Lager.xlsx]Ark1'!A5:A9"},
        {"[1]Ark1:Ark4!A5+[1]!Navn", onArk1({1}), "[1]Ark1:Ark4!A5+[1]!Navn"},
    });
}

TEST(ShiftFormula, ChangesReferencesOnlyAndKeepsTheRestAsWritten) {
    expectShifts({
        {"IF(A1=\"A1\",\"Ark1!A1\",A1)", onArk1({1}), "IF(A2=\"A1\",\"Ark1!A1\",A2)"},
        {"LOG10(A1)+ATAN2(A1,B1)+DAYS360(A1,B1)", onArk1({1}), "LOG10(A2)+ATAN2(A2,B2)+DAYS360(A2,B2)"},
        {"_xlfn.DAYS(A1, B1)", onArk1({1}), "_xlfn.DAYS(A2, B2)"},
        {"SUM(A1:B5 B2:C3)", onArk1({3}), "SUM(A1:B6 B2:C4)"},
        {"TRUE", onArk1({1}), "TRUE"},
        {"ABCD1+SUM1_+R1C1+XFE1", onArk1({1}), "ABCD1+SUM1_+R1C1+XFE1"},
        {"Table1[Col]+Table1[[#This Row],[Col1]]", onArk1({1}), "Table1[Col]+Table1[[#This Row],[Col1]]"},
        {"SUM({1,2;3,4})", onArk1({1}), "SUM({1,2;3,4})"},
        {"1E+5+1.5E-3", onArk1({1}), "1E+5+1.5E-3"},
        {"#REF!+Ark1!#REF!+#REF!A1+#DIV/0!", onArk1({1}), "#REF!+Ark1!#REF!+#REF!A1+#DIV/0!"},
        {"Ark1!Navn1+Navn2", onArk1({1}), "Ark1!Navn1+Navn2"},
        {"\"open A1", onArk1({1}), "\"open A1"},
        {"A1+'Ark 1", onArk1({1}), "A2+'Ark 1"},
    });
}

TEST(ShiftFormula, GivesTheReferencesOfWhatItWrites) {
    const std::vector<std::string> pieces = {"A1",       "B1048576",   "$C$3:D1048575",
                                             "b2:$A$1",  ":",          "Ark1!",
                                             "'Ark 2'!", "Ark4:Ark5!", "[1]Ark1!",
                                             "+",        "*",          "(",
                                             ")",        "SUM(",       "#REF!",
                                             "\"A1\"",   "{1,A1}",     "A:A",
                                             "3:$5",     " ",          ",",
                                             "LOG10(",   "Navn",       "1E+5"};
    std::mt19937 random(17);
    for (int i = 0; i < 3000; ++i) {
        std::map<std::string, RowShift> shifts;
        for (auto n = random() % 4; n > 0; --n)
            shifts[kSheets[random() % 3 + (random() % 2) * 2]].insert(
                std::array<std::uint32_t, 5>{1, 2, 3, 5, 1048575}[random() % 5]);
        std::string formula;
        for (auto n = random() % 10; n > 0; --n)
            formula += pieces[random() % pieces.size()];
        expectReferencesOfResult(formula, contextOf(shifts, kSheets[random() % 2]));
    }
}

TEST(ShiftFormula, NothingToDoCostsNothing) {
    int asked = 0;
    xlsx::ShiftContext context{"Ark1", &kSheets, [&](std::string_view) -> const RowShift* {
                                   ++asked;
                                   return nullptr;
                               }};
    EXPECT_FALSE(xlsx::shiftFormula("SUM(A1:B5)*Ark4!C3", context));
    EXPECT_FALSE(xlsx::shiftFormula("SUM(A:A)&\"x\"", context));
    EXPECT_EQ(asked, 2); // the sheet itself, then Ark4; a formula without digits is not even looked at
    xlsx::ShiftContext none{"Ark1", nullptr, {}};
    EXPECT_FALSE(xlsx::shiftFormula("A1", none));
}

// "Sheet!B12" -> formula text without '=', from openpyxl's dump of a workbook.
std::map<std::string, std::string> formulasOf(const std::filesystem::path& workbook) {
    std::map<std::string, std::string> formulas;
    std::istringstream in(testsupport::openpyxlDump(workbook, true));
    for (std::string line; std::getline(in, line);) {
        auto kind = line.find(":f:=");
        if (kind != std::string::npos) formulas[line.substr(0, kind)] = line.substr(kind + 4);
    }
    return formulas;
}

// LibreOffice writes a reference pushed off the sheet without its sheet name; Excel keeps it.
std::string withoutSheetOnErrors(std::string_view formula) {
    std::string out;
    for (const auto& token : xlsx::tokenizeFormula(formula))
        out += token.kind == xlsx::TokenKind::Error ? token.text.substr(token.text.rfind('#')) : token.text;
    return out;
}

// LibreOffice inserts the rows into a real workbook; every formula it then saves must be what we
// make of the original formula. (It leaves 3-D references alone where we shift them as Excel does,
// so those are not compared.)
TEST(ShiftFormula, AgreesWithLibreOfficeInsertingRows) {
    if (testsupport::soffice().empty()) GTEST_SKIP() << "LibreOffice is not installed";
    const std::vector<std::string> onArk2 = {"Ark1!A5",
                                             "SUM(Ark1!A2:A5)",
                                             "SUM(Ark1!A6:B9)",
                                             "Ark1!$A$3+Ark1!A$7+Ark1!$A8",
                                             "SUM(Ark1!3:4)",
                                             "SUM(Ark1!A:A)",
                                             "'Ark 2'!B1",
                                             "Ark1!A1048576",
                                             "SUM(Ark1!A5:A1048576)",
                                             "SUM(Ark1!A1048575:A1048576)",
                                             "IF(Ark1!A1=1,\"A1\",LOG10(Ark1!A10))",
                                             "SUM(Ark1!A1:B5 Ark1!B2:C3)",
                                             "Ark1!A20+'It''s'!A5",
                                             "SUM(Ark1!A4:A4,Ark1!A5:A5)"};
    const std::vector<std::string> onArk1 = {"SUM(A2:A9)", "A5*2+$B$9", "SUM(A5:A5)", "'It''s'!A5+Ark1!A3"};
    const std::vector<std::uint32_t> inserts = {5, 5, 9, 3};

    testsupport::TempDir dir;
    std::vector<std::string> argv{TULVERKAN_PYTHON, "-c",
                                  "import sys, openpyxl\n"
                                  "wb = openpyxl.Workbook()\n"
                                  "ark1 = wb.active\n"
                                  "ark1.title = 'Ark1'\n"
                                  "ark2 = wb.create_sheet('Ark 2')\n"
                                  "wb.create_sheet(\"It's\")\n"
                                  "for r in range(1, 21):\n"
                                  "    ark1.cell(r, 1, r)\n"
                                  "    ark1.cell(r, 2, r * 10)\n"
                                  "for arg in sys.argv[2:]:\n"
                                  "    sheet, cell, formula = arg.split('|', 2)\n"
                                  "    wb[sheet][cell] = '=' + formula\n"
                                  "wb.save(sys.argv[1])\n",
                                  (dir / "in.xlsx").string()};
    for (std::size_t i = 0; i < onArk2.size(); ++i)
        argv.push_back("Ark 2|A" + std::to_string(i + 1) + "|" + onArk2[i]);
    for (std::size_t i = 0; i < onArk1.size(); ++i)
        argv.push_back("Ark1|D" + std::to_string(i + 30) + "|" + onArk1[i]);
    auto made = testsupport::runProcess(argv);
    ASSERT_EQ(made.exitCode, 0) << made.err;

    std::vector<std::string> args{(dir / "in.xlsx").string(), "Ark1"};
    for (auto row : inserts)
        args.push_back(std::to_string(row));
    for (const char* extra : {"--csv", "csv", "--save"})
        args.emplace_back(extra);
    args[args.size() - 2] = (dir / "csv").string();
    args.push_back((dir / "lo.xlsx").string());
    auto inserted = testsupport::runPythonScript("libreoffice_insert_rows.py", args);
    ASSERT_EQ(inserted.exitCode, 0) << inserted.err;

    RowShift shift;
    for (auto row : inserts)
        shift.insert(row);
    const std::vector<std::string> order = {"Ark1", "Ark 2", "It's"};
    auto theirs = formulasOf(dir / "lo.xlsx");
    auto original = formulasOf(dir / "in.xlsx");
    ASSERT_EQ(original.size(), onArk1.size() + onArk2.size());
    for (const auto& [where, formula] : original) {
        auto bang = where.rfind('!');
        std::string sheet = where.substr(0, bang);
        auto cell = xlsx::CellRef::parse(where.substr(bang + 1));
        ASSERT_TRUE(cell) << where;
        std::string now = sheet + "!" +
                          (sheet == "Ark1" ? xlsx::CellRef(shift.map(cell->row()), cell->column()).toString()
                                           : cell->toString());
        xlsx::ShiftContext context{sheet, &order, [&](std::string_view name) {
                                       return sheets::equalIgnoringAsciiCase(name, "Ark1") ? &shift : nullptr;
                                   }};
        auto ours = xlsx::shiftFormula(formula, context).value_or(formula);
        ASSERT_TRUE(theirs.count(now)) << formula << " expected at " << now;
        EXPECT_EQ(withoutSheetOnErrors(ours), theirs[now]) << "from " << formula << " in " << where;
    }
}

struct AreaListCase {
    std::string areas;
    std::vector<std::uint32_t> inserts;
    std::string expected; // "(unchanged)" for nullopt
};

TEST(ShiftAreaList, MovesGrowsAndDropsAreas) {
    const std::vector<AreaListCase> cases = {
        {"A1:B3 C5 $D$7", {4}, "A1:B3 C6 $D$8"},
        {"A1:B3 C5 $D$7", {2}, "A1:B4 C6 $D$8"},
        {"A1:B3 C5 $D$7", {8}, "(unchanged)"},
        {"A1048576 B2", {1}, "B3"},
        {"A1048576", {1}, ""},
        {"A1:A1048576", {1}, "A2:A1048576"},
        {"A1:A1048576", {2}, "(unchanged)"},
        {"A:A 3:4 C3", {1}, "A:A 4:5 C4"},
        {"huh? A5", {1}, "huh? A6"},
        {"A5", {}, "(unchanged)"},
    };
    for (const auto& c : cases) {
        RowShift shift;
        for (auto row : c.inserts)
            shift.insert(row);
        EXPECT_EQ(xlsx::shiftAreaList(c.areas, shift).value_or("(unchanged)"), c.expected) << c.areas;
    }
}

struct Translation {
    std::string formula;
    int rows;
    int columns;
    std::string expected;
};

TEST(TranslateFormula, MovesRelativePartsOnly) {
    const std::vector<Translation> cases = {
        {"A1+$B$1+B$2+$C3", 1, 1, "B2+$B$1+C$2+$C4"},
        {"SUM(A1:B3)*2", 4, 0, "SUM(A5:B7)*2"},
        {"SUM($A$1:A1)", 9, 0, "SUM($A$1:A10)"},
        {"SUM(A:A)+SUM($B:C)", 5, 2, "SUM(C:C)+SUM($B:E)"},
        {"SUM(3:3)+SUM($1:4)", 2, 7, "SUM(5:5)+SUM($1:6)"},
        {"Ark1!A1+'Ark 2'!B$2+Ark1:Ark3!C3", 1, 0, "Ark1!A2+'Ark 2'!B$2+Ark1:Ark3!C4"},
        {"[1]Ark1!A1", 1, 0, "[1]Ark1!A2"},
        {"C3-A1", -2, -2, "A1-#REF!"},
        {"Ark1!A1*2", -1, 0, "Ark1!#REF!*2"},
        {"XFD1", 0, 1, "#REF!"},
        {"A1048576+B$1048576", 1, 0, "#REF!+B$1048576"},
        {"SUM(A1:A1048576)", 1, 0, "SUM(#REF!)"},
        {"IF(A1=\"A1\",LOG10(A1),TRUE)", 1, 0, "IF(A2=\"A1\",LOG10(A2),TRUE)"},
        {"Table1[[#This Row],[Col]]*B2", 1, 0, "Table1[[#This Row],[Col]]*B3"},
        {"SUM(B2:B5)", 0, 0, "SUM(B2:B5)"},
        {"ABCD1+{1,2;3,4}", 3, 3, "ABCD1+{1,2;3,4}"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(xlsx::translateFormula(c.formula, c.rows, c.columns), c.expected)
            << c.formula << " by " << c.rows << "," << c.columns;
}

// "Ark1:Ark3!R1C1:R5C2 names=Pris volatile opaque", own sheet written as "-".
std::string describe(const xlsx::FormulaDependencies& deps) {
    std::string out;
    for (const auto& a : deps.areas) {
        out += a.firstSheet.empty() ? "-" : a.firstSheet;
        if (a.lastSheet != a.firstSheet) out += ":" + a.lastSheet;
        out += "!R" + std::to_string(a.firstRow) + "C" + std::to_string(a.firstColumn) + ":R" +
               std::to_string(a.lastRow) + "C" + std::to_string(a.lastColumn) + " ";
    }
    if (!deps.names.empty()) {
        out += "names=";
        for (std::size_t i = 0; i < deps.names.size(); ++i)
            out += (i ? "," : "") + deps.names[i];
        out += " ";
    }
    if (deps.isVolatile) out += "volatile ";
    if (deps.opaque) out += "opaque ";
    if (!out.empty()) out.pop_back();
    return out;
}

TEST(AnalyzeFormula, WhatAFormulaReads) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"SUM(A1:B5)+C3", "-!R1C1:R5C2 -!R3C3:R3C3 names=SUM"},
        {"SUM(B5:A1)", "-!R1C1:R5C2 names=SUM"},
        {"SUM(A:B)+sum($3:$4)", "-!R1C1:R1048576C2 -!R3C1:R4C16384 names=SUM"},
        {"'It''s'!A1+Ark1:Ark3!B2", "It's!R1C1:R1C1 Ark1:Ark3!R2C2:R2C2"},
        {"Pris*Antall+Ark1!Rabatt+pris+TRUE", "names=Pris,Antall,Rabatt"},
        {"IF(A1=\"B2\",LOG10(C3),#REF!)+Ark1!#REF!", "-!R1C1:R1C1 -!R3C3:R3C3 names=IF,LOG10"},
        {"NOW()-A1", "-!R1C1:R1C1 names=NOW volatile"},
        {"_xlfn.RANDARRAY(3)+today()", "names=_xlfn.RANDARRAY,today volatile"},
        {"OFFSET(A1,1,1)+INDIRECT(\"B2\")", "-!R1C1:R1C1 names=OFFSET,INDIRECT volatile"},
        {"[1]Ark1!A1+B1", "-!R1C2:R1C2 opaque"},
        {"SUM(Table1[Col])", "names=SUM opaque"},
        {"[1]!Navn", "opaque"},
        {"\"open", "opaque"},
        {"{1,2;3,4}", ""},
    };
    for (const auto& [formula, expected] : cases)
        EXPECT_EQ(describe(xlsx::analyzeFormula(formula)), expected) << formula;
}

} // namespace
