#include "BookingHarness.h"

namespace stocktest {
namespace {

using sheets::CopyOrigin;
using Insertions = std::vector<FakeSheet::Insertion>;

// A sheet with two dimensions: 1 Produkt, 2 Grade, 3 H, 4 B, 5 surface, 7 length, 8 quantity,
// 12 project, 17 note.
class StockLineMerge : public BookingTest {
public:
    StockLineMerge() : hea(addStockSheet(inventory, "HEA", 2)) {}

    void stock(std::initializer_list<StockRow> rows) {
        int row = 3;
        for (const auto& r : rows)
            putStockLine(hea, row++, 2, r);
    }
    void standardStock() {
        stock({{"HEA", "S235", 100, 100, "", "Blank", 6, 10, "P1", ""},
               {"HEA", "S235", 200, 100, "", "Blank", 6, 12, "P1", ""},
               {"HEA", "S235", 200, 200, "", "Blank", 6, 30, "P1", ""},
               {"HEA", "S235", 200, 200, "", "Galv", 6, 40, "P1", ""},
               {"HEA", "S355", 100, 100, "", "Blank", 12, 50, "P1", ""},
               {"HEA", "S355", 300, 300, "", "Blank", 6, 60, "P1", ""}});
    }
    void order(OrderRow row) { putOrderLine(orderSheet, m_nextRow++, row); }
    // Grade, H, B, surface and length of a stock row, as read back.
    std::string line(int row) {
        return at(hea, row, 2) + " " + at(hea, row, 3) + " " + at(hea, row, 4) + " " + at(hea, row, 5) + " " +
               at(hea, row, 7);
    }

    FakeSheet& hea;

private:
    int m_nextRow = 10;
};

TEST_F(StockLineMerge, EqualLineAddsTheQuantityAndReplacesTheProject) {
    standardStock();
    order({"HEA", "S235", 200, 100, "", "Blank", 6, 5, "P9"});
    auto result = run();
    ASSERT_EQ(result.bookings.size(), 1u);
    const auto& b = result.bookings[0];
    EXPECT_EQ(b.stockRow, 4);
    EXPECT_FALSE(b.created);
    EXPECT_EQ(b.quantity, 17);
    EXPECT_EQ(at(hea, 4, 8), "17");
    EXPECT_EQ(at(hea, 4, 12), "P9");
    EXPECT_EQ(hea.writes(), 2);
    EXPECT_TRUE(hea.insertions().empty());
}

TEST_F(StockLineMerge, EmptySheetGetsTheNewLineInRowThree) {
    order({"HEA", "S235", 200, 100, "", "Blank", 6.5, 5, "P9"});
    auto result = run();
    ASSERT_EQ(result.bookings.size(), 1u);
    EXPECT_TRUE(result.bookings[0].created);
    EXPECT_FALSE(result.bookings[0].rowInserted);
    EXPECT_TRUE(hea.insertions().empty());
    // Dimensions are written as text, the length and quantity as numbers.
    testsupport::FakeWorkbook blank{"/blank.xlsx"};
    const auto heading = addStockSheet(blank, "HEA", 2).dump();
    EXPECT_EQ(hea.dump(), heading +
                              "HEA!A3:s:HEA\nHEA!B3:s:S235\nHEA!C3:s:200\nHEA!D3:s:100\nHEA!E3:s:Blank\n"
                              "HEA!G3:n:6.5\nHEA!H3:n:5.0\nHEA!L3:s:P9\nHEA!Q3:s:Automatisk opprettet\n");
}

struct Placement {
    const char* name;
    OrderRow order;
    int row;        // where the new line lands
    int insertedAt; // 0: no row inserted
    CopyOrigin origin = CopyOrigin::FromLeftOrAbove;
};

class StockLinePlacement : public StockLineMerge, public ::testing::WithParamInterface<Placement> {};

TEST_P(StockLinePlacement, NewLineKeepsTheSheetSorted) {
    standardStock();
    const auto& p = GetParam();
    order(p.order);
    auto result = run();
    ASSERT_EQ(result.bookings.size(), 1u);
    EXPECT_TRUE(result.bookings[0].created);
    EXPECT_EQ(result.bookings[0].stockRow, p.row);
    EXPECT_EQ(result.bookings[0].rowInserted, p.insertedAt != 0);
    const Insertions expected = p.insertedAt ? Insertions{{p.insertedAt, p.origin}} : Insertions{};
    EXPECT_EQ(hea.insertions(), expected);
    EXPECT_EQ(at(hea, p.row, 1), "HEA");
    EXPECT_EQ(at(hea, p.row, 8), "1");
    EXPECT_EQ(at(hea, p.row, 17), "Automatisk opprettet");
    EXPECT_EQ(at(hea, 3, 8), p.row == 3 ? "1" : "10"); // the first line moved only when inserted before
}

INSTANTIATE_TEST_SUITE_P(
    Sorted, StockLinePlacement,
    ::testing::Values(
        Placement{"BeforeTheFirstLineTakesFormatsFromBelow",
                  {"HEA", "S100", 100, 100, "", "Blank", 6, 1, "P"},
                  3,
                  3,
                  CopyOrigin::FromRightOrBelow},
        Placement{"FirstDimensionAsNumber",
                  {"HEA", "S235", 50, 100, "", "Blank", 6, 1, "P"},
                  3,
                  3,
                  CopyOrigin::FromRightOrBelow},
        Placement{"FirstDimensionBetween", {"HEA", "S235", 150, 100, "", "Blank", 6, 1, "P"}, 4, 4},
        Placement{
            "FirstDimensionLargestOfTheGrade", {"HEA", "S235", 1000, 100, "", "Blank", 6, 1, "P"}, 7, 7},
        Placement{"SecondDimension", {"HEA", "S235", 200, 150, "", "Blank", 6, 1, "P"}, 5, 5},
        Placement{"Surface", {"HEA", "S235", 200, 200, "", "Brun", 6, 1, "P"}, 6, 6},
        Placement{"LengthBeforeALongerOne", {"HEA", "S235", 200, 200, "", "Blank", 4, 1, "P"}, 5, 5},
        Placement{"LengthAfterAShorterOne", {"HEA", "S355", 100, 100, "", "Blank", 13, 1, "P"}, 8, 8},
        Placement{"GradeNotOnTheSheet", {"HEA", "S275", 1, 1, "", "Blank", 6, 1, "P"}, 7, 7},
        Placement{"GreatestGradeGoesIntoTheEmptyRow", {"HEA", "S420", 1, 1, "", "Blank", 6, 1, "P"}, 9, 0},
        // Ordinal: small letters after every capital.
        Placement{"SmallLetterGradeAfterCapitals", {"HEA", "s235", 1, 1, "", "Blank", 6, 1, "P"}, 9, 0},
        // Dimensions differ as text but not as numbers: no match, and not before the equal line.
        Placement{
            "DimensionTextDiffersNotItsValue", {"HEA", "S235", "200,0", 100, "", "Blank", 6, 1, "P"}, 7, 7}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(StockLineMerge, PlacementStartsAtTheGradesFirstLine) {
    // An unsorted line above the grade: scanning from row 3 would put the new line before it.
    stock({{"HEA", "S355", 100, 100, "", "Blank", 6, 1, "", ""},
           {"HEA", "S235", 100, 100, "", "Blank", 6, 1, "", ""},
           {"HEA", "S235", 300, 100, "", "Blank", 6, 1, "", ""},
           {"HEA", "S420", 100, 100, "", "Blank", 6, 1, "", ""}});
    order({"HEA", "S235", 200, 100, "", "Blank", 6, 1, "P"});
    run();
    EXPECT_EQ(hea.insertions(), (Insertions{{5, CopyOrigin::FromLeftOrAbove}}));
    EXPECT_EQ(line(5), "S235 200 100 Blank 6");
}

TEST_F(StockLineMerge, LaterLinesSeeEarlierInsertions) {
    standardStock();
    order({"HEA", "S235", 150, 100, "", "Blank", 6, 1, "A"});
    order({"HEA", "S235", 175, 100, "", "Blank", 6, 2, "B"});
    order({"HEA", "S235", 150, 100, "", "Blank", 6, 3, "C"}); // now equal to the first new line
    auto result = run();
    EXPECT_EQ(hea.insertions(),
              (Insertions{{4, CopyOrigin::FromLeftOrAbove}, {5, CopyOrigin::FromLeftOrAbove}}));
    EXPECT_EQ(line(4), "S235 150 100 Blank 6");
    EXPECT_EQ(line(5), "S235 175 100 Blank 6");
    EXPECT_EQ(line(6), "S235 200 100 Blank 6");
    EXPECT_EQ(at(hea, 4, 8), "4");
    EXPECT_EQ(at(hea, 4, 12), "C");
    ASSERT_EQ(result.bookings.size(), 3u);
    EXPECT_FALSE(result.bookings[2].created);
    EXPECT_EQ(result.bookings[2].stockRow, 4);
}

TEST_F(StockLineMerge, GapRowEndsBothScans) {
    stock({{"HEA", "S235", 100, 100, "", "Blank", 6, 10, "", ""},
           {"", "", "", "", "", "", "", "", "", ""}, // gap
           {"HEA", "S235", 200, 100, "", "Blank", 6, 20, "", ""}});
    order({"HEA", "S235", 200, 100, "", "Blank", 6, 5, "P"});
    auto result = run();
    EXPECT_TRUE(hea.insertions().empty());
    EXPECT_EQ(line(4), "S235 200 100 Blank 6");
    EXPECT_EQ(at(hea, 4, 8), "5");
    EXPECT_EQ(at(hea, 5, 8), "20");
}

// Decided: the row that ends the list takes a new line only when none of its cells holds anything;
// a totals row, a note or a stray number there moves down with a row inserted above it.
TEST_F(StockLineMerge, RowWithContentAtTheListEndIsNeverWrittenOver) {
    stock({{"HEA", "S235", 100, 100, "", "Blank", 6, 10, "", ""}});
    hea.put(4, 8, 7); // a stray quantity in the row that ends the list
    auto& ipe = addStockSheet(inventory, "IPE", 1);
    putStockLine(ipe, 3, 1, {"IPE", "S235", 100, "", "", "Blank", 6, 10, "", ""});
    ipe.put(5, 20, "Merk: telt 1.3"); // a note below a spare row
    auto& flat = addStockSheet(inventory, "FLAT", 1);
    flat.put(3, 1, "Sum").put(3, 7, 0); // an empty list with its totals right under the header
    order({"HEA", "S460", 300, 300, "", "Blank", 6, 2, "A"});
    order({"HEA", "S460", 400, 300, "", "Blank", 6, 3, "B"});
    order({"IPE", "S460", 300, "", "", "Blank", 6, 4, "C"}); // into the spare row
    order({"IPE", "S460", 400, "", "", "Blank", 6, 5, "D"}); // then before the note
    order({"FLAT", "S235", 20, "", "", "Blank", 6, 6, "E"});
    auto result = run();
    EXPECT_EQ(hea.insertions(),
              (Insertions{{4, CopyOrigin::FromLeftOrAbove}, {5, CopyOrigin::FromLeftOrAbove}}));
    EXPECT_EQ(line(4) + " " + at(hea, 4, 8), "S460 300 300 Blank 6 2");
    EXPECT_EQ(line(5) + " " + at(hea, 5, 8), "S460 400 300 Blank 6 3");
    EXPECT_EQ(at(hea, 6, 2) + " " + at(hea, 6, 8), " 7");
    EXPECT_EQ(ipe.insertions(), (Insertions{{5, CopyOrigin::FromLeftOrAbove}}));
    EXPECT_EQ(at(ipe, 4, 3) + " " + at(ipe, 5, 3) + " " + at(ipe, 6, 20), "300 400 Merk: telt 1.3");
    // Row 3 takes its formats from below, as every insertion there does.
    EXPECT_EQ(flat.insertions(), (Insertions{{3, CopyOrigin::FromRightOrBelow}}));
    EXPECT_EQ(at(flat, 3, 3) + " " + at(flat, 3, 7), "20 6");
    EXPECT_EQ(at(flat, 4, 1) + " " + at(flat, 4, 7), "Sum 0");
    std::vector<bool> inserted;
    for (const auto& b : result.bookings)
        inserted.push_back(b.rowInserted);
    EXPECT_EQ(inserted, (std::vector<bool>{true, true, false, true, true}));
}

TEST_F(StockLineMerge, OneDimensionSheetIgnoresSecondAndThirdDimension) {
    auto& flat = addStockSheet(inventory, "FLAT", 1);
    putStockLine(flat, 3, 1, {"FLAT", "S235", 200, "", "", "Blank", 6, 12, "", ""});
    order({"FLAT", "S235", 200, 999, 888, "Blank", 6, 5, "P"});
    order({"FLAT", "S235", 300, 999, 888, "Galv", 6, 1, "P"});
    run();
    EXPECT_EQ(at(flat, 3, 7), "17");
    EXPECT_EQ(at(flat, 4, 3), "300");
    EXPECT_EQ(at(flat, 4, 4), "Galv");
    EXPECT_EQ(at(flat, 4, 5), "");
    EXPECT_EQ(at(flat, 4, 6), "6");
    EXPECT_EQ(at(flat, 4, 16), "Automatisk opprettet");
}

TEST_F(StockLineMerge, ThreeDimensionSheetComparesTheThird) {
    auto& rhs = addStockSheet(inventory, "RHS", 3);
    putStockLine(rhs, 3, 3, {"RHS", "S235", 100, 50, 4, "Blank", 6, 12, "", ""});
    putStockLine(rhs, 4, 3, {"RHS", "S235", 100, 50, 8, "Blank", 6, 12, "", ""});
    order({"RHS", "S235", 100, 50, 5, "Blank", 6, 1, "P"});
    order({"RHS", "S235", 100, 50, 8, "Blank", 6, 2, "P"});
    run();
    EXPECT_EQ(rhs.insertions(), (Insertions{{4, CopyOrigin::FromLeftOrAbove}}));
    EXPECT_EQ(at(rhs, 4, 5) + " " + at(rhs, 4, 6) + " " + at(rhs, 4, 8) + " " + at(rhs, 4, 9), "5 Blank 6 1");
    EXPECT_EQ(at(rhs, 5, 9), "14");
}

// Decided: a length that is not a number is booked as 0 with a warning, and the next booking of it
// finds the line of length 0 the first one made instead of making one more.
TEST_F(StockLineMerge, LengthThatIsNoNumberWarnsAndMeetsTheLineOfLengthZero) {
    stock({{"HEA", "S235", 100, 100, "", "Blank", "6 m", 10, "", ""}});
    for (int run = 0; run < 2; ++run) {
        order({"HEA", "S235", 200, 100, "", "Blank", "ca 6", 1, "P"});
        order({"HEA", "S235", 200, 100, "", "Blank", "", 2, "P"});
        order({"HEA", "S235", 200, 100, "", "Blank", "6 m", "3 stk", "P"});
    }
    order({"HEA", "S235", 100, 100, "", "Blank", "6 m", 4, "P"}); // equal texts still match
    auto result = run();
    EXPECT_EQ(hea.cell(4, 7).kind, sheets::CellValue::Kind::Number);
    EXPECT_EQ(line(4) + " " + at(hea, 4, 8), "S235 200 100 Blank 0 6");
    EXPECT_EQ(at(hea, 3, 8), "14");
    EXPECT_EQ(at(hea, 5, 2), "");
    ASSERT_EQ(result.bookings.size(), 7u);
    EXPECT_TRUE(result.bookings[0].created);
    for (std::size_t i = 1; i < 6; ++i)
        EXPECT_EQ(result.bookings[i].stockRow, 4) << i;
    // The length first, then the quantity; the empty length says nothing.
    const auto length = [](int row, const char* text) {
        return warning("Lengde \"" + std::string(text) + "\" på rad " + std::to_string(row) +
                       " er ikke et tall! HEA er bokført med lengde 0.");
    };
    EXPECT_EQ(ui.messages, (std::vector<Message>{
                               length(10, "ca 6"), length(12, "6 m"),
                               warning("Antall \"3 stk\" på rad 12 er ikke et tall! HEA er bokført med 0."),
                               length(13, "ca 6"), length(15, "6 m"),
                               warning("Antall \"3 stk\" på rad 15 er ikke et tall! HEA er bokført med 0."),
                               length(16, "6 m")}));
}

// Decided: lengths match when their texts are equal or both are numbers of equal value. Without
// this, booking "6,50" again would add a second line each time.
TEST_F(StockLineMerge, LengthMatchesByValueWhenBothAreNumbers) {
    stock({{"HEA", "S235", 200, 100, "", "Blank", 6.5, 10, "", ""},
           {"HEA", "S235", 300, 100, "", "Blank", "6.50", 20, "", ""},
           {"HEA", "S235", 400, 100, "", "Blank", "ca 6", 30, "", ""}});
    order({"HEA", "S235", 200, 100, "", "Blank", "6,50", 1, "A"});
    order({"HEA", "S235", 300, 100, "", "Blank", 6.5, 2, "B"});
    order({"HEA", "S235", 400, 100, "", "Blank", "ca 6", 3, "C"}); // equal texts still match
    order({"HEA", "S235", 500, 100, "", "Blank", "6,50", 4, "D"}); // new line, then matched again
    order({"HEA", "S235", 500, 100, "", "Blank", "6.5", 5, "E"});
    order({"HEA", "S235", 400, 100, "", "Blank", "ca 6,0", 6, "F"}); // not numbers: no match
    auto result = run();
    EXPECT_EQ(at(hea, 3, 8), "11");
    EXPECT_EQ(at(hea, 4, 8), "22");
    // The last order did not match "ca 6" and went before it: both lengths count as 0.
    EXPECT_EQ(at(hea, 5, 8) + " " + at(hea, 5, 7), "6 0");
    EXPECT_EQ(at(hea, 6, 8) + " " + at(hea, 6, 7), "33 ca 6");
    EXPECT_EQ(line(7), "S235 500 100 Blank 6,5");
    EXPECT_EQ(at(hea, 7, 8), "9");
    ASSERT_EQ(result.bookings.size(), 6u);
    EXPECT_TRUE(result.bookings[3].created);
    EXPECT_FALSE(result.bookings[4].created);
    EXPECT_TRUE(result.bookings[5].created);
}

// Decided: an order quantity that is not a number still books 0, but says so.
TEST_F(StockLineMerge, OrderQuantityThatIsNoNumberWarnsAndBooksZero) {
    standardStock();
    order({"HEA", "S235", 200, 100, "", "Blank", 6, "3 stk", "P8"});
    order({"HEA", "S235", 100, 100, "", "Blank", 6, "", "P9"}); // empty: no warning
    auto result = run();
    EXPECT_EQ(
        ui.messages,
        (std::vector<Message>{warning("Antall \"3 stk\" på rad 10 er ikke et tall! HEA er bokført med 0.")}));
    EXPECT_EQ(result.warnings.size(), 1u);
    EXPECT_EQ(at(hea, 4, 8) + " " + at(hea, 4, 12), "12 P8");
    EXPECT_EQ(at(hea, 3, 8) + " " + at(hea, 3, 12), "10 P9");
    EXPECT_EQ(result.bookings.size(), 2u);
}

// Decided: a stock quantity that is not a number is not overwritten by a count that treated it as 0.
TEST_F(StockLineMerge, StockQuantityThatIsNoNumberIsLeftAlone) {
    stock({{"HEA", "S235", 100, 100, "", "Blank", 6, "12 stk", "P1", ""},
           {"HEA", "S235", 200, 100, "", "Blank", 6, "", "P1", ""},
           {"HEA", "S235", 300, 100, "", "Blank", 6, "12", "P1", ""}});
    order({"HEA", "S235", 100, 100, "", "Blank", 6, 5, "P2"});
    order({"HEA", "S235", 200, 100, "", "Blank", 6, 5, "P2"});
    order({"HEA", "S235", 300, 100, "", "Blank", 6, 5, "P2"});
    auto result = run();
    EXPECT_EQ(ui.messages,
              (std::vector<Message>{
                  warning("Antall på lager i rad 3 på ark HEA er ikke et tall! Linjen er ikke bokført.")}));
    EXPECT_EQ(at(hea, 3, 8) + " " + at(hea, 3, 12), "12 stk P1");
    EXPECT_EQ(at(hea, 4, 8) + " " + at(hea, 4, 12), "5 P2");
    EXPECT_EQ(at(hea, 5, 8) + " " + at(hea, 5, 12), "17 P2");
    ASSERT_EQ(result.bookings.size(), 2u);
    EXPECT_EQ(result.bookings[0].stockRow, 4);
    EXPECT_EQ(inventory.saves(), 1);
}

} // namespace
} // namespace stocktest
