#include "BookingHarness.h"
#include "PlainBooking.h"

#include "sheets/Error.h"

#include <algorithm>
#include <array>
#include <random>

namespace stocktest {
namespace {

// Random inventories and orders, written alike into the workbook the run books and the one the plain
// booking books.
class RandomCase {
public:
    explicit RandomCase(unsigned seed) : m_rng(seed) {}

    void makeInventory(testsupport::FakeWorkbook& a, testsupport::FakeWorkbook& b) {
        const char* names[] = {"HEA", "IPE", "RHS", "Flat"};
        const int sheets = pick(1, 3);
        for (int i = 0; i < sheets; ++i) {
            const int Dim = chance(0.05) ? 0 : pick(1, 3);
            Sheet sheet{names[i], Dim, {}};
            if (Dim == 0) {
                a.addSheet(sheet.name).put(1, 2, "Grade");
                b.addSheet(sheet.name).put(1, 2, "Grade");
            } else {
                addStockSheet(a, sheet.name, Dim);
                addStockSheet(b, sheet.name, Dim);
            }
            const int count = chance(0.15) ? 0 : chance(0.2) ? pick(100, 400) : pick(1, 30);
            for (int n = 0; n < count; ++n)
                sheet.lines.push_back(chance(0.1) && !sheet.lines.empty()
                                          ? sheet.lines[pickIndex(sheet.lines)]
                                          : randomLine(sheet.name));
            // Mostly sorted by grade and first dimension, as real stock lists are, with stray lines.
            if (chance(0.7))
                std::stable_sort(
                    sheet.lines.begin(), sheet.lines.end(), [](const StockRow& x, const StockRow& y) {
                        return std::pair(x.Grade.text, x.H.number) < std::pair(y.Grade.text, y.H.number);
                    });
            for (auto& line : sheet.lines)
                if (chance(0.03)) line.Grade = ""; // a gap row; what follows is past the list end
            for (std::size_t n = 0; n < sheet.lines.size() && Dim > 0; ++n) {
                putStockLine(a.fake(i + 1), static_cast<int>(n) + 3, Dim, sheet.lines[n]);
                putStockLine(b.fake(i + 1), static_cast<int>(n) + 3, Dim, sheet.lines[n]);
            }
            // What may stand right under the lines: a totals row, a note far to the right, or nothing.
            const int under = static_cast<int>(sheet.lines.size()) + 3 + (chance(0.3) ? 1 : 0);
            if (Dim > 0 && chance(0.4)) {
                const int column = std::array{1, Dim + 6, 30}[static_cast<std::size_t>(pick(0, 2))];
                const FakeValue value = column == 1    ? FakeValue("Sum")
                                        : column == 30 ? FakeValue("Merk")
                                                       : 99;
                a.fake(i + 1).put(under, column, value);
                b.fake(i + 1).put(under, column, value);
            }
            if (chance(0.1) && Dim > 0) {
                const int row = pick(3, static_cast<int>(sheet.lines.size()) + 3);
                const int column = pick(2, Dim + 5);
                a.fake(i + 1).put(row, column, FakeValue::error("#N/A"));
                b.fake(i + 1).put(row, column, FakeValue::error("#N/A"));
            }
            m_sheets.push_back(std::move(sheet));
        }
    }

    void makeOrder(FakeSheet& order) {
        const int count = pick(1, 40);
        for (int row = 10; row < 10 + count; ++row) {
            const Sheet& sheet = m_sheets[pickIndex(m_sheets)];
            StockRow s = !sheet.lines.empty() && chance(0.5) ? sheet.lines[pickIndex(sheet.lines)]
                                                             : randomLine(sheet.name);
            if (chance(0.2)) s.Meter = any({6, 6.5, "6,50", "6,5", "6.5", "6,0", "ca 6", "6 m", "", 0});
            FakeValue product = chance(0.05) ? "Mangler" : chance(0.1) ? FakeValue("  hea ") : s.Produkt;
            FakeValue quantity = any({1, 2, 5, "3 stk", "", 2.5});
            FakeValue mark = chance(0.1) ? "" : "x";
            putOrderLine(order, row,
                         {product, s.Grade, s.H, s.B, s.T, s.Overflate, s.Meter, quantity, "P9", mark});
        }
    }

private:
    struct Sheet {
        std::string name;
        int Dim;
        std::vector<StockRow> lines;
    };

    int pick(int low, int high) { return std::uniform_int_distribution<int>(low, high)(m_rng); }
    bool chance(double p) { return std::bernoulli_distribution(p)(m_rng); }
    template <class V> std::size_t pickIndex(const V& values) {
        return static_cast<std::size_t>(pick(0, static_cast<int>(values.size()) - 1));
    }
    FakeValue any(std::initializer_list<FakeValue> values) {
        return values.begin()[pick(0, static_cast<int>(values.size()) - 1)];
    }

    StockRow randomLine(const std::string& product) {
        StockRow s;
        s.Produkt = product;
        s.Grade =
            chance(0.02) ? FakeValue("") : any({"S235", "S355", "S275", "s235", "S235 ", 235, "\u00C5"});
        s.H = any({100, 200, "200", "200,0", 150.5, 300, "abc", ""});
        s.B = any({50, 100, "100", "", 4});
        s.T = any({4, 8, "8", "", 5.5});
        s.Overflate = any({"Blank", "Galv", "blank", "", "Sandbl\u00E5st"});
        s.Meter = any({6, 6.5, "6,50", "6,5", "ca 6", "", 12, "12", -0.0, 0, "0,0", FakeValue::boolean(true),
                       FakeValue::dateTime(45000.5)});
        s.Antall = any({0, 5, 12.5, "", "12 stk", "7"});
        s.Prosjekt = any({"P1", ""});
        return s;
    }

    std::mt19937 m_rng;
    std::vector<Sheet> m_sheets;
};

TEST(StockLineReference, RandomOrdersBookAsTheRowByRowScanDoes) {
    testsupport::TempDir dir;
    const auto path = dir / "Tulverkan.xlsx";
    testsupport::writeFile(path, "");
    int matched = 0, created = 0, inserted = 0, failed = 0, warned = 0;
    for (unsigned seed = 1; seed <= 600; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        testsupport::FakeWorkbook inventory{path};
        testsupport::FakeWorkbook reference{path};
        testsupport::FakeWorkbook order{"/bestillinger/ordre.xlsx"};
        RandomCase random(seed);
        random.makeInventory(inventory, reference);
        random.makeOrder(order.addSheet("Bestilling"));

        testsupport::FakeWorkbookOpener opener;
        opener.add(inventory);
        opener.add(order);
        RecordingUi ui;
        ui.inventoryPaths = {path.string()};
        ui.orderFile = order.path().string();
        stock::UpdateResult result;
        std::string failure;
        try {
            testsupport::MemoryJournal journal;
            result = stock::runUpdate(ui, opener, journal, stock::UpdateOptions{});
        } catch (const sheets::Error& e) {
            failure = e.what();
        }

        PlainBooking plain;
        std::string plainFailure;
        try {
            plain.run(order.fake(1), reference);
        } catch (const sheets::Error& e) {
            plainFailure = e.what();
        }

        EXPECT_EQ(failure, plainFailure);
        std::vector<std::string> shown;
        for (const auto& m : ui.messages)
            shown.push_back(m.text);
        EXPECT_EQ(shown, plain.warnings);
        if (failure.empty()) {
            EXPECT_EQ(describe(result.bookings), describe(plain.bookings));
        }
        EXPECT_EQ(inventory.dump(), reference.dump());
        for (int i = 1; i <= inventory.sheetCount(); ++i) {
            EXPECT_EQ(inventory.fake(i).insertions(), reference.fake(i).insertions());
            EXPECT_EQ(inventory.fake(i).writes(), reference.fake(i).writes());
        }

        failed += !failure.empty();
        warned += !shown.empty();
        for (const auto& b : plain.bookings) {
            matched += !b.created;
            created += b.created;
            inserted += b.rowInserted;
        }
    }
    // The mix must reach every way through the booking, or the comparison proves little.
    EXPECT_GT(matched, 1000);
    EXPECT_GT(created, 1000);
    EXPECT_GT(inserted, 500);
    EXPECT_GT(failed, 10);
    EXPECT_GT(warned, 100);
}

// What makes a long list fast: the stock sheet is read once, not row by row for every order line.
TEST_F(BookingTest, StockCellsAreReadOncePerRunNotOncePerOrderLine) {
    auto& hea = addStockSheet(inventory, "HEA", 2);
    for (int i = 0; i < 2000; ++i)
        putStockLine(hea, i + 3, 2,
                     {"HEA", i < 1000 ? "S235" : "S355", i % 1000 + 1, 100, "", "Blank", 6, 1, "", ""});
    for (int i = 0; i < 200; ++i) {
        const int H = (i * 7) % 1000 + 1;
        // Every other line is new: a first dimension between two stocked ones.
        putOrderLine(orderSheet, i + 10,
                     {"HEA", "S355", i % 2 ? FakeValue(std::to_string(H) + ",5") : FakeValue(H), 100, "",
                      "Blank", 6, 1, "P"});
    }
    auto result = run();
    ASSERT_EQ(result.bookings.size(), 200u);
    EXPECT_EQ(
        std::count_if(result.bookings.begin(), result.bookings.end(), [](auto& b) { return b.rowInserted; }),
        100);
    // The key cells of every line once, and a few cells per order line.
    EXPECT_LT(hea.reads(), 2001 * 5 + 200 * 15);
}

} // namespace
} // namespace stocktest
