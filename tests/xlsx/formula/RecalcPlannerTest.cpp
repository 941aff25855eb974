#include "formula/RecalcPlanner.h"

#include "formula/CellId.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace {

using xlsx::RecalcPlanner;

// Formulas by "sheet!row:column" as the planner reports them stale.
struct Recorder {
    std::multiset<std::string> stale;
    RecalcPlanner::OnStale marker() {
        return [this](int sheet, std::uint32_t row, std::uint32_t column) {
            stale.insert(std::to_string(sheet) + "!" + std::to_string(row) + ":" + std::to_string(column));
        };
    }
    std::multiset<std::string> take() { return std::exchange(stale, {}); }
};

RecalcPlanner stockPlanner() {
    RecalcPlanner planner({"Lager", "Oversikt"});
    planner.addDefinedName("Summen", -1, "Lager!$B$1");
    planner.addFormula(0, 1, 2, "SUM(A1:A5)"); // B1
    planner.addFormula(0, 1, 4, "B1*2");       // D1
    planner.addFormula(0, 1, 3, "2*3");        // C1
    planner.addFormula(0, 1, 5, "NOW()");      // E1
    planner.addFormula(1, 1, 1, "Summen+1");   // Oversikt A1
    planner.addFormula(1, 2, 1, "Lager!A9");   // Oversikt A2
    planner.index();
    return planner;
}

TEST(RecalcPlanner, AWriteMakesStaleWhatReadsItThroughFormulasNamesAndVolatiles) {
    auto planner = stockPlanner();
    Recorder recorder;
    planner.markWritten(0, {2, 2}, 1, recorder.marker());
    EXPECT_EQ(recorder.take(), (std::multiset<std::string>{"0!1:2", "0!1:4", "0!1:5", "1!1:1"}));
    EXPECT_TRUE(planner.stale(0, 1, 4));
    EXPECT_FALSE(planner.changed(0, 1, 3));
    EXPECT_FALSE(planner.changed(1, 2, 1));
    EXPECT_TRUE(planner.changesOn(1));
}

TEST(RecalcPlanner, AComputedResultStaysCurrentUntilWhatItReadsChangesAgain) {
    auto planner = stockPlanner();
    Recorder recorder;
    planner.markWritten(0, {2, 2}, 1, recorder.marker());
    recorder.take();
    // While B1 is stale, what reads it is too: a second write finds nothing new to report.
    planner.markComputed(0, 1, 5);
    planner.markWritten(0, {3, 3}, 1, recorder.marker());
    EXPECT_EQ(recorder.take(), (std::multiset<std::string>{"0!1:5"})) << "only the recomputed volatile";
    for (std::uint32_t column : {2u, 4u, 5u})
        planner.markComputed(0, 1, column);
    planner.markWritten(0, {4, 4}, 1, recorder.marker());
    EXPECT_EQ(recorder.take(), (std::multiset<std::string>{"0!1:2", "0!1:4", "0!1:5"}));
    EXPECT_TRUE(planner.changed(0, 1, 2)) << "changed since read, whatever was computed since";
}

TEST(RecalcPlanner, InsertedRowsReachTheRangesSpanningThemAndPositionalFormulas) {
    RecalcPlanner planner({"Lager"});
    planner.addFormula(0, 1, 2, "SUM(A1:A5)"); // B1
    planner.addFormula(0, 2, 2, "SUM(A3:A5)"); // B2
    planner.addFormula(0, 3, 2, "ROW()");      // B3
    planner.addFormula(0, 4, 2, "A2");         // B4
    planner.addFormula(0, 5, 2, "SUM(A:A)");   // B5
    planner.index();
    Recorder recorder;
    // A row between rows 2 and 3 as read: SUM(A3:A5) only moves, A2 stays.
    planner.markInsertedRow(0, {2, 3}, recorder.marker());
    EXPECT_EQ(recorder.take(), (std::multiset<std::string>{"0!1:2", "0!3:2", "0!5:2"}));
    for (auto [row, column] : {std::pair{1u, 2u}, {3u, 2u}, {5u, 2u}})
        planner.markComputed(0, row, column);
    // A value written into that inserted row is read only by the ranges around it.
    planner.markWritten(0, {2, 3}, 1, recorder.marker());
    EXPECT_EQ(recorder.take(), (std::multiset<std::string>{"0!1:2", "0!5:2"}));
}

// Table references cannot be traced to cells: a formula with one, or with a table's name alone, is
// stale after any change; a defined name is traced as before, a name that is neither reads nothing.
TEST(RecalcPlanner, TableReferencesAreStaleAfterAnyChange) {
    RecalcPlanner planner({"Lager"});
    planner.addDefinedName("Summen", -1, "Lager!$B$1");
    planner.addTableName("Tabell1");
    planner.addFormula(0, 1, 3, "SUM(Tabell1[Antall])"); // C1
    planner.addFormula(0, 2, 3, "ROWS(Tabell1)");        // C2
    planner.addFormula(0, 3, 3, "Summen*2");             // C3
    planner.addFormula(0, 4, 3, "TRUE");                 // C4
    planner.addFormula(0, 5, 3, "Ukjent+1");             // C5: #NAME? whatever changes
    planner.index();
    Recorder recorder;
    planner.markWritten(0, {50, 50}, 9, recorder.marker());
    EXPECT_EQ(recorder.take(), (std::multiset<std::string>{"0!1:3", "0!2:3"}));
}

} // namespace

namespace {

// A sheet parsed after the planner was made joins it: its formulas are found like the others, in
// row order or not, and start current.
TEST(RecalcPlanner, FormulasAddedAfterIndexingJoinTheIndex) {
    RecalcPlanner planner({"Lager", "Eget"});
    planner.addFormula(0, 1, 2, "SUM(A1:A5)");
    planner.index();
    planner.addFormula(1, 9, 2, "A9*2");
    planner.addFormula(1, 3, 2, "A3+A4");
    planner.addFormula(1, 4, 3, "B3*2");
    planner.index();
    EXPECT_FALSE(planner.stale(1, 3, 2));
    Recorder recorder;
    planner.markWritten(1, {4, 4}, 1, recorder.marker());
    EXPECT_EQ(recorder.take(), (std::multiset<std::string>{"1!3:2", "1!4:3"}));
    planner.markWritten(1, {9, 9}, 1, recorder.marker());
    EXPECT_EQ(recorder.take(), (std::multiset<std::string>{"1!9:2"}));
    planner.markWritten(0, {3, 3}, 1, recorder.marker());
    EXPECT_EQ(recorder.take(), (std::multiset<std::string>{"0!1:2"}));
}

} // namespace

namespace {

// The last column needs the fifteenth bit: packed in fourteen it ran into the next row's column 0.
TEST(CellId, EveryCellOfTheSheetHasAKeyOfItsOwn) {
    using xlsx::CellId;
    EXPECT_NE((CellId{0, 1, 16384}.key()), (CellId{0, 2, 0}.key()));
    for (CellId id : {CellId{0, 1, 1}, CellId{3, 1048576, 16384}, CellId{250, 77, 16383}})
        EXPECT_EQ(CellId::fromKey(id.key()), id);
}

} // namespace
