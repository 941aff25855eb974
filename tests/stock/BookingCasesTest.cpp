#include "BookingHarness.h"

#include "sheets/Error.h"
#include "stock/JournalFile.h"
#include "support/Python.h"
#include "xlsx/XlsxWorkbook.h"

#include <algorithm>
#include <filesystem>
#include <sstream>

namespace stocktest {
namespace {

// Golden booking cases through the real engine: tests/fixtures/stock/cases/NAME/ holds
// inventory.xlsx and order.xlsx (written by openpyxl and xlsxwriter), expected.txt (openpyxl's dump
// of the saved inventory), optionally expected-formulas.txt (the same with formulas as text) and
// messages.txt (one "caption<TAB>flags<TAB>text" line per message). A case whose run must end in an
// error holds error.txt, the error's message, instead of expected.txt. runs.txt, where present, is
// the number of times the order is booked, one run after the other.
std::filesystem::path casesFolder() {
    return testsupport::fixture("stock/cases");
}

std::vector<std::string> caseNames() {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(casesFolder()))
        if (entry.is_directory()) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<Message> expectedMessages(const std::filesystem::path& file) {
    std::vector<Message> messages;
    std::istringstream lines(testsupport::readFile(file));
    for (std::string line; std::getline(lines, line);) {
        auto tab1 = line.find('\t');
        auto tab2 = line.find('\t', tab1 + 1);
        if (tab1 == std::string::npos || tab2 == std::string::npos) {
            ADD_FAILURE() << file << ": bad line " << line;
            continue;
        }
        messages.push_back({line.substr(tab2 + 1), line.substr(0, tab1),
                            static_cast<stock::MessageFlags>(
                                std::stoi(line.substr(tab1 + 1, tab2 - tab1 - 1), nullptr, 0))});
    }
    return messages;
}

struct CaseRun {
    testsupport::TempDir dir;
    std::filesystem::path inventory;
    std::filesystem::path order;
    RecordingUi ui;
    stock::UpdateOptions options;

    explicit CaseRun(const std::string& name) {
        auto folder = casesFolder() / name;
        inventory = dir.copy(folder / "inventory.xlsx", "Tulverkan.xlsx");
        order = dir.copy(folder / "order.xlsx", "Bestilling.xlsx");
        ui.inventoryPaths = {inventory.string()};
        ui.orderFile = order.string();
        options.defaultDir = dir.path().string() + "/";
    }
    stock::UpdateResult run() {
        xlsx::Opener opener;
        stock::JournalFile journal;
        return stock::runUpdate(ui, opener, journal, options);
    }
};

class BookingCase : public ::testing::TestWithParam<std::string> {};

TEST_P(BookingCase, SavedInventoryAsExpected) {
    CaseRun c(GetParam());
    const auto orderBytes = testsupport::readFile(c.order);
    auto folder = casesFolder() / GetParam();
    if (auto error = folder / "error.txt"; std::filesystem::exists(error)) {
        const auto inventoryBytes = testsupport::readFile(c.inventory);
        try {
            c.run();
            ADD_FAILURE() << "the run did not end with an error";
        } catch (const sheets::Error& failure) {
            EXPECT_EQ(failure.what(), testsupport::readFile(error));
        }
        EXPECT_EQ(testsupport::readFile(c.inventory), inventoryBytes) << "the inventory was saved";
        EXPECT_EQ(testsupport::readFile(c.order), orderBytes) << "the order workbook was changed";
        EXPECT_EQ(c.ui.messages, expectedMessages(folder / "messages.txt"));
        return;
    }
    const auto runsFile = folder / "runs.txt";
    const int runs = std::filesystem::exists(runsFile) ? std::stoi(testsupport::readFile(runsFile)) : 1;
    ASSERT_GE(runs, 1);
    for (int i = 0; i < runs; ++i) {
        auto result = c.run();
        EXPECT_EQ(result.outcome, stock::UpdateResult::Outcome::Done);
        EXPECT_TRUE(result.saved);
    }
    // Every run after the first finds the order in the journal and is answered Ja: book it again.
    EXPECT_EQ(c.ui.questions.size(), static_cast<std::size_t>(runs - 1));
    EXPECT_EQ(testsupport::openpyxlDump(c.inventory), testsupport::readFile(folder / "expected.txt"));
    if (auto formulas = folder / "expected-formulas.txt"; std::filesystem::exists(formulas)) {
        EXPECT_EQ(testsupport::openpyxlDump(c.inventory, true), testsupport::readFile(formulas));
    }
    EXPECT_EQ(c.ui.messages, expectedMessages(folder / "messages.txt"));
    EXPECT_EQ(testsupport::readFile(c.order), orderBytes) << "the order workbook was changed";
    EXPECT_FALSE(c.ui.busy);
}

INSTANTIATE_TEST_SUITE_P(Cases, BookingCase, ::testing::ValuesIn(caseNames()), [](const auto& info) {
    std::string name = info.param;
    std::replace(name.begin(), name.end(), '-', '_');
    return name;
});

TEST(BookingCases, DryRunLeavesTheInventoryFileAlone) {
    auto names = caseNames();
    ASSERT_FALSE(names.empty());
    CaseRun c(names.front());
    const auto before = testsupport::readFile(c.inventory);
    c.options.dryRun = true;
    auto result = c.run();
    EXPECT_EQ(result.outcome, stock::UpdateResult::Outcome::Done);
    EXPECT_FALSE(result.bookings.empty());
    EXPECT_EQ(testsupport::readFile(c.inventory), before);
}

// What a LibreOffice user sees on opening the booked inventory: formulas over a booked line show the
// new result, not the cached one from before the booking.
TEST(BookingCases, LibreOfficeShowsTheBookedResults) {
    if (testsupport::soffice().empty()) GTEST_SKIP() << "LibreOffice is not installed";
    CaseRun c("book-and-create");
    c.run();
    auto csv = c.dir / "csv";
    auto converted = testsupport::runPythonScript("libreoffice_csv.py", {c.inventory.string(), csv.string()});
    ASSERT_EQ(converted.exitCode, 0) << converted.err;
    std::istringstream lines(testsupport::readFile(csv / "HEA.csv"));
    std::vector<std::string> meters; // column I, the length times the quantity
    for (std::string line; std::getline(lines, line);) {
        std::istringstream fields(line);
        std::string field;
        for (int column = 1; column <= 9 && std::getline(fields, field, ','); ++column) {
        }
        meters.push_back(field);
    }
    EXPECT_EQ(meters, (std::vector<std::string>{"Meter", "m", "", "60", "", "102", "48", ""}));
}

} // namespace
} // namespace stocktest
