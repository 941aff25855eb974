#include "BookingHarness.h"

#include "sheets/Error.h"

#include <filesystem>

namespace stocktest {
namespace {

using Outcome = stock::UpdateResult::Outcome;

class UpdateRun : public BookingTest {
public:
    UpdateRun() {
        auto& hea = addStockSheet(inventory, "HEA", 1);
        putStockLine(hea, 3, 1, {"HEA", "S235", "200", "", "", "Blank", 6, 12, "P1", ""});
    }
    FakeSheet& hea() { return inventory.fake(1); }
};

TEST_F(UpdateRun, MissingInventoryFileOrAFolderEndsTheRunWithAnError) {
    for (auto path : {(dir / "finnes-ikke.xlsx").string(), dir.path().string(), std::string()}) {
        ui = RecordingUi();
        ui.inventoryPaths = {path};
        ui.orderFile = order.path().string();
        auto result = run();
        EXPECT_EQ(result.outcome, Outcome::MissingInventory) << path;
        EXPECT_EQ(ui.messages,
                  (std::vector<Message>{{path, "Finner ikke lagerfilen", stock::MessageFlags::ErrorIcon}}));
        EXPECT_EQ(ui.events, (std::vector<std::string>{"path", "message Finner ikke lagerfilen"}));
    }
    EXPECT_TRUE(opener.opened.empty());
}

TEST_F(UpdateRun, CancelledDialogDoesNothing) {
    ui.orderFile.reset();
    auto result = run();
    EXPECT_EQ(result.outcome, Outcome::Cancelled);
    EXPECT_EQ(ui.events, (std::vector<std::string>{"path", "choose /opt/tulverkan/Data"}));
    EXPECT_TRUE(opener.opened.empty());
    EXPECT_EQ(inventory.saves(), 0);
}

TEST_F(UpdateRun, CompletedRunInItsOrder) {
    putOrderLine(orderSheet, 10, {"HEA", "S235", 200, "", "", "Blank", 6, 5, "P2"});
    // The path box is read again when the inventory is opened; that file is the one used.
    auto other = dir / "Annen.xlsx";
    testsupport::writeFile(other, "");
    testsupport::FakeWorkbook otherInventory{other};
    addStockSheet(otherInventory, "HEA", 1);
    opener.add(otherInventory);
    ui.inventoryPaths = {inventoryPath.string(), other.string()};

    auto result = run();

    EXPECT_EQ(result.outcome, Outcome::Done);
    EXPECT_EQ(ui.events,
              (std::vector<std::string>{"path", "choose /opt/tulverkan/Data", "busy", "path", "idle",
                                        "show /bestillinger/ordre.xlsx " + other.string()}));
    ASSERT_EQ(opener.opened.size(), 2u);
    EXPECT_EQ(opener.opened[0].path, order.path());
    EXPECT_EQ(opener.opened[0].mode, sheets::OpenMode::ReadOnly);
    EXPECT_EQ(opener.opened[1].path, other);
    EXPECT_EQ(opener.opened[1].mode, sheets::OpenMode::ReadWrite);
    EXPECT_EQ(otherInventory.saves(), 1);
    EXPECT_EQ(inventory.saves(), 0);
    EXPECT_TRUE(result.saved);
    EXPECT_EQ(result.orderPath, order.path().string());
    EXPECT_EQ(result.inventoryPath, other.string());
    EXPECT_EQ(at(otherInventory.fake(1), 3, 7), "5");
    EXPECT_EQ(orderSheet.writes(), 0);
}

TEST_F(UpdateRun, EmptyOrderIsStillSaved) {
    orderSheet.put(11, 2, "HEA").put(11, 14, "x"); // below the empty row 10: never read
    auto result = run();
    EXPECT_EQ(result.outcome, Outcome::Done);
    EXPECT_TRUE(result.bookings.empty());
    EXPECT_EQ(inventory.saves(), 1);
    EXPECT_EQ(at(hea(), 3, 7), "12");
}

TEST_F(UpdateRun, WalkBooksMarkedRowsUntilColumnTwoIsBlank) {
    putOrderLine(orderSheet, 10, {"HEA", "S235", 200, "", "", "Blank", 6, 1, "P10"});
    putOrderLine(orderSheet, 11, {"HEA", "S235", 200, "", "", "Blank", 6, 100, "P11", ""});  // not marked
    putOrderLine(orderSheet, 12, {"HEA", "S235", 200, "", "", "Blank", 6, 2, "P12", " \t"}); // blank mark
    putOrderLine(orderSheet, 13, {"HEA", "S235", 200, "", "", "Blank", 6, 3, "P13", 1}); // any value marks
    putOrderLine(orderSheet, 14, {"  ", "S235", 200, "", "", "Blank", 6, 1000, "P14"}); // blanks end the list
    putOrderLine(orderSheet, 15, {"HEA", "S235", 200, "", "", "Blank", 6, 1000, "P15"});

    auto result = run();

    ASSERT_EQ(result.bookings.size(), 2u);
    EXPECT_EQ(result.bookings[0].orderRow, 10);
    EXPECT_EQ(result.bookings[1].orderRow, 13);
    EXPECT_EQ(at(hea(), 3, 7), "16");
    EXPECT_EQ(at(hea(), 3, 11), "P13");
}

TEST_F(UpdateRun, WarningsDoNotStopLaterLines) {
    putOrderLine(orderSheet, 10, {"IPE", "S235", 200, "", "", "Blank", 6, 1, "P1"});
    putOrderLine(orderSheet, 11, {"HEA", "S235", 200, "", "", "Blank", 6, 4, "P2"});
    auto result = run();
    EXPECT_EQ(ui.messages, (std::vector<Message>{warning("Ark IPE ikke funnet i tulverkan!")}));
    EXPECT_EQ(result.warnings, (std::vector<std::string>{"Ark IPE ikke funnet i tulverkan!"}));
    ASSERT_EQ(result.bookings.size(), 1u);
    EXPECT_EQ(result.bookings[0].quantity, 16);
    EXPECT_EQ(inventory.saves(), 1);
}

TEST_F(UpdateRun, DryRunBooksButDoesNotSave) {
    putOrderLine(orderSheet, 10, {"HEA", "S235", 200, "", "", "Blank", 6, 5, "P2"});
    options.dryRun = true;
    auto result = run();
    EXPECT_EQ(result.outcome, Outcome::Done);
    EXPECT_FALSE(result.saved);
    EXPECT_EQ(inventory.saves(), 0);
    ASSERT_EQ(result.bookings.size(), 1u);
    EXPECT_EQ(at(hea(), 3, 7), "17");
    EXPECT_EQ(ui.events.back(), "show /bestillinger/ordre.xlsx " + inventoryPath.string());
}

struct Failure {
    const char* name;
    void (*arrange)(UpdateRun&);
    const char* message; // {dir} stands for the test's folder
    bool orderOpened = true;
};

class UpdateRunFailure : public UpdateRun, public ::testing::WithParamInterface<Failure> {};

// Every failure passes on with its message, leaves nothing saved and the cursor restored.
TEST_P(UpdateRunFailure, EndsTheRunWithNothingSavedAndTheCursorRestored) {
    GetParam().arrange(*this);
    std::string expected = GetParam().message;
    if (auto at = expected.find("{dir}"); at != std::string::npos)
        expected.replace(at, 5, dir.path().string());
    try {
        run();
        ADD_FAILURE() << "no failure";
    } catch (const sheets::Error& e) {
        EXPECT_EQ(e.what(), expected);
    }
    EXPECT_FALSE(ui.busy);
    EXPECT_EQ(inventory.saves(), 0);
    // Only an order that was opened is shown, after the cursor is restored; never the inventory.
    auto idle = std::find(ui.events.begin(), ui.events.end(), "idle");
    ASSERT_NE(idle, ui.events.end());
    auto shown = std::vector<std::string>(idle + 1, ui.events.end());
    if (GetParam().orderOpened)
        EXPECT_EQ(shown, std::vector<std::string>{"show " + ui.orderFile.value()});
    else
        EXPECT_EQ(shown, std::vector<std::string>{});
}

INSTANTIATE_TEST_SUITE_P(
    Failures, UpdateRunFailure,
    ::testing::Values(
        Failure{"OrderCannotBeOpened", [](UpdateRun& t) { t.ui.orderFile = "/bestillinger/borte.xlsx"; },
                "Kan ikke åpne «/bestillinger/borte.xlsx»: filen finnes ikke", false},
        Failure{"InventoryCannotBeOpened",
                [](UpdateRun& t) {
                    // The file exists, so the first check passes; the opener refuses it.
                    testsupport::writeFile(t.dir / "skadet.xlsx", "");
                    t.ui.inventoryPaths = {(t.dir / "skadet.xlsx").string()};
                },
                "Kan ikke åpne «{dir}/skadet.xlsx»: filen finnes ikke"},
        Failure{"ErrorValueInTheOrder",
                [](UpdateRun& t) {
                    putOrderLine(t.orderSheet, 10, {"HEA", "S235", 200, "", "", "Blank", 6, 5, "P"});
                    t.orderSheet.put(11, 2, FakeValue::error("#N/A"));
                },
                "Could not convert variant of type (Dispatch) into type (OleStr)"},
        Failure{"ErrorValueInTheStock",
                [](UpdateRun& t) {
                    putOrderLine(t.orderSheet, 10, {"HEA", "S235", 300, "", "", "Blank", 6, 5, "P"});
                    t.hea().put(3, 3, FakeValue::error("#REF!"));
                },
                "Could not convert variant of type (Dispatch) into type (OleStr)"},
        Failure{"ProductNamesAChartsheet",
                [](UpdateRun& t) {
                    t.inventory.addChartsheet("Diagram");
                    putOrderLine(t.orderSheet, 10, {"Diagram", "S235", 300, "", "", "Blank", 6, 5, "P"});
                },
                "Arket «Diagram» i «{dir}/Tulverkan.xlsx» har ingen celler"},
        Failure{"SaveFails",
                [](UpdateRun& t) { t.inventory.failSave("Kan ikke lagre «lager»: disken er full"); },
                "Kan ikke lagre «lager»: disken er full"}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace stocktest
