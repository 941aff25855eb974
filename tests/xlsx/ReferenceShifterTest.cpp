#include "xlsx/ReferenceShifter.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace {

using xlsx::RowShift;

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

} // namespace
