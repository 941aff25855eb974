// Table references on an in-memory grid: the parts of a table each special item chooses, columns and
// column ranges by name, the row a formula stands in, escaped names, and what is refused.

#include "EvalTestSupport.h"
#include "eval/StructuredReference.h"

#include <gtest/gtest.h>

namespace evaltest {
namespace {

// Lager: B2:E7, header row 2, data rows 3-6, totals row 7. Columns Vare, Antall, Pris [kr], Sum (empty).
GridSource stockTable(std::uint32_t totalsRows = 1) {
    GridSource grid({"Ark1", "Ark2"});
    grid.text(0, "B2", "Vare");
    grid.text(0, "C2", "Antall");
    grid.text(0, "D2", "Pris [kr]");
    grid.text(0, "E2", "Sum");
    const char* names[] = {"HEA", "IPE", "UNP", "HEB"};
    for (int i = 0; i < 4; ++i) {
        auto row = std::to_string(3 + i);
        grid.text(0, "B" + row, names[i]);
        grid.number(0, "C" + row, 10 * (i + 1));
        grid.number(0, "D" + row, 1.5 * (i + 1));
    }
    grid.text(0, "B7", "Sum");
    grid.number(0, "C7", 999);
    grid.table(0, "Lager", totalsRows ? "B2:E7" : "B2:E6", {"Vare", "Antall", "Pris [kr]", "Sum"}, 1,
               totalsRows);
    return grid;
}

TEST(TableReferences, SpecialItemsChooseTheRows) {
    GridSource grid = stockTable();
    expectAll(grid, {
                        {"SUM(Lager[Antall])", "n:100"},
                        {"SUM(Lager[[#Data],[Antall]])", "n:100"},
                        {"SUM(Lager[[#All],[Antall]])", "n:1099"},
                        {"SUM(Lager[[#Data],[#Totals],[Antall]])", "n:1099"},
                        {"Lager[[#Totals],[Antall]]", "n:999"},
                        {"Lager[[#Headers],[Antall]]", "s:Antall"},
                        {"COUNTA(Lager[[#Headers],[#Data],[Vare]])", "n:5"},
                        {"ROWS(Lager[#All])", "n:6"},
                        {"COLUMNS(Lager[#Headers])", "n:4"},
                        {"ROWS(Lager)", "n:4"}, // the name alone: the data rows
                        {"ROWS(Lager[])", "n:4"},
                        {"SUM(lager[ANTALL])", "n:100"}, // names without regard to case
                        {"SUM(INDIRECT(\"Lager[\"&B2&\"]\"))", "n:0"},
                        {"SUM(INDIRECT(\"Lager[\"&C2&\"]\"))", "n:100"},
                    });
}

TEST(TableReferences, ColumnRangesAndEscapedNames) {
    GridSource grid = stockTable();
    expectAll(grid, {
                        {"SUM(Lager[[Antall]:[Pris '[kr']]])", "n:115"},
                        {"SUM(Lager[[Pris '[kr']]:[Antall]])", "n:115"},
                        {"COLUMN(Lager[[Vare]:[Antall]])", "n:2"},
                        {"SUM(Lager[[#Totals],[Vare]:[Antall]])", "n:999"},
                        {"SUM(Lager[Pris '[kr']])", "n:15"},
                        {"Lager[[#Headers],[Pris '[kr']]]", "s:Pris [kr]"},
                        {"SUM(Lager[Finnes ikke])", "e:#REF!"},
                    });
}

TEST(TableReferences, ThisRowIsTheFormulasRowAmongTheDataRows) {
    GridSource grid = stockTable();
    // Inside the table, as a calculated column, and beside it on the same rows.
    EXPECT_EQ(evaluate(grid, "[@Antall]*[@[Pris '[kr']]]", "E4"), "n:60");
    EXPECT_EQ(evaluate(grid, "Lager[[#This Row],[Antall]]", "E5"), "n:30");
    EXPECT_EQ(evaluate(grid, "Lager[@Vare]", "H6"), "s:HEB");
    EXPECT_EQ(evaluate(grid, "SUM(Lager[@])", "H6"), "n:46");
    EXPECT_EQ(evaluate(grid, "SUM(Lager[@[Antall]:[Pris '[kr']]])", "H3"), "n:11.5");
    // From another sheet the row is still the formula's own.
    EXPECT_EQ(evaluate(grid, "Lager[@Antall]", "A4", 1), "n:20");
    // Outside the data rows: the header, the totals row, below the table.
    EXPECT_EQ(evaluate(grid, "Lager[@Antall]", "H2"), "e:#VALUE!");
    EXPECT_EQ(evaluate(grid, "Lager[@Antall]", "H7"), "e:#VALUE!");
    EXPECT_EQ(evaluate(grid, "Lager[@Antall]", "H20"), "e:#VALUE!");
    // The totals row's own formula names no table.
    EXPECT_EQ(evaluate(grid, "SUBTOTAL(109,[Antall])", "C7"), "n:100");
}

TEST(TableReferences, MissingPartsAndTablesAreNotGuessed) {
    GridSource noTotals = stockTable(0);
    expectAll(noTotals, {
                            {"Lager[[#Totals],[Antall]]", "e:#REF!"},
                            {"SUM(Lager[[#All],[Antall]])", "n:100"}, // #All without a totals row
                            {"SUM(Lager[[#Data],[#Totals],[Antall]])", "n:100"},
                        });
    GridSource grid = stockTable();
    EXPECT_EQ(evaluate(grid, "SUM(Annen[Antall])"), "?");
    EXPECT_EQ(evaluate(grid, "[@Antall]", "H20"), "?");                 // no table around the cell
    EXPECT_EQ(evaluate(grid, "SUM(Lager[[#Totals],[#Headers]])"), "?"); // not a combination there is
    EXPECT_EQ(evaluate(grid, "SUM(Lager[[Vare],[Antall]])"), "?");      // two columns need ':'
}

TEST(TableReferences, GrammarOfTheReferenceText) {
    using xlsx::eval::parseStructuredReference;
    using xlsx::eval::StructuredReference;
    auto ref = parseStructuredReference("T[ [#This Row] , [A]:[B''C] ]");
    ASSERT_TRUE(ref);
    EXPECT_EQ(ref->table, "T");
    EXPECT_EQ(ref->items, StructuredReference::ThisRow);
    EXPECT_EQ(ref->firstColumn, "A");
    EXPECT_EQ(ref->lastColumn, "B'C");
    ref = parseStructuredReference("[@'#Nr]");
    ASSERT_TRUE(ref);
    EXPECT_TRUE(ref->table.empty());
    EXPECT_EQ(ref->firstColumn, "#Nr");
    ref = parseStructuredReference("T[#all]");
    ASSERT_TRUE(ref);
    EXPECT_EQ(ref->items,
              StructuredReference::Headers | StructuredReference::Data | StructuredReference::Totals);
    for (const char* bad : {"T[[A]:]", "T[[#Data],[#Data]]", "T[#Rows]", "T[[A]]x", "T[[A]:[B]:[C]]"})
        EXPECT_FALSE(parseStructuredReference(bad)) << bad;
}

} // namespace
} // namespace evaltest
