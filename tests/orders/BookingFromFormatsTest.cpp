#include "OrderFixtures.h"

#include "orders/Opener.h"
#include "sheets/Error.h"
#include "stock/BookingHarness.h"
#include "stock/JournalFile.h"
#include "support/Python.h"

#include <gtest/gtest.h>

namespace orderstest {
namespace {

namespace fs = std::filesystem;

// A run of the update through the opener the window and the batch tool use, on copies of an
// inventory and an order in a folder of its own.
struct BookingRun {
    testsupport::TempDir dir;
    fs::path inventory;
    fs::path order;
    stocktest::RecordingUi ui;
    stock::UpdateOptions options;

    BookingRun(const fs::path& inventorySource, const std::string& inventoryName, const fs::path& orderSource,
               const std::string& orderName)
        : inventory(dir.copy(inventorySource, inventoryName)), order(dir.copy(orderSource, orderName)) {
        ui.inventoryPaths = {inventory.string()};
        ui.orderFile = order.string();
        options.defaultDir = dir.path().string() + "/";
    }
    stock::UpdateResult run() {
        orders::Opener opener;
        stock::JournalFile journal;
        return stock::runUpdate(ui, opener, journal, options);
    }
};

struct Booked {
    std::string values;   // openpyxl's dump of the saved inventory
    std::string formulas; // the same with formulas as text
    std::vector<stocktest::Message> messages;
};

Booked book(const std::string& caseName, const fs::path& order, const std::string& orderName) {
    BookingRun booking(testsupport::fixture("stock/cases/" + caseName + "/inventory.xlsx"), "Tulverkan.xlsx",
                       order, orderName);
    const auto orderBytes = testsupport::readFile(booking.order);
    auto result = booking.run();
    EXPECT_EQ(result.outcome, stock::UpdateResult::Outcome::Done) << order;
    EXPECT_TRUE(result.saved) << order;
    EXPECT_EQ(testsupport::readFile(booking.order), orderBytes) << "the order was changed";
    return {testsupport::openpyxlDump(booking.inventory), testsupport::openpyxlDump(booking.inventory, true),
            booking.ui.messages};
}

class BookingFromFormats : public ::testing::TestWithParam<std::string> {};

// The same order booked from .xlsx, .xls and .ods into copies of the same inventory saves the same
// inventory, cell for cell, values and formulas, with the same messages on the way.
TEST_P(BookingFromFormats, SameSavedInventoryFromEveryFormat) {
    const auto& name = GetParam();
    const auto fromXlsx = book(name, caseOrder(name), "Bestilling.xlsx");
    EXPECT_EQ(fromXlsx.values,
              testsupport::readFile(testsupport::fixture("stock/cases/" + name + "/expected.txt")));
    for (const char* extension : {".xls", ".ods"}) {
        const auto other =
            book(name, orderFixture("cases/" + name + extension), std::string("Bestilling") + extension);
        EXPECT_EQ(other.values, fromXlsx.values) << extension;
        EXPECT_EQ(other.formulas, fromXlsx.formulas) << extension;
        EXPECT_EQ(other.messages, fromXlsx.messages) << extension;
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, BookingFromFormats, ::testing::ValuesIn(convertedCases()),
                         [](const auto& info) {
                             std::string name = info.param;
                             std::replace(name.begin(), name.end(), '-', '_');
                             return name;
                         });

// An inventory saved as .xls is refused before the order is booked: nothing is saved, the run ends
// with the error the user reads.
TEST(BookingFromFormats, XlsInventoryIsRefusedAndLeftAlone) {
    BookingRun booking(orderFixture("kinds.xls"), "Tulverkan.xls", caseOrder("book-and-create"),
                       "Bestilling.xlsx");
    const auto before = testsupport::readFile(booking.inventory);
    try {
        booking.run();
        ADD_FAILURE() << "the run went through";
    } catch (const sheets::Error& e) {
        EXPECT_NE(std::string(e.what()).find("lagre den som .xlsx i regnearkprogrammet først"),
                  std::string::npos);
    }
    EXPECT_EQ(testsupport::readFile(booking.inventory), before);
    EXPECT_FALSE(booking.ui.busy);
}

} // namespace
} // namespace orderstest
