#include "BookingHarness.h"

#include <algorithm>

namespace stocktest {
namespace {

using Kind = stock::LineOutcome::Kind;

// A HEA sheet with two dimensions (quantity in column 8) and an order that meets a line, makes one
// at the end, makes one in an inserted row, and names a product without a sheet.
class JournalGuard : public BookingTest {
public:
    JournalGuard() : hea(addStockSheet(inventory, "HEA", 2)) {
        putStockLine(hea, 3, 2, {"HEA", "S235", 100, 100, "", "Blank", 6, 10, "P1", ""});
        putStockLine(hea, 4, 2, {"HEA", "S355", 100, 100, "", "Blank", 6, 2.5, "P1", ""});
        order(10, {"HEA", "S235", 100, 100, "", "Blank", 6, 5, "P-1"});
        order(11, {"HEA", "S460", 100, 100, "", "Blank", "6 m", 1, "P-2"});
        order(12, {"UNP", "S235", 100, "", "", "Blank", 6, 1, "P-3"});
        order(13, {"HEA", "S275", 100, 100, "", "Blank", 6, 2, "P-4"});
    }
    void order(int row, OrderRow line) { putOrderLine(orderSheet, row, line); }
    // What a line's quantity and project read now.
    std::string booked(int row) { return at(hea, row, 8) + " " + at(hea, row, 12); }
    // The journal's lines as if a colleague had booked them on a December morning.
    void bookedEarlierBy(const std::string& user) {
        for (auto& entry : journal.entries) {
            entry.time = "2026-12-10T09:14:03+01:00";
            entry.user = user;
        }
    }

    FakeSheet& hea;
};

TEST_F(JournalGuard, FirstRunAsksNothingAndJournalsEveryMarkedLineAfterTheSave) {
    auto result = run();
    EXPECT_TRUE(ui.questions.empty());
    EXPECT_EQ(journal.reads, 1);
    ASSERT_EQ(journal.appends, 1);
    EXPECT_EQ(journal.appendedFor, inventoryPath);
    EXPECT_TRUE(result.journalWritten);
    ASSERT_EQ(journal.entries.size(), 4u);
    // ISO 8601 with the offset: 2026-12-10T09:14:03+01:00 ('9' any digit, '+' either sign).
    const auto isStamp = [](const std::string& time) {
        const std::string shape = "9999-99-99T99:99:99+99:99";
        return time.size() == shape.size() &&
               std::equal(shape.begin(), shape.end(), time.begin(), [](char s, char t) {
                   return s == '9' ? t >= '0' && t <= '9' : s == '+' ? t == '+' || t == '-' : s == t;
               });
    };
    for (const auto& e : journal.entries) {
        EXPECT_TRUE(isStamp(e.time)) << e.time;
        EXPECT_FALSE(e.user.empty());
        EXPECT_FALSE(e.host.empty());
        EXPECT_EQ(e.run, 1);
        EXPECT_EQ(e.orderFile, "/bestillinger/ordre.xlsx");
        EXPECT_EQ(e.orderSheet, "Bestilling");
    }
    const auto& found = journal.entries[0].line;
    EXPECT_EQ(found.order.Row, 10);
    EXPECT_EQ(found.kind, Kind::Found);
    EXPECT_EQ(found.stockSheet + "!" + std::to_string(found.stockRow), "HEA!3");
    EXPECT_EQ(found.quantityBefore + " -> " + found.quantityAfter, "10 -> 15");
    const auto& atTheEnd = journal.entries[1].line;
    EXPECT_EQ(atTheEnd.kind, Kind::Created);
    EXPECT_EQ(atTheEnd.order.Meter, "6 m");
    EXPECT_EQ(atTheEnd.warnings, "Lengde \"6 m\" på rad 11 er ikke et tall! HEA er bokført med lengde 0.");
    EXPECT_EQ(atTheEnd.quantityBefore + " -> " + atTheEnd.quantityAfter, " -> 1");
    const auto& noSheet = journal.entries[2].line;
    EXPECT_EQ(noSheet.kind, Kind::NotBooked);
    EXPECT_EQ(noSheet.stockSheet + std::to_string(noSheet.stockRow), "0");
    EXPECT_EQ(noSheet.warnings, "Ark UNP ikke funnet i tulverkan!");
    const auto& inserted = journal.entries[3].line;
    EXPECT_EQ(inserted.kind, Kind::CreatedInInsertedRow);
    EXPECT_EQ(inserted.stockRow, 4);
    // The journal is written from the result the front ends present.
    EXPECT_EQ(result.lines.size(), 4u);
    EXPECT_EQ(result.lines[3], inserted);
}

TEST_F(JournalGuard, NumbersInTheJournalReadAsTheCellTextsDo) {
    options.textFormat.decimalSeparator = ".";
    order(14, {"HEA", "S355", 100, 100, "", "Blank", 6, 0.25, "P-5"});
    run();
    ASSERT_EQ(journal.entries.size(), 5u);
    const auto& line = journal.entries[4].line;
    EXPECT_EQ(line.order.A, "0.25");
    EXPECT_EQ(line.quantityBefore + " -> " + line.quantityAfter, "2.5 -> 2.75");
}

struct Again {
    const char* name;
    stock::Answer answer;
    std::string afterwards; // rows 3 and 6 (the S460 line, moved down by the S275 one)
    std::size_t journalled;
};

class JournalGuardAnswer : public JournalGuard, public ::testing::WithParamInterface<Again> {};

TEST_P(JournalGuardAnswer, SecondRunAsksOnceAndDoesWhatTheAnswerSays) {
    run();
    bookedEarlierBy("lager1");
    const std::string firstDump = inventory.dump();
    ui.answers = {GetParam().answer};
    ui.messages.clear();
    auto result = run();
    ASSERT_EQ(ui.questions.size(), 1u);
    const auto& q = ui.questions[0];
    EXPECT_EQ(q.caption, "Tulverkan");
    EXPECT_EQ(q.text,
              "3 av 4 merkede linjer i «ordre.xlsx» er bokført i denne lagerfilen før, sist 10.12.2026 "
              "kl. 09.14 av lager1.");
    EXPECT_EQ(q.yes, "bokfør alle 4 linjene på nytt");
    EXPECT_EQ(q.no, "bokfør bare den ene nye linjen");
    EXPECT_EQ(q.cancel, "bokfør ingenting og lagre ingenting");
    EXPECT_EQ(result.bookedBefore, 3);
    EXPECT_EQ(booked(3) + " / " + booked(6), GetParam().afterwards);
    EXPECT_EQ(journal.entries.size(), GetParam().journalled);
    if (GetParam().answer == stock::Answer::Cancel) {
        EXPECT_EQ(result.outcome, stock::UpdateResult::Outcome::Declined);
        EXPECT_EQ(inventory.dump(), firstDump);
        EXPECT_EQ(inventory.saves(), 1);
        EXPECT_FALSE(ui.busy);
        EXPECT_EQ(ui.events.back(), "idle");
        return;
    }
    EXPECT_EQ(inventory.saves(), 2);
    // The line without a sheet was not booked, so it is asked about never and warned about again.
    EXPECT_EQ(ui.messages.size(), 1u + (GetParam().answer == stock::Answer::Yes ? 1u : 0u));
    EXPECT_EQ(journal.entries.back().run, 2);
}

INSTANTIATE_TEST_SUITE_P(
    Answers, JournalGuardAnswer,
    ::testing::Values(Again{"JaBooksEveryLineAgain", stock::Answer::Yes, "20 P-1 / 2 P-2", 8},
                      Again{"NeiBooksOnlyTheLineNotBookedBefore", stock::Answer::No, "15 P-1 / 1 P-2", 5},
                      Again{"AvbrytBooksAndSavesNothing", stock::Answer::Cancel, "15 P-1 / 1 P-2", 4}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(JournalGuard, PartialDeliveryNeiBooksExactlyTheLinesMarkedSince) {
    for (int row = 14; row <= 16; ++row)
        order(row, {"HEA", "S235", 100 + row, 100, "", "Blank", 6, 1, "P-9", ""}); // not marked yet
    run();
    bookedEarlierBy("lager1");
    for (int row = 14; row <= 16; ++row)
        orderSheet.put(row, 14, "x");
    ui.answers = {stock::Answer::No};
    auto result = run();
    ASSERT_EQ(ui.questions.size(), 1u);
    EXPECT_EQ(ui.questions[0].text.substr(0, 26), "3 av 7 merkede linjer i «");
    EXPECT_EQ(ui.questions[0].no, "bokfør bare de 4 nye linjene");
    std::vector<int> rows;
    for (const auto& line : result.lines)
        rows.push_back(line.order.Row);
    EXPECT_EQ(rows, (std::vector<int>{12, 14, 15, 16}));
    EXPECT_EQ(result.bookings.size(), 3u);
    EXPECT_EQ(result.leftOut, 3);
    EXPECT_EQ(booked(3), "15 P-1");
}

// Documented: the order is known by its file name, sheet, row and texts. A renamed order file is a
// new order; a copy in another folder is the same one.
TEST_F(JournalGuard, TheOrderIsKnownByFileNameSheetRowAndTexts) {
    run();
    order(11, {"HEA", "S460", 100, 100, "", "Blank", "6 m", 1, "P-2 endret"});
    testsupport::FakeWorkbook renamed{"/bestillinger/ordre (2).xlsx"};
    testsupport::FakeWorkbook moved{"/arkiv/2026/ordre.xlsx"};
    for (auto* book : {&renamed, &moved}) {
        auto& sheet = book->addSheet("Bestilling");
        for (int row = 10; row <= 13; ++row)
            for (int column = 1; column <= 14; ++column)
                sheet.put(row, column,
                          orderSheet.cell(row, column).kind == sheets::CellValue::Kind::Empty
                              ? FakeValue()
                              : FakeValue(at(orderSheet, row, column)));
        opener.add(*book);
    }
    ui.orderFile = renamed.path().string();
    ui.answers = {stock::Answer::Cancel};
    run();
    EXPECT_TRUE(ui.questions.empty()) << "a renamed order is not recognised";
    ui.orderFile = moved.path().string();
    run();
    ASSERT_EQ(ui.questions.size(), 1u);
    // Row 10 and 13 as booked; row 11's project changed; row 12 was never booked (no sheet).
    EXPECT_EQ(ui.questions[0].text.substr(0, 26), "2 av 4 merkede linjer i «");
}

TEST_F(JournalGuard, AJournalThatCannotBeReadOrWrittenNeverStopsABooking) {
    journal.readFailure = "ingen tilgang";
    journal.writeFailure = "disken er full";
    auto result = run();
    EXPECT_TRUE(result.saved);
    EXPECT_FALSE(result.journalWritten);
    EXPECT_EQ(booked(3), "15 P-1");
    const std::string log = (dir / "Tulverkan-logg.csv").string();
    ASSERT_GE(ui.messages.size(), 2u);
    EXPECT_EQ(
        ui.messages.front(),
        warning("Loggen «" + log +
                "» kunne ikke leses: ingen tilgang. Bokføringen går videre uten å se etter linjer som er "
                "bokført før."));
    EXPECT_EQ(ui.messages.back(),
              warning("Bokføringen er lagret, men loggen «" + log + "» kunne ikke skrives: disken er full."));
    // The save came first: the warning is shown over a saved inventory.
    EXPECT_EQ(inventory.saves(), 1);
    // Journal warnings belong to no line.
    EXPECT_EQ(result.lines[0].warnings, "");
}

TEST_F(JournalGuard, DamagedJournalLinesAreOneWarningBeforeTheWalk) {
    journal.damagedLines = 2;
    journal.firstDamagedLine = 7;
    run();
    ASSERT_FALSE(ui.messages.empty());
    EXPECT_EQ(ui.messages.front(), warning("Loggen «" + (dir / "Tulverkan-logg.csv").string() +
                                           "» har 2 linjer som ikke kan leses (den første er linje 7); de er "
                                           "hoppet over."));
    EXPECT_EQ(journal.entries.size(), 4u);
}

TEST_F(JournalGuard, DryRunAsksAsARealRunButWritesNoJournal) {
    run();
    options.dryRun = true;
    ui.answers = {stock::Answer::Yes};
    auto result = run();
    EXPECT_EQ(ui.questions.size(), 1u);
    EXPECT_EQ(journal.appends, 1);
    EXPECT_FALSE(result.journalWritten);
    EXPECT_EQ(inventory.saves(), 1);
}

} // namespace
} // namespace stocktest
