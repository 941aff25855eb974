#include "BookingHarness.h"

namespace stocktest {
namespace {

// The sheet chosen for an order product, seen through the line created on it.
class StockSheetSelection : public BookingTest {
public:
    void order(const char* Produkt, FakeValue H = 100, FakeValue B = "", FakeValue T = "") {
        putOrderLine(orderSheet, m_nextRow++, {Produkt, "S235", H, B, T, "Blank", 6, 1, "P"});
    }
    // Which sheets got a line, by name.
    std::vector<std::string> bookedSheets(const stock::UpdateResult& result) {
        std::vector<std::string> names;
        for (const auto& b : result.bookings)
            names.push_back(b.sheet);
        return names;
    }

private:
    int m_nextRow = 10;
};

TEST_F(StockSheetSelection, NamesMatchWithOnlyAsciiLettersUpperCasedFirstSheetWins) {
    addStockSheet(inventory, "HEA ", 1); // a trailing blank in the sheet name is kept, so no match
    addStockSheet(inventory, "Hea", 1);
    addStockSheet(inventory, "HEA", 1);
    addStockSheet(inventory, "\u00D8", 1);
    addStockSheet(inventory, "Kranbane skinner", 1);
    order("hea");
    order("  HEA  "); // the order's cell text is trimmed
    order("\u00F8");  // ø is not Ø
    order("\u00D8");
    order("KRANBANE SKINNER");
    auto result = run();
    EXPECT_EQ(bookedSheets(result), (std::vector<std::string>{"Hea", "Hea", "\u00D8", "Kranbane skinner"}));
    EXPECT_EQ(ui.messages, (std::vector<Message>{warning("Ark \u00F8 ikke funnet i tulverkan!")}));
}

TEST_F(StockSheetSelection, DimensionCountFromTheSurfaceHeader) {
    struct Header {
        const char* sheet;
        int column;
        const char* text;
        int Dim; // 0: the column warning
    };
    const Header headers[] = {
        {"D1", 4, "overflate", 1},  {"D2", 5, "overflate", 2},
        {"D3", 6, "overflate", 3},  {"TRIM", 5, " overflate ", 2},
        {"CAP", 5, "Overflate", 0}, {"FAR", 7, "overflate", 0},
        {"NONE", 4, "", 0},
    };
    for (const auto& h : headers) {
        inventory.addSheet(h.sheet).put(1, h.column, h.text);
        order(h.sheet, 100, 200, 300);
    }
    inventory.fake(2).put(1, 6, "overflate"); // a later column does not override an earlier one
    auto result = run();

    std::vector<Message> expectedMessages;
    std::vector<std::string> expectedBooked;
    for (int i = 0; i < static_cast<int>(std::size(headers)); ++i) {
        const auto& h = headers[i];
        if (h.Dim == 0) {
            expectedMessages.push_back(
                warning(std::string("Kolonne \"overflate\" ikke funnet for ") + h.sheet + "!"));
            continue;
        }
        expectedBooked.push_back(h.sheet);
        // The surface goes to column Dim + 3, the quantity to Dim + 6.
        EXPECT_EQ(at(inventory.fake(i + 1), 3, h.Dim + 3), "Blank") << h.sheet;
        EXPECT_EQ(at(inventory.fake(i + 1), 3, h.Dim + 6), "1") << h.sheet;
    }
    EXPECT_EQ(bookedSheets(result), expectedBooked);
    EXPECT_EQ(ui.messages, expectedMessages);
}

TEST_F(StockSheetSelection, ProductShiftsOnlyOnTwoDimensionSheets) {
    auto& kran2 = addStockSheet(inventory, "Kranbane skinner", 2);
    auto& oe2 = addStockSheet(inventory, "\u00D8", 2);
    order("Kranbane skinner", 10, 20, 30);
    order("\u00D8", 40, 50, 60);
    order("kranbane skinner", 70, 80, 90); // the sheet is found, but the shift wants the exact name
    run();
    // Lines are created in sorted place: row 3 holds the smallest H.
    EXPECT_EQ(at(kran2, 3, 3) + " " + at(kran2, 3, 4), "20 30");
    EXPECT_EQ(at(kran2, 4, 3) + " " + at(kran2, 4, 4), "70 80");
    EXPECT_EQ(at(oe2, 3, 3) + " " + at(oe2, 3, 4), "40 60");
}

TEST_F(StockSheetSelection, NoShiftOnOtherDimensionCounts) {
    auto& kran3 = addStockSheet(inventory, "Kranbane skinner", 3);
    auto& oe1 = addStockSheet(inventory, "\u00D8", 1);
    order("Kranbane skinner", 10, 20, 30);
    order("\u00D8", 40, 50, 60);
    run();
    EXPECT_EQ(at(kran3, 3, 3) + " " + at(kran3, 3, 4) + " " + at(kran3, 3, 5), "10 20 30");
    EXPECT_EQ(at(oe1, 3, 3), "40");
    EXPECT_EQ(at(oe1, 3, 4), "Blank"); // Dim 1: column 4 is the surface, no second dimension
}

} // namespace
} // namespace stocktest
