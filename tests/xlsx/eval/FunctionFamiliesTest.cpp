// The statistical, trigonometric, date-span, information and reference functions where the
// LibreOffice comparison cannot speak for the application: ties and refusals, the 1904 date system,
// references rather than values, characters beyond ASCII.

#include "EvalTestSupport.h"

#include <gtest/gtest.h>

namespace evaltest {
namespace {

TEST(FunctionFamilies, StatisticsOfTiesAndOfNothing) {
    GridSource grid;
    const double values[] = {5, 3, 5, 1, 3, 8};
    for (int i = 0; i < 6; ++i)
        grid.number(0, "A" + std::to_string(i + 1), values[i]);
    grid.text(0, "A7", "9"); // a number as text in a range is left out
    grid.boolean(0, "A8", true);
    expectAll(grid, {
                        {"MEDIAN(A1:A8)", "n:4"},
                        {"MODE(A1:A8)", "n:5"}, // 5 and 3 twice each: the first met wins
                        {"MODE(A2:A8)", "n:3"},
                        {"RANK(5,A1:A8)", "n:2"},
                        {"RANK.AVG(5,A1:A8)", "n:2.5"},
                        {"RANK.EQ(3,A1:A8,1)", "n:2"},
                        {"RANK(4,A1:A8)", "e:#N/A"},
                        {"RANK(5,{5,3})", "e:#VALUE!"}, // the list must be cells
                        {"LARGE(A1:A8,2)", "n:5"},
                        {"SMALL(A1:A8,6)", "n:8"},
                        {"SMALL(A1:A8,7)", "e:#NUM!"},
                        {"LARGE(A1:A8,1.5)", "?"}, // first or second: not guessed
                        {"PERCENTILE.INC(A1:A6,0.3)", "n:3"},
                        {"PERCENTILE.EXC(A1:A6,0.2)", "n:1.8"},
                        {"PERCENTILE.EXC(A1:A6,0.1)", "e:#NUM!"},
                        {"QUARTILE(A1:A6,3)", "n:5"},
                        {"QUARTILE.EXC(A1:A6,4)", "e:#NUM!"},
                        {"VAR.S(A1:A8)", "n:5.76666666666667"},
                        {"STDEV.P(5)", "n:0"},
                        {"STDEV.S(5)", "e:#DIV/0!"},
                        {"AVERAGEA(A1:A8)", "n:3.25"}, // the text as 0, TRUE as 1
                        {"MAXA(A7:A8)", "n:1"},
                        {"GEOMEAN(A1:A6,0)", "e:#NUM!"},
                        {"HARMEAN(2,6)", "n:3"},
                        {"MEDIAN(B1:B5)", "e:#NUM!"},
                        {"MODE(1,2,3)", "e:#N/A"},
                        {"GCD(24,36,-1)", "e:#NUM!"},
                        {"LCM(4,6,10)", "n:60"},
                    });
}

TEST(FunctionFamilies, AnglesLogarithmsAndWholeNumbers) {
    GridSource grid;
    expectAll(grid, {
                        {"DEGREES(ATAN2(1,1))", "n:45"},
                        {"ATAN2(-1,0)", "n:3.14159265358979"}, // x first, then y
                        {"SIN(2^27)", "e:#NUM!"},
                        {"COT(0)", "e:#DIV/0!"},
                        {"ACOTH(1)", "e:#NUM!"},
                        {"LOG(1000)", "n:3"},
                        {"LOG(8,2)", "n:3"},
                        {"LOG(8,1)", "e:#DIV/0!"},
                        {"LN(0)", "e:#NUM!"},
                        {"EVEN(-1.5)", "n:-2"},
                        {"ODD(0)", "n:1"},
                        {"ODD(2)", "n:3"},
                        {"FACT(5.9)", "n:120"},
                        {"FACTDOUBLE(7)", "n:105"},
                        {"COMBIN(49,6)", "n:13983816"},
                        {"COMBINA(3,2)", "n:6"},
                        {"PERMUT(5,2)", "n:20"},
                        {"QUOTIENT(-7,2)", "n:-3"},
                        {"MROUND(1.3,0.2)", "n:1.4"},
                        {"CEILING.MATH(-2.5,2)", "n:-2"},
                        {"CEILING.MATH(-2.5,2,1)", "n:-4"},
                        {"FLOOR.MATH(-2.5,2,1)", "n:-2"},
                        {"FLOOR.PRECISE(-2.5,-2)", "n:-4"},
                        {"ISO.CEILING(2.1,-1)", "n:3"},
                    });
}

TEST(FunctionFamilies, DateSpansInBothDateSystems) {
    for (bool date1904 : {false, true}) {
        GridSource grid;
        grid.setDate1904(date1904);
        grid.formula(0, "A1", "DATE(2024,1,31)");
        grid.formula(0, "A2", "DATE(2024,3,1)");
        grid.formula(0, "A3", "DATE(2024,2,29)");
        grid.formula(0, "A4", "DATE(2024,12,30)");
        SCOPED_TRACE(date1904 ? "1904" : "1900");
        expectAll(grid, {
                            {"DAYS(A2,A1)", "n:30"},
                            {"DAYS360(A1,A2)", "n:31"},
                            {"DAYS360(A1,A2,TRUE)", "n:31"},
                            {"DATEDIF(A1,A2,\"M\")", "n:1"},
                            {"DATEDIF(A1,A2,\"YD\")", "n:30"},
                            {"DATEDIF(A2,A1,\"D\")", "e:#NUM!"},
                            {"DATEDIF(A1,A2,\"W\")", "e:#NUM!"},
                            {"YEARFRAC(A1,A3,1)", "n:0.0792349726775956"},
                            {"WEEKNUM(A4,21)", "n:1"}, // ISO: the week of 2 January 2025
                            {"ISOWEEKNUM(A1)", "n:5"},
                            {"WEEKNUM(A1,2)", "n:5"},
                            {"NETWORKDAYS(A1,A2)", "n:23"},
                            {"NETWORKDAYS(A1,A2,{45337,45337,45338})", date1904 ? "n:23" : "n:21"},
                            {"NETWORKDAYS(A2,A1)", "n:-23"},
                            {"WORKDAY(A3,1)-A3", "n:1"},
                            {"WORKDAY(A2,-1)-A2", "n:-1"}, // Friday to Thursday
                            {"WORKDAY(A1,3)-A1", "n:5"},   // over a weekend
                        });
    }
}

TEST(FunctionFamilies, DatesAndNumbersReadFromTextOnlyWhereNoLanguageDecides) {
    for (bool date1904 : {false, true}) {
        GridSource grid;
        grid.setDate1904(date1904);
        SCOPED_TRACE(date1904 ? "1904" : "1900");
        expectAll(grid, {
                            {"DATEVALUE(\"2024-01-31\")=DATE(2024,1,31)", "b:1"},
                            {"TIMEVALUE(\"2024-01-31 18:00\")", "n:0.75"},
                            {"DATEVALUE(\"31.01.2024\")", "?"}, // day first or month first: the settings say
                            {"DATEVALUE(\"31 jan 2024\")", "?"},
                            {"DATEVALUE(\"ingen dato\")", "e:#VALUE!"},
                            {"DATEVALUE(45322)", "e:#VALUE!"},
                            {"NUMBERVALUE(\"1 234,5\",\",\",\" \")", "n:1234.5"},
                            {"NUMBERVALUE(\"1,5\")", "?"}, // the settings' separators
                            {"NUMBERVALUE(\"1.000.000\",\",\",\".\")", "n:1000000"},
                            {"NUMBERVALUE(\"1,000.5\",\",\",\".\")", "e:#VALUE!"},
                        });
    }
}

TEST(FunctionFamilies, InformationAboutReferencesAndSheets) {
    GridSource grid({"Ark1", "Mitt ark", "Ark3"});
    grid.number(0, "A1", 4);
    grid.number(1, "A1", 4);
    grid.storedFormula(0, "B1", "A1*2", 8);
    grid.text(0, "A2", "x");
    grid.error(0, "A3", "#REF!");
    expectAll(grid, {
                        {"ISREF(A1)", "b:1"},
                        {"ISREF(A1:B2)", "b:1"},
                        {"ISREF(4)", "b:0"},
                        {"TYPE(A1)", "n:1"},
                        {"TYPE(A2)", "n:2"},
                        {"TYPE(A3)", "n:16"},
                        {"TYPE(B9)", "n:1"},
                        {"TYPE({1,2})", "n:64"},
                        {"ERROR.TYPE(A3)", "n:4"},
                        {"ERROR.TYPE(A1)", "e:#N/A"},
                        {"ISEVEN(A1)", "b:1"},
                        {"ISODD(-3.9)", "b:1"},
                        {"ISODD(A2)", "e:#VALUE!"},
                        {"SHEET()", "n:1"},
                        {"SHEET('Mitt ark'!A1)", "n:2"},
                        {"SHEET(\"ark3\")", "n:3"},
                        {"SHEETS()", "n:3"},
                        {"SHEETS(Ark1:Ark3!A1)", "n:3"},
                        {"AREAS((A1,B2:C3,D4))", "n:3"},
                        {"ISFORMULA(B1)", "b:1"},
                        {"ISFORMULA(A1)", "b:0"},
                        {"HYPERLINK(\"https://example.com\",A1)", "n:4"},
                        {"ADDRESS(3,28)", "s:$AB$3"},
                        {"ADDRESS(3,28,3,TRUE,\"Mitt ark\")", "s:'Mitt ark'!$AB3"},
                        {"ADDRESS(3,28,1,TRUE,\"Lager_2\")", "s:Lager_2!$AB$3"},
                        {"ADDRESS(3,28,1,TRUE,\"Ark1\")", "?"}, // reads as a cell: quoted or not
                        {"ADDRESS(3,28,1,TRUE,\"R1C1\")", "?"},
                        {"ADDRESS(3,28,4,FALSE)", "s:R[3]C[28]"},
                        {"ADDRESS(0,1)", "e:#VALUE!"},
                        {"INDIRECT(ADDRESS(1,1,1,TRUE,\"Mitt ark\"))", "n:4"},
                    });
}

TEST(FunctionFamilies, CharactersOutsideAsciiDependOnTheCodePage) {
    GridSource grid;
    expectAll(grid, {
                        {"CHAR(65)&CHAR(97)", "s:Aa"},
                        {"CHAR(200)", "?"}, // the system's code page
                        {"CODE(\"Ærø\")", "?"},
                        {"CODE(\"Bolt\")", "n:66"},
                        {"UNICODE(\"Ærø\")", "n:198"},
                        {"UNICHAR(248)", "s:ø"},
                        {"UNICHAR(55296)", "e:#N/A"}, // a lone surrogate
                        {"CLEAN(\"a\"&CHAR(7)&\"b\")", "s:ab"},
                        {"FIXED(-1234567.891)", "s:-1,234,567.89"},
                        {"FIXED(1234.5,-2,TRUE)", "s:1200"},
                        {"FIXED(0.5,0)", "s:1"},
                    });
}

} // namespace
} // namespace evaltest
