// Functions where the application's rules are easy to get wrong: rounding, criteria, SUBTOTAL over
// hidden rows, lookups, dates in both date systems, text in UTF-16 units, TEXT formats.

#include "EvalTestSupport.h"

#include <gtest/gtest.h>

namespace evaltest {
namespace {

TEST(Functions, RoundingAsTheNumbersAreWritten) {
    GridSource grid;
    expectAll(
        grid,
        {
            {"ROUND(1.005,2)", "n:1.01"}, // 1.00499999... as a double, 1.005 as written
            {"ROUND(2.5,0)", "n:3"},         {"ROUND(-2.5,0)", "n:-3"},      {"ROUND(1234.5,-2)", "n:1200"},
            {"ROUNDUP(0.1+0.2,1)", "n:0.3"}, {"ROUNDUP(-1.21,1)", "n:-1.3"}, {"ROUNDDOWN(-1.29,1)", "n:-1.2"},
            {"TRUNC(-2.7)", "n:-2"},         {"INT(-2.5)", "n:-3"},          {"MOD(-3,2)", "n:1"},
            {"MOD(3,-2)", "n:-1"},           {"MOD(0.3,0.1)", "n:0"},        {"MOD(1,0)", "e:#DIV/0!"},
            {"CEILING(-2.5,2)", "n:-2"},     {"CEILING(-2.5,-2)", "n:-4"},   {"CEILING(2.5,-2)", "e:#NUM!"},
            {"FLOOR(-2.5,2)", "n:-4"},       {"FLOOR(2.5,0)", "e:#DIV/0!"},  {"SQRT(-1)", "e:#NUM!"},
            {"POWER(2,0.5)^2", "n:2"},       {"SIGN(-0.001)", "n:-1"},
        });
}

TEST(Functions, AggregatesTakeNumbersOfRangesAndArgumentsDifferently) {
    GridSource grid;
    grid.number(0, "A1", 1);
    grid.text(0, "A2", "2");
    grid.boolean(0, "A3", true);
    grid.number(0, "A4", 4);
    grid.error(0, "A5", "#DIV/0!");
    expectAll(grid, {
                        {"SUM(A1:A4)", "n:5"},            // text and boolean in a range are left out
                        {"SUM(A1:A4,\"2\",TRUE)", "n:8"}, // given directly they count
                        {"SUM(A1,\"x\")", "e:#VALUE!"},
                        {"SUM(A1:A5)", "e:#DIV/0!"},
                        {"SUM(0.1,0.2,-0.3)", "n:5.55111512312578e-17"}, // added in order, unlike 0.1+0.2-0.3
                        {"COUNT(A1:A5)", "n:2"},
                        {"COUNT(A1:A4,\"3\",\"x\",1,)", "n:5"},
                        {"COUNTA(A1:A5,B1:B9)", "n:5"},
                        {"COUNTBLANK(A1:A9)", "n:4"},
                        {"AVERAGE(A1:A4)", "n:2.5"},
                        {"AVERAGE(B1:B9)", "e:#DIV/0!"},
                        {"MAX(B1:B9)", "n:0"},
                        {"MIN(A1:A4,-1)", "n:-1"},
                        {"PRODUCT(A1:A4)", "n:4"},
                        {"SUMPRODUCT(A1:A4,A1:A4)", "n:17"},
                        {"SUMPRODUCT(A1:A4,B1:B3)", "e:#VALUE!"},
                    });
}

TEST(Functions, CriteriaReadAsTheApplicationReadsThem) {
    GridSource grid;
    grid.number(0, "A1", 5);
    grid.number(0, "A2", 10);
    grid.number(0, "A3", 15);
    grid.text(0, "A4", "10"); // a number stored as text
    grid.text(0, "A5", "Bolt M10");
    grid.text(0, "A6", "bjelke");
    grid.text(0, "A7", "*");
    grid.boolean(0, "A8", true);
    grid.text(0, "A9", "");
    for (int r = 1; r <= 10; ++r)
        grid.number(0, "B" + std::to_string(r), r);
    expectAll(grid, {
                        {"COUNTIF(A1:A10,\">=10\")", "n:2"},
                        {"COUNTIF(A1:A10,10)", "n:2"},       // matches the text "10" too
                        {"COUNTIF(A1:A10,\"<>10\")", "n:9"}, // but "10" is not 10 here
                        {"COUNTIF(A1:A10,\"b*\")", "n:2"},
                        {"COUNTIF(A1:A10,\"?jelke\")", "n:1"},
                        {"COUNTIF(A1:A10,\"~*\")", "n:1"},
                        {"COUNTIF(A1:A10,\"*\")", "n:5"}, // any text, "" included
                        {"COUNTIF(A1:A10,TRUE)", "n:1"},
                        {"COUNTIF(A1:A10,\"\")", "n:2"},  // empty cells and ""
                        {"COUNTIF(A1:A10,\"=\")", "n:1"}, // empty cells only
                        {"COUNTIF(A1:A10,\"<>\")", "n:9"},
                        {"COUNTIF(A1:A10,C1)", "n:0"}, // an empty criterion counts as 0
                        {"COUNTIF(A:A,\"\")", "n:1048568"},
                        {"COUNTIF(A5:A6,\">b\")", "n:2"},
                        {"COUNTIF(A1:A10,\">b\")", "?"}, // where "*" goes depends on the collation
                        {"COUNTIF(A1:A10,\"12,5\")", "?"},
                        {"SUMIF(A1:A10,\">5\",B1:B10)", "n:5"},
                        {"SUMIF(A1:A10,\">5\",B1)", "n:5"}, // the sum range takes the criteria's shape
                        {"SUMIF(A1:A3,\">5\")", "n:25"},
                        {"SUMIFS(B1:B10,A1:A10,\">=5\",B1:B10,\"<3\")", "n:3"},
                        {"SUMIFS(B1:B10,A1:A10,\">=5\",B1:B9,\"<3\")", "e:#VALUE!"},
                        {"COUNTIFS(A1:A10,\"\",B1:B10,\">9\")", "n:1"},
                        {"AVERAGEIF(A1:A10,\">=10\",B1:B10)", "n:2.5"},
                        {"AVERAGEIF(A1:A10,\">99\")", "e:#DIV/0!"},
                        {"AVERAGEIFS(B1:B10,A1:A10,\"<>\")", "n:5"},
                        {"MINIFS(B1:B10,A1:A10,\"b*\")", "n:5"},
                        {"MAXIFS(B1:B10,A1:A10,\"x\")", "n:0"},
                    });
}

TEST(Functions, SubtotalLeavesOutHiddenRowsAndOtherSubtotals) {
    GridSource grid;
    for (int r = 1; r <= 5; ++r)
        grid.number(0, "A" + std::to_string(r), r);
    grid.formula(0, "A6", "SUBTOTAL(9,A1:A5)");
    grid.rowState(0, 2, xlsx::eval::RowState::Hidden);
    grid.rowState(0, 3, xlsx::eval::RowState::FilteredOut);
    expectAll(grid, {
                        {"SUBTOTAL(9,A1:A6)", "n:12"}, // hidden by the user: counted; filtered: not
                        {"SUBTOTAL(109,A1:A6)", "n:10"},
                        {"SUM(A1:A6)", "n:27"},
                        {"SUBTOTAL(2,A1:A6)", "n:4"},
                        {"SUBTOTAL(1,A1:A5)", "n:3"},
                        {"SUBTOTAL(4,A1:A5)", "n:5"},
                        {"SUBTOTAL(10,A1:A5)", "n:3.33333333333333"},
                        {"SUBTOTAL(12,A1:A5)", "e:#VALUE!"},
                        {"SUBTOTAL(9,{1,2})", "e:#VALUE!"},
                    });
}

TEST(Functions, Lookups) {
    GridSource grid;
    const char* keys[] = {"Bjelke", "HEA", "IPE", "Rør"};
    for (int r = 1; r <= 4; ++r) {
        grid.text(0, "A" + std::to_string(r), keys[r - 1]);
        grid.number(0, "B" + std::to_string(r), r * 100);
        grid.number(0, "D" + std::to_string(r), r * 10); // sorted numbers
    }
    grid.number(0, "E1", 30);
    grid.number(0, "E2", 10);
    grid.number(0, "E3", 20); // not sorted
    expectAll(grid, {
                        {"VLOOKUP(\"hea\",A1:B4,2,FALSE)", "n:200"},
                        {"VLOOKUP(\"I*\",A:B,2,FALSE)", "n:300"},
                        {"VLOOKUP(\"X\",A1:B4,2,FALSE)", "e:#N/A"},
                        {"VLOOKUP(\"HEA\",A1:B4,3,FALSE)", "e:#REF!"},
                        {"VLOOKUP(\"HEA\",A1:B4,0,FALSE)", "e:#VALUE!"},
                        {"VLOOKUP(25,D1:D4,1)", "n:20"},
                        {"VLOOKUP(5,D1:D4,1)", "e:#N/A"},
                        {"VLOOKUP(25,E1:E3,1)", "?"}, // unsorted data and an approximate match
                        {"HLOOKUP(2,{1,2,3;\"a\",\"b\",\"c\"},2,FALSE)", "s:b"},
                        {"MATCH(30,D1:D4,0)", "n:3"},
                        {"MATCH(35,D:D)", "n:3"},
                        {"MATCH(35,{40,30,20,10},-1)", "n:1"},
                        {"MATCH(\"ipe\",A1:A4,0)", "n:3"},
                        {"MATCH(1,A1:B2,0)", "e:#N/A"},
                        {"INDEX(B1:B4,3)", "n:300"},
                        {"INDEX(A1:B4,2,2)", "n:200"},
                        {"INDEX({1,2,3},2)", "n:2"},
                        {"SUM(INDEX(A1:B4,0,2))", "n:1000"},
                        {"INDEX(A1:B4,5,1)", "e:#REF!"},
                        {"LOOKUP(25,D1:D4,B1:B4)", "n:200"},
                        {"LOOKUP(25,D1:E4)", "n:10"},
                        {"XLOOKUP(\"ipe\",A1:A4,B1:B4)", "n:300"},
                        {"XLOOKUP(\"x\",A1:A4,B1:B4,\"ingen\")", "s:ingen"},
                        {"XLOOKUP(25,D1:D4,B1:B4,,-1)", "n:200"},
                        {"XLOOKUP(25,D1:D4,B1:B4,,1)", "n:300"},
                        {"XLOOKUP(15,E1:E3,B1:B3,,1)", "n:300"},
                        {"XLOOKUP(\"R?r\",A1:A4,B1:B4,,2)", "n:400"},
                        {"XLOOKUP(20,D1:D4,B1:B4,,0,-1)", "n:200"},
                        {"OFFSET(A1,1,1)", "n:200"},
                        {"SUM(OFFSET(B1,1,0,3,1))", "n:900"},
                        {"OFFSET(A1,-1,0)", "e:#REF!"},
                        {"INDIRECT(\"B\"&2)", "n:200"},
                        {"INDIRECT(\"R3C2\",FALSE)", "n:300"},
                        {"SUM(INDIRECT(\"B1:B4\"))", "n:1000"},
                        {"INDIRECT(\"ikke en ref\")", "e:#REF!"},
                        {"ROWS(A1:B4)*COLUMNS(A1:B4)", "n:8"},
                        {"ROW(B7)+COLUMN(C1)", "n:10"},
                        {"ROW()", "n:1"},
                        {"CHOOSE(2,\"a\",\"b\")", "s:b"},
                        {"CHOOSE(3,\"a\",\"b\")", "e:#VALUE!"},
                        {"SWITCH(2,1,\"en\",2,\"to\",\"annet\")", "s:to"},
                        {"SWITCH(9,1,\"en\")", "e:#N/A"},
                    });
}

TEST(Functions, DatesInBothDateSystems) {
    GridSource grid;
    expectAll(grid, {
                        {"DATE(1900,2,29)", "n:60"}, // the leap day the application counts
                        {"DATE(1900,3,1)", "n:61"},
                        {"DATE(2024,1,31)", "n:45322"},
                        {"DATE(2024,14,1)", "n:45689"},
                        {"DATE(24,1,1)", "n:8767"},
                        {"DATE(-1,1,1)", "e:#NUM!"},
                        {"YEAR(0)&\"-\"&MONTH(0)&\"-\"&DAY(0)", "s:1900-1-0"},
                        {"DAY(60)", "n:29"},
                        {"MONTH(\"2024-05-17\")", "n:5"},
                        {"YEAR(-1)", "e:#NUM!"},
                        {"EDATE(DATE(2024,1,31),1)", "n:45351"}, // 2024-02-29
                        {"EOMONTH(DATE(2023,1,15),1)", "n:44985"},
                        {"WEEKDAY(DATE(2024,5,17))", "n:6"}, // a Friday
                        {"WEEKDAY(DATE(2024,5,17),2)", "n:5"},
                        {"WEEKDAY(DATE(2024,5,17),3)", "n:4"},
                        {"WEEKDAY(1)", "n:1"},
                        {"TIME(25,0,0)", "n:0.0416666666666667"},
                        {"HOUR(0.99999999)", "n:0"},
                        {"MINUTE(TIME(13,45,59.6))", "n:45"},
                        {"SECOND(\"12:00:59.6\")", "n:0"},
                    });
    GridSource mac;
    mac.setDate1904(true);
    expectAll(mac, {
                       {"DATE(1904,1,1)", "n:0"},
                       {"DATE(2024,1,31)", "n:43860"},
                       {"YEAR(0)", "n:1904"},
                       {"WEEKDAY(0)", "n:6"},
                       {"DATE(1903,12,31)", "e:#NUM!"},
                   });
}

TEST(Functions, TextCountsUtf16UnitsAndFoldsCaseBeyondAscii) {
    GridSource grid;
    expectAll(grid, {
                        {"LEN(\"Ærøskøbing\")", "n:10"},
                        {"LEN(\"a😀b\")", "n:4"},
                        {"MID(\"Ærøskøbing\",2,3)", "s:røs"},
                        {"LEFT(\"Ørn\",1)&RIGHT(\"Ørn\",2)", "s:Ørn"},
                        {"UPPER(\"blå ærfugl\")", "s:BLÅ ÆRFUGL"},
                        {"PROPER(\"o'neil og ÅSE\")", "s:O'Neil Og Åse"},
                        {"TRIM(\"  a   b  \")", "s:a b"},
                        {"SUBSTITUTE(\"a-b-c\",\"-\",\"+\",2)", "s:a-b+c"},
                        {"REPLACE(\"abcdef\",2,3,\"X\")", "s:aXef"},
                        {"FIND(\"B\",\"abcB\")", "n:4"},
                        {"SEARCH(\"b?d\",\"ABCBED\")", "n:4"},
                        {"SEARCH(\"x\",\"abc\")", "e:#VALUE!"},
                        {"REPT(\"ab\",3)", "s:ababab"},
                        {"REPT(\"a\",40000)", "e:#VALUE!"},
                        {"EXACT(\"a\",\"A\")", "b:0"},
                        {"VALUE(\"12\")+1", "n:13"},
                        {"VALUE(\"x\")", "e:#VALUE!"},
                        {"TEXTJOIN(\", \",TRUE,\"a\",\"\",\"b\")", "s:a, b"},
                        {"CONCAT(\"a\",1,TRUE)", "s:a1TRUE"},
                        {"CONCATENATE(\"a\",2)", "s:a2"},
                        {"T(1)&N(\"x\")&N(TRUE)", "s:01"},
                    });
}

TEST(Functions, TextFormats) {
    GridSource grid;
    expectAll(grid, {
                        {"TEXT(1234.567,\"0.00\")", "s:1234.57"},
                        {"TEXT(1234.567,\"#,##0.00\")", "s:1,234.57"},
                        {"TEXT(1234567,\"#,##0\")", "s:1,234,567"},
                        {"TEXT(-1234.5,\"#,##0\")", "s:-1,235"},
                        {"TEXT(0.256,\"0.0%\")", "s:25.6%"},
                        {"TEXT(42,\"00000\")", "s:00042"},
                        {"TEXT(0.5,\"#.##\")", "s:.5"},
                        {"TEXT(12345.678,\"0.00E+00\")", "s:1.23E+04"},
                        {"TEXT(1234567,\"#,##0,\")", "s:1,235"},
                        {"TEXT(-5,\"0;(0)\")", "s:(5)"},
                        {"TEXT(0,\"0;-0;\"\"zero\"\"\")", "s:zero"},
                        {"TEXT(DATE(2024,5,7),\"yyyy-mm-dd\")", "s:2024-05-07"},
                        {"TEXT(DATE(2024,5,7),\"dd.mm.yy\")", "s:07.05.24"},
                        {"TEXT(DATE(2024,5,7),\"d mmm yyyy\")", "s:7 May 2024"},
                        {"TEXT(DATE(2024,5,7),\"dddd\")", "s:Tuesday"},
                        {"TEXT(TIME(13,5,9),\"hh:mm:ss\")", "s:13:05:09"},
                        {"TEXT(TIME(13,5,9),\"h:mm AM/PM\")", "s:1:05 PM"},
                        {"TEXT(1.5,\"[h]:mm\")", "s:36:00"},
                        {"TEXT(\"abc\",\"0.00\")", "s:abc"},
                        {"TEXT(\"12\",\"0.0\")", "s:12.0"},
                        {"TEXT(3.14159,\"General\")", "s:3.14159"},
                        {"TEXT(1,\"# ?/?\")", "?"},
                        {"TEXT(-1,\"yyyy\")", "e:#VALUE!"},
                    });
}

TEST(Functions, LogicalFunctions) {
    GridSource grid;
    grid.number(0, "A1", 1);
    grid.text(0, "A2", "x");
    grid.boolean(0, "A3", false);
    expectAll(grid, {
                        {"IF(A1,\"ja\",\"nei\")", "s:ja"},
                        {"IF(A3,1)", "b:0"},
                        {"IF(A3,1,)", "n:0"},
                        {"IF(\"x\",1,2)", "e:#VALUE!"},
                        {"IFS(A1>1,\"a\",A1=1,\"b\")", "s:b"},
                        {"IFS(FALSE,1)", "e:#N/A"},
                        {"IFERROR(1/0,\"feil\")", "s:feil"},
                        {"IFNA(1/0,0)", "e:#DIV/0!"},
                        {"IFNA(NA(),0)", "n:0"},
                        {"AND(A1:A3)", "b:0"}, // the text in the range is left out
                        {"OR(A1:A3)", "b:1"},
                        {"AND(A2)", "e:#VALUE!"}, // nothing to go on
                        {"AND(\"x\")", "e:#VALUE!"},
                        {"XOR(TRUE,TRUE,TRUE)", "b:1"},
                        {"NOT(0)", "b:1"},
                        {"TRUE()+FALSE()", "n:1"},
                        {"ISBLANK(B1)", "b:1"},
                        {"ISBLANK(\"\")", "b:0"},
                        {"ISERR(NA())", "b:0"},
                        {"ISERROR(NA())", "b:1"},
                        {"ISNA(#N/A)", "b:1"},
                        {"ISNUMBER(A1)+ISTEXT(A2)+ISLOGICAL(A3)", "n:3"},
                    });
}

} // namespace
} // namespace evaltest
