// The evaluator's semantics on an in-memory grid: operators, conversions, references, names, array
// formulas, and what it refuses to compute.

#include "EvalTestSupport.h"

#include <gtest/gtest.h>

namespace evaltest {
namespace {

using xlsx::eval::Evaluator;

TEST(Evaluator, OperatorsInTheApplicationsPrecedence) {
    GridSource grid;
    expectAll(grid, {
                        {"-2^2", "n:4"},   // the sign binds tighter than ^
                        {"2^3^2", "n:64"}, // ^ goes left to right
                        {"2+3*4^2", "n:50"},
                        {"-50%", "n:-0.5"},
                        {"10%*3", "n:0.3"},
                        {"1+2&3", "s:33"}, // & after arithmetic
                        {"1&2=12", "b:0"}, // comparison last: "12" = 12 is false
                        {"(1&2)+1", "n:13"},
                        {"\"a\"&TRUE&1.5", "s:aTRUE1.5"},
                        {"3-2-1", "n:0"},
                        {"8/2/2", "n:2"},
                    });
}

TEST(Evaluator, ConversionsAndErrorsInArithmetic) {
    GridSource grid;
    grid.text(0, "A1", " 7 ");
    grid.text(0, "A2", "abc");
    grid.boolean(0, "A3", true);
    grid.error(0, "A4", "#N/A");
    expectAll(grid, {
                        {"A1+1", "n:8"}, // text that reads as a number
                        {"\"1e3\"+0", "n:1000"},
                        {"\"(5)\"+0", "n:-5"},
                        {"\"50%\"*2", "n:1"},
                        {"\"2024-01-31\"+0", "n:45322"},
                        {"\"13:30\"*24", "n:13.5"},
                        {"A2+1", "e:#VALUE!"},
                        {"A3+1", "n:2"},
                        {"B9+1", "n:1"},      // an empty cell is 0
                        {"B9&\"x\"", "s:x"},  // ... and "" beside text
                        {"A4+1/0", "e:#N/A"}, // the left error wins
                        {"1/0+A4", "e:#DIV/0!"},
                        {"0^0", "e:#NUM!"},
                        {"0^-1", "e:#DIV/0!"},
                        {"(-8)^(1/3)", "e:#NUM!"},
                        {"(-8)^3", "n:-512"},
                        {"1E+308*10", "e:#NUM!"},
                        {"B9", "n:0"}, // a formula showing an empty cell shows 0
                    });
}

TEST(Evaluator, ComparisonsAcrossKinds) {
    GridSource grid;
    grid.number(0, "A1", 3);
    grid.text(0, "A2", "3");
    expectAll(grid, {
                        {"1<\"a\"", "b:1"},     // numbers before texts
                        {"\"z\"<TRUE", "b:1"},  // texts before booleans
                        {"\"A\"=\"a\"", "b:1"}, // no regard to case
                        {"\"Æble\"=\"æBLE\"", "b:1"},
                        {"\"abc\"<\"ABD\"", "b:1"},
                        {"\"ab\"<\"abc\"", "b:1"},
                        {"A1=A2", "b:0"}, // a number is not its text
                        {"B9=0", "b:1"},
                        {"B9=\"\"", "b:1"},
                        {"B9=FALSE", "b:1"},
                        {"0.1+0.2=0.3", "b:1"}, // equal as the application shows them
                        {"0.1+0.2-0.3", "n:0"},
                        {"1+1E-16>1", "b:0"},
                    });
}

TEST(Evaluator, WhatDependsOnTheUsersLanguageIsNotComputed) {
    GridSource grid;
    grid.text(0, "A1", "12,5");
    grid.text(0, "A2", "1 000");
    grid.text(0, "A3", "3 stk");
    grid.text(0, "A4", "15.01.2024");
    expectAll(grid, {
                        {"A1+1", "?"}, // 12.5 to a Norwegian user, #VALUE! to an English one
                        {"A2*1", "?"},
                        {"A4+0", "?"},
                        {"A3+1", "e:#VALUE!"},   // no language reads that as a number
                        {"\"a-b\"<\"ab\"", "?"}, // collation orders punctuation differently
                        {"\"ø\"<\"z\"", "?"},
                        {"\"a-b\"=\"A-B\"", "b:1"}, // equality does not depend on it
                        {"\"a-b\"<>\"ab\"", "b:1"},
                        {"1E-7&\"\"", "?"},
                    });
}

TEST(Evaluator, ReferencesAcrossSheetsAndWholeColumns) {
    GridSource grid({"Ark1", "Mitt ark", "Ark3"});
    grid.number(0, "A1", 1);
    grid.number(0, "A5000", 2);
    grid.number(1, "A1", 10);
    grid.number(1, "B2", 20);
    grid.number(2, "A1", 100);
    grid.noCells(2);
    expectAll(grid, {
                        {"SUM(A:A)", "n:3"},
                        {"SUM(5000:5000)", "n:2"},
                        {"'Mitt ark'!A1+'MITT ARK'!B2", "n:30"},
                        {"SUM('Ark1:Mitt ark'!A1)", "n:11"},
                        {"SUM('Mitt ark:Ark1'!A1)", "n:11"},
                        {"Borte!A1", "e:#REF!"},
                        {"Ark3!A1", "e:#REF!"}, // a chartsheet holds no cells
                        {"#REF!+1", "e:#REF!"},
                        {"SUM(A1:A2 A2:A3)", "n:0"},
                        {"A1:A2 B1:B2", "e:#NULL!"},
                        {"SUM((A1,'Mitt ark'!A1))", "e:#VALUE!"},
                        {"SUM((A1,A5000))", "n:3"},
                        {"SUM(A1:INDEX(A:A,5000))", "n:3"},
                        {"[1]Ark1!A1", "?"},      // another workbook
                        {"Tabell1[Antall]", "?"}, // a table the workbook does not have
                    });
}

TEST(Evaluator, ARangeInACellGivesTheCellInItsRowOrColumn) {
    GridSource grid;
    for (int r = 1; r <= 5; ++r)
        grid.number(0, "A" + std::to_string(r), r * 10);
    grid.number(0, "C1", 7);
    grid.number(0, "D1", 8);
    EXPECT_EQ(evaluate(grid, "A1:A5", "B3"), "n:30");
    EXPECT_EQ(evaluate(grid, "A1:A5*2", "B4"), "n:80");
    EXPECT_EQ(evaluate(grid, "A1:A5", "B9"), "e:#VALUE!");
    EXPECT_EQ(evaluate(grid, "C1:D1", "D7"), "n:8");
    EXPECT_EQ(evaluate(grid, "A1:D5", "B3"), "e:#VALUE!");
    EXPECT_EQ(evaluate(grid, "@A1:A5", "B2"), "n:20");
    EXPECT_EQ(evaluate(grid, "_xlfn.SINGLE(A1:A5)", "B2"), "n:20");
    EXPECT_EQ(evaluate(grid, "{5,6;7,8}", "B2"), "n:5");
}

TEST(Evaluator, ArrayFormulasWorkElementByElement) {
    GridSource grid;
    for (int r = 1; r <= 3; ++r) {
        grid.number(0, "A" + std::to_string(r), r);
        grid.number(0, "B" + std::to_string(r), r * 10);
    }
    grid.text(0, "C1", "x");
    grid.text(0, "C3", "x");
    // The same text as an array formula and as a plain one in a row outside the ranges.
    EXPECT_EQ(evaluate(grid, "SUM(A1:A3*B1:B3)", "E9", 0, true), "n:140");
    EXPECT_EQ(evaluate(grid, "SUM(A1:A3*B1:B3)", "E9"), "e:#VALUE!");
    EXPECT_EQ(evaluate(grid, "SUMPRODUCT(A1:A3*B1:B3)", "E9"), "n:140");
    EXPECT_EQ(evaluate(grid, "SUMPRODUCT((C1:C3=\"x\")*B1:B3)", "E9"), "n:40");
    EXPECT_EQ(evaluate(grid, "SUM(IF(A1:A3>1,B1:B3,0))", "E9", 0, true), "n:50");
    EXPECT_EQ(evaluate(grid, "SUM(LEN(C1:C3))", "E9", 0, true), "n:2");
    EXPECT_EQ(evaluate(grid, "SUMPRODUCT(ROW(A1:A3)*A1:A3)", "E9"), "n:14");
    EXPECT_EQ(evaluate(grid, "SUM({1,2;3,4}*{1;2})", "E9", 0, true), "n:17");
    EXPECT_EQ(evaluate(grid, "SUM({1,2}*{1,2,3})", "E9", 0, true), "e:#N/A");
    EXPECT_EQ(evaluate(grid, "SUM(A1:A3*B1:B3)", "E9", 0, true), "n:140");
}

TEST(Evaluator, DefinedNamesWithWorkbookAndSheetScope) {
    GridSource grid({"Ark1", "Ark2"});
    grid.number(0, "A1", 5);
    grid.number(1, "A1", 7);
    grid.name("Sats", "Ark1!$A$1");
    grid.name("Sats", "Ark2!$A$1*10", 1);
    grid.name("Liste", "Ark1!$A$1:$A$3");
    grid.name("Under", "Ark1!A2"); // relative: the cell below the one that uses it
    grid.name("Seg", "Seg+1");
    grid.number(0, "A3", 2);
    EXPECT_EQ(evaluate(grid, "Sats", "B1", 0), "n:5");
    EXPECT_EQ(evaluate(grid, "Sats", "B1", 1), "n:70"); // the sheet's own name hides the workbook's
    EXPECT_EQ(evaluate(grid, "Ark2!Sats", "C1", 0), "n:70");
    EXPECT_EQ(evaluate(grid, "SUM(Liste)", "B2", 0), "n:7");
    grid.number(0, "D6", 9);
    EXPECT_EQ(evaluate(grid, "Under", "D5", 0), "n:9");
    EXPECT_EQ(evaluate(grid, "Under*2", "D5", 1), "n:18");
    EXPECT_EQ(evaluate(grid, "Under", "D6", 1), "n:0");
    EXPECT_EQ(evaluate(grid, "Ukjent+1", "B4", 0), "?");
    EXPECT_EQ(evaluate(grid, "Seg", "B5", 0), "?");
}

TEST(Evaluator, SharedFormulasMoveTheirRelativeReferences) {
    GridSource grid;
    for (int r = 1; r <= 4; ++r)
        grid.number(0, "A" + std::to_string(r), r);
    grid.number(0, "D1", 100);
    grid.formula(0, "B1", "A1*2+$D$1");
    for (int r = 2; r <= 4; ++r)
        grid.sharedFormula(0, "B" + std::to_string(r), "A1*2+$D$1", "B1");
    grid.sharedFormula(0, "C1", "A1*2+$D$1", "B1"); // one column right: B1*2+D1
    Evaluator evaluator(grid);
    EXPECT_EQ(shown(evaluator.value(0, 4, 2)), "n:108");
    EXPECT_EQ(shown(evaluator.value(0, 1, 3)), "n:304");
}

TEST(Evaluator, WhatCannotBeComputedIsReportedWithTheCellWhereItArose) {
    GridSource grid;
    grid.formula(0, "A1", "FOO(1)+1");
    grid.formula(0, "A2", "A1*2");
    grid.formula(0, "B1", "B2+1");
    grid.formula(0, "B2", "B1+1");
    grid.blocked(0, "C1", "SEQUENCE(3)", "en dynamisk matrise");
    grid.formula(0, "C2", "IFERROR(A1,0)");
    grid.formula(0, "C3", "IF(TRUE,1,FOO(1))");
    Evaluator evaluator(grid);
    auto a2 = evaluator.value(0, 2, 1);
    EXPECT_FALSE(a2.computed);
    EXPECT_EQ(a2.problem, "funksjonen FOO");
    EXPECT_EQ(a2.row, 1u);
    EXPECT_EQ(a2.column, 1u);
    auto cycle = evaluator.value(0, 1, 2);
    EXPECT_FALSE(cycle.computed);
    EXPECT_EQ(cycle.problem, "en sirkulær referanse");
    EXPECT_EQ(evaluator.value(0, 1, 3).problem, "en dynamisk matrise");
    EXPECT_FALSE(evaluator.value(0, 2, 3).computed) << "an error trap must not hide what was not computed";
    EXPECT_EQ(shown(evaluator.value(0, 3, 3)), "n:1") << "a branch not taken is not computed";
    EXPECT_EQ(shown(evaluator.value(0, 9, 9)), "empty");
}

TEST(Evaluator, StoredResultsAreUsedWhileCurrentAndComputedOnesAreHandedBack) {
    GridSource grid;
    grid.number(0, "A1", 2);
    grid.storedFormula(0, "B1", "A1*10", 999); // current: the stored result stands
    grid.formula(0, "C1", "B1+1");
    grid.formula(0, "D1", "FOO(A1)");
    Evaluator evaluator(grid);
    EXPECT_EQ(shown(evaluator.value(0, 1, 3)), "n:1000");
    EXPECT_EQ(grid.stored(), 1u);
    auto reads = grid.reads();
    EXPECT_EQ(shown(evaluator.value(0, 1, 3)), "n:1000");
    EXPECT_EQ(grid.reads(), reads + 1) << "the kept result is read, nothing computed again";
    EXPECT_EQ(grid.stored(), 1u);

    EXPECT_FALSE(evaluator.value(0, 1, 4).computed);
    grid.formula(0, "D1", "ABS(A1)"); // the workbook changed
    EXPECT_FALSE(evaluator.value(0, 1, 4).computed) << "a failure is remembered";
    evaluator.forgetFailures();
    EXPECT_EQ(shown(evaluator.value(0, 1, 4)), "n:2");
}

TEST(Evaluator, LongChainsOfFormulasDoNotExhaustTheStack) {
    GridSource grid;
    const int rows = 60000;
    grid.number(0, "A1", 1);
    for (int r = 2; r <= rows; ++r)
        grid.formula(0, "A" + std::to_string(r), "A" + std::to_string(r - 1) + "+1");
    Evaluator evaluator(grid);
    EXPECT_EQ(shown(evaluator.value(0, rows, 1)), "n:" + std::to_string(rows));
}

TEST(Evaluator, FormulasThatCannotBeReadAreNotComputed) {
    GridSource grid;
    for (std::string bad : {"1+", "SUM(1,2", "(1))", "{1,2;3}", "\"open", "SUM()", "ROUND(1)"})
        EXPECT_EQ(evaluate(grid, bad), "?") << bad;
}

} // namespace
} // namespace evaltest
