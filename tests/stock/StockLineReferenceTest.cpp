#include "BookingHarness.h"

#include "sheets/Error.h"
#include "sheets/StrToReal.h"
#include "stock/OrderLine.h"
#include "stock/TextOrder.h"

#include <algorithm>
#include <random>
#include <sstream>

namespace stocktest {
namespace {

// The booking done the plain way: every comparison reads its cell from the sheet, row by row from
// row 3, for every order line. The update run must come out the same in everything: the sheets, the
// rows inserted with their origins, the bookings, the messages and the failures.
class PlainBooking {
public:
    std::vector<std::string> warnings;
    std::vector<stock::Booking> bookings;

    void run(const sheets::Worksheet& order, sheets::Workbook& inventory) {
        for (int row = 10; !text(order, row, 2).empty(); ++row) {
            if (text(order, row, 14).empty()) continue;
            stock::OrderLine L;
            L.Produkt = text(order, row, 2);
            L.Grade = text(order, row, 3);
            L.H = text(order, row, 4);
            L.B = text(order, row, 5);
            L.T = text(order, row, 6);
            L.Overflate = text(order, row, 7);
            L.Meter = text(order, row, 8);
            L.A = text(order, row, 9);
            L.Prosjekt = text(order, row, 11);
            sheets::Worksheet* sheet = nullptr;
            for (int i = 1; i <= inventory.sheetCount() && !sheet; ++i)
                if (stock::equalUpperAscii(L.Produkt, inventory.sheet(i).name())) sheet = &inventory.sheet(i);
            if (!sheet) {
                warnings.push_back("Ark " + L.Produkt + " ikke funnet i tulverkan!");
                continue;
            }
            int Dim = 0;
            for (int column = 4; column <= 6 && Dim == 0; ++column)
                if (text(*sheet, 1, column) == "overflate") Dim = column - 3;
            if (Dim == 2 && L.Produkt == "\u00D8") {
                L.B = L.T;
            } else if (Dim == 2 && L.Produkt == "Kranbane skinner") {
                L.H = L.B;
                L.B = L.T;
            }
            if (Dim == 0) {
                warnings.push_back("Kolonne \"overflate\" ikke funnet for " + L.Produkt + "!");
                continue;
            }
            book(*sheet, L, Dim, row);
        }
    }

private:
    std::string text(const sheets::Worksheet& sheet, int row, int column) {
        return sheets::cellText(sheet.cell(row, column), m_format);
    }
    double number(const sheets::Worksheet& sheet, int row, int column) {
        return sheets::StrToReal(text(sheet, row, column));
    }

    static bool sameLength(const std::string& a, const std::string& b) {
        auto x = sheets::parseReal(a);
        auto y = sheets::parseReal(b);
        return a == b || (x && y && *x == *y);
    }

    bool before(const sheets::Worksheet& s, const stock::OrderLine& L, int Dim, int row) {
        using sheets::StrToReal;
        if (L.Grade != text(s, row, 2)) return stock::textLess(L.Grade, text(s, row, 2));
        if (L.H != text(s, row, 3)) return StrToReal(L.H) < number(s, row, 3);
        bool result = false;
        bool same = true;
        if (Dim >= 2) {
            same = L.B == text(s, row, 4);
            result = StrToReal(L.B) < number(s, row, 4);
            if (same && Dim == 3) {
                same = L.T == text(s, row, 5);
                result = StrToReal(L.T) < number(s, row, 5);
            }
        }
        if (!same) return result;
        if (L.Overflate == text(s, row, Dim + 3)) return StrToReal(L.Meter) <= number(s, row, Dim + 5);
        return stock::textLess(L.Overflate, text(s, row, Dim + 3));
    }

    void book(sheets::Worksheet& s, const stock::OrderLine& L, int Dim, int orderRow) {
        stock::Booking booking{orderRow, s.name()};
        int row = 3;
        int gradeRow = 0;
        bool found = false;
        for (;; ++row) {
            if (gradeRow == 0 && text(s, row, 2) == L.Grade) gradeRow = row;
            found = text(s, row, 2) == L.Grade && text(s, row, 3) == L.H &&
                    text(s, row, Dim + 3) == L.Overflate && sameLength(L.Meter, text(s, row, Dim + 5)) &&
                    (Dim < 2 || text(s, row, 4) == L.B) && (Dim < 3 || text(s, row, 5) == L.T);
            if (found || text(s, row, 2).empty()) break;
        }
        if (!found) {
            for (row = gradeRow > 0 ? gradeRow : 3; !before(s, L, Dim, row) && !text(s, row, 2).empty();
                 ++row) {
            }
            booking.created = true;
            booking.rowInserted = !text(s, row, 2).empty();
            if (booking.rowInserted)
                s.insertRow(row, row == 3 ? sheets::CopyOrigin::FromRightOrBelow
                                          : sheets::CopyOrigin::FromLeftOrAbove);
            s.setText(row, 1, L.Produkt);
            s.setText(row, 2, L.Grade);
            s.setText(row, 3, L.H);
            if (Dim >= 2) s.setText(row, 4, L.B);
            if (Dim == 3) s.setText(row, 5, L.T);
            s.setText(row, Dim + 3, L.Overflate);
            s.setNumber(row, Dim + 5, sheets::StrToReal(L.Meter));
            s.setText(row, Dim + 15, "Automatisk opprettet");
        }
        booking.stockRow = row;
        if (!L.A.empty() && !sheets::isNumberText(L.A))
            warnings.push_back("Antall \"" + L.A + "\" på rad " + std::to_string(orderRow) +
                               " er ikke et tall! " + L.Produkt + " er bokført med 0.");
        const auto stocked = text(s, row, Dim + 6);
        if (!stocked.empty() && !sheets::isNumberText(stocked)) {
            warnings.push_back("Antall på lager i rad " + std::to_string(row) + " på ark " + s.name() +
                               " er ikke et tall! Linjen er ikke bokført.");
            return;
        }
        booking.quantity = sheets::StrToReal(L.A) + sheets::StrToReal(stocked);
        s.setNumber(row, Dim + 6, booking.quantity);
        s.setText(row, Dim + 10, L.Prosjekt);
        bookings.push_back(booking);
    }

    sheets::TextFormat m_format;
};

std::string describe(const std::vector<stock::Booking>& bookings) {
    std::ostringstream out;
    for (const auto& b : bookings)
        out << b.orderRow << ' ' << b.sheet << '!' << b.stockRow << (b.created ? " new" : "")
            << (b.rowInserted ? " inserted" : "") << ' ' << b.quantity << '\n';
    return out.str();
}

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
            if (chance(0.2)) s.Meter = any({6, 6.5, "6,50", "6,5", "6.5", "6,0", "ca 6"});
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
        s.Meter = any({6, 6.5, "6,50", "6,5", "ca 6", "", 12, "12", -0.0, FakeValue::boolean(true),
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
            result = stock::runUpdate(ui, opener, stock::UpdateOptions{});
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

} // namespace
} // namespace stocktest
