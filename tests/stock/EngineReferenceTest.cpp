#include "BookingHarness.h"
#include "PlainBooking.h"

#include "support/Python.h"
#include "xlsx/XlsxWorkbook.h"

#include <random>

namespace stocktest {
namespace {

// The order from memory, the inventory through the engine.
class EngineOpener : public sheets::WorkbookOpener {
public:
    explicit EngineOpener(testsupport::FakeWorkbook& order) { m_fakes.add(order); }
    std::unique_ptr<sheets::Workbook> open(const std::filesystem::path& path,
                                           sheets::OpenMode mode) override {
        if (mode == sheets::OpenMode::ReadOnly) return m_fakes.open(path, mode);
        return xlsx::openWorkbook(path, mode);
    }

private:
    testsupport::FakeWorkbookOpener m_fakes;
};

// Random orders, half of them taken from the inventory's own lines (so that they match), against the
// inventories of the golden cases (written by xlsxwriter, one resaved by LibreOffice): the run and the
// plain booking, each through the engine, save what openpyxl reads as the same workbook.
TEST(EngineReference, RandomOrdersOnRealInventoriesBookAsTheRowByRowScanDoes) {
    int bookings = 0;
    for (const auto& entry : std::filesystem::directory_iterator(testsupport::fixture("stock/cases"))) {
        const auto name = entry.path().filename().string();
        SCOPED_TRACE(name);
        testsupport::TempDir dir;
        const auto booked = dir.copy(entry.path() / "inventory.xlsx", "Tulverkan.xlsx");
        const auto plainBooked = dir.copy(entry.path() / "inventory.xlsx", "Referanse.xlsx");

        // Lines to order: every stock sheet's key cells as the booking reads them.
        std::vector<OrderRow> known;
        {
            auto inventory = xlsx::openWorkbook(booked, sheets::OpenMode::ReadOnly);
            for (int i = 1; i <= inventory->sheetCount(); ++i) {
                auto& sheet = inventory->sheet(i);
                int Dim = 0;
                for (int column = 4; column <= 6 && Dim == 0; ++column)
                    if (at(sheet, 1, column) == "overflate") Dim = column - 3;
                for (int row = 3; Dim > 0 && !at(sheet, row, 2).empty(); ++row)
                    known.push_back({sheet.name(), at(sheet, row, 2), at(sheet, row, 3),
                                     Dim >= 2 ? at(sheet, row, 4) : "", Dim == 3 ? at(sheet, row, 5) : "",
                                     at(sheet, row, Dim + 3), at(sheet, row, Dim + 5), 1, "P"});
                if (Dim > 0) known.push_back({sheet.name(), "S235", 150, 100, 8, "Blank", 6, 1, "P"});
            }
        }
        ASSERT_FALSE(known.empty());

        std::mt19937 rng(static_cast<unsigned>(name.size()));
        auto any = [&](std::initializer_list<FakeValue> values) {
            return values.begin()[std::uniform_int_distribution<std::size_t>(0, values.size() - 1)(rng)];
        };
        testsupport::FakeWorkbook order{dir / "Bestilling.xlsx"};
        auto& orderSheet = order.addSheet("Bestilling");
        for (int row = 10; row < 50; ++row) {
            OrderRow line = known[std::uniform_int_distribution<std::size_t>(0, known.size() - 1)(rng)];
            if (rng() % 2) {
                line.Grade = any({"S235", "S355", "S275", "s235", ""});
                line.H = any({100, 200, "200", "200,0", 150, 300});
                line.Overflate = any({"Blank", "Galv", "Brun"});
            }
            if (rng() % 3 == 0) line.Meter = any({6, 6.5, "6,50", "6.5", "ca 6", "6 m", "", 12});
            line.A = any({1, 2, 5, "3 stk", 2.5});
            putOrderLine(orderSheet, row, line);
        }

        EngineOpener opener(order);
        RecordingUi ui;
        ui.inventoryPaths = {booked.string()};
        ui.orderFile = order.path().string();
        testsupport::MemoryJournal journal;
        auto result = stock::runUpdate(ui, opener, journal, stock::UpdateOptions{});
        ASSERT_TRUE(result.saved);

        PlainBooking plain;
        {
            auto reference = xlsx::openWorkbook(plainBooked, sheets::OpenMode::ReadWrite);
            plain.run(order.fake(1), *reference);
            reference->save();
        }

        EXPECT_EQ(describe(result.bookings), describe(plain.bookings));
        std::vector<std::string> shown;
        for (const auto& m : ui.messages)
            shown.push_back(m.text);
        EXPECT_EQ(shown, plain.warnings);
        EXPECT_EQ(testsupport::openpyxlDump(booked, true), testsupport::openpyxlDump(plainBooked, true));
        bookings += static_cast<int>(result.bookings.size());
    }
    EXPECT_GT(bookings, 100);
}

} // namespace
} // namespace stocktest
