#include "xlsx/ReferenceShifter.h"

#include "xlsx/ReferenceSyntax.h"

#include <gtest/gtest.h>

#include <map>
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

// The formula as saved after the insertions; checks that "unchanged" is reported as nullopt.
void expectShifts(const std::vector<ShiftCase>& cases) {
    for (const auto& c : cases) {
        std::map<std::string, RowShift> shifts;
        for (const auto& [sheet, rows] : c.insertions)
            for (auto row : rows)
                shifts[sheet].insert(row);
        xlsx::ShiftContext context{c.formulaSheet, &kSheets, [&](std::string_view name) -> const RowShift* {
                                       for (const auto& [sheet, shift] : shifts)
                                           if (xlsx::sameSheetName(sheet, name)) return &shift;
                                       return nullptr;
                                   }};
        auto result = xlsx::shiftFormula(c.formula, context);
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
        {"SUM(A1:B5)+C3", "-!R1C1:R5C2 -!R3C3:R3C3"},
        {"SUM(B5:A1)", "-!R1C1:R5C2"},
        {"SUM(A:B)+SUM($3:$4)", "-!R1C1:R1048576C2 -!R3C1:R4C16384"},
        {"'It''s'!A1+Ark1:Ark3!B2", "It's!R1C1:R1C1 Ark1:Ark3!R2C2:R2C2"},
        {"Pris*Antall+Ark1!Rabatt+pris+TRUE", "names=Pris,Antall,Rabatt"},
        {"IF(A1=\"B2\",LOG10(C3),#REF!)+Ark1!#REF!", "-!R1C1:R1C1 -!R3C3:R3C3"},
        {"NOW()-A1", "-!R1C1:R1C1 volatile"},
        {"_xlfn.RANDARRAY(3)+today()", "volatile"},
        {"OFFSET(A1,1,1)+INDIRECT(\"B2\")", "-!R1C1:R1C1 volatile"},
        {"[1]Ark1!A1+B1", "-!R1C2:R1C2 opaque"},
        {"SUM(Table1[Col])", "opaque"},
        {"[1]!Navn", "opaque"},
        {"\"open", "opaque"},
        {"{1,2;3,4}", ""},
    };
    for (const auto& [formula, expected] : cases)
        EXPECT_EQ(describe(xlsx::analyzeFormula(formula)), expected) << formula;
}

TEST(SheetNames, FoldOnlyAToZ) {
    EXPECT_TRUE(xlsx::sameSheetName("Ark 2", "aRK 2"));
    EXPECT_FALSE(xlsx::sameSheetName("Blå", "BLÅ"));
    EXPECT_FALSE(xlsx::sameSheetName("Ark1", "Ark1 "));
}

} // namespace
