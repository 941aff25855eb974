#include "stock/UpdateRun.h"

#include "BookedBefore.h"
#include "Run.h"
#include "RunStamp.h"
#include "StockLineMerge.h"
#include "StockSheetSelection.h"
#include "stock/Journal.h"
#include "stock/OrderLine.h"

#include <algorithm>
#include <filesystem>
#include <optional>
#include <system_error>

namespace stock {

namespace {

// Set while the workbooks are worked on; back to normal on every way out, failures included.
class BusyCursor {
public:
    explicit BusyCursor(UserInterface& ui) : m_ui(ui) { m_ui.setBusyCursor(true); }
    ~BusyCursor() { m_ui.setBusyCursor(false); }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;

private:
    UserInterface& m_ui;
};

OrderLine readOrderLine(Run& run, int Row) {
    OrderLine line;
    line.Row = Row;
    line.Produkt = run.CellStr1(Row, 2);
    line.Grade = run.CellStr1(Row, 3);
    line.H = run.CellStr1(Row, 4);
    line.B = run.CellStr1(Row, 5);
    line.T = run.CellStr1(Row, 6);
    line.Overflate = run.CellStr1(Row, 7);
    line.Meter = run.CellStr1(Row, 8);
    line.A = run.CellStr1(Row, 9);
    line.Prosjekt = run.CellStr1(Row, 11);
    return line;
}

// The walk over the order alone: every marked line, read before the inventory changes.
std::vector<OrderLine> readMarkedLines(Run& run) {
    std::vector<OrderLine> marked;
    for (int Row = 10; !run.CellStr1(Row, 2).empty(); ++Row)
        if (!run.CellStr1(Row, 14).empty()) marked.push_back(readOrderLine(run, Row));
    return marked;
}

void bookLines(Run& run, const std::vector<OrderLine>& marked, const std::vector<bool>& leaveOut) {
    for (std::size_t i = 0; i < marked.size(); ++i) {
        if (leaveOut[i]) continue;
        run.beginLine(marked[i]);
        OrderLine line = marked[i]; // the sheet selection may shift its dimensions
        if (auto stock = selectStockSheet(run, line)) mergeStockLine(run, line, *stock);
    }
    run.endLines();
}

std::string linesText(int n) {
    return std::to_string(n) + (n == 1 ? " linje" : " linjer");
}

// The journal's entries, or none after telling the user why; the journal never stops a booking.
std::vector<JournalEntry> readJournal(Run& run, Journal& journal, const std::string& inventory) {
    JournalContents contents;
    try {
        contents = journal.read(inventory);
    } catch (const JournalError& e) {
        run.warn("Loggen «" + journal.location(inventory) + "» kunne ikke leses: " + e.cause() +
                 ". Bokføringen går videre uten å se etter linjer som er bokført før.");
        return {};
    }
    if (contents.damagedLines > 0)
        run.warn("Loggen «" + journal.location(inventory) + "» har " + linesText(contents.damagedLines) +
                 " som ikke kan leses (" + (contents.damagedLines == 1 ? "linje " : "den første er linje ") +
                 std::to_string(contents.firstDamagedLine) + "); " +
                 (contents.damagedLines == 1 ? "den er" : "de er") + " hoppet over.");
    return std::move(contents.entries);
}

void writeJournal(Run& run, Journal& journal, const std::vector<JournalEntry>& earlier,
                  UpdateResult& result) {
    int lastRun = 0;
    for (const auto& entry : earlier)
        lastRun = std::max(lastRun, entry.run);
    const RunStamp stamp = stampNow();
    // In full: the journal is read by people who did not run it, from other folders.
    const std::string orderFile = std::filesystem::absolute(result.orderPath).string();
    std::vector<JournalEntry> entries;
    for (const auto& line : result.lines)
        entries.push_back(
            {stamp.time, stamp.user, stamp.host, lastRun + 1, orderFile, result.orderSheet, line});
    try {
        journal.append(result.inventoryPath, entries);
        result.journalWritten = true;
    } catch (const JournalError& e) {
        run.warn("Bokføringen er lagret, men loggen «" + journal.location(result.inventoryPath) +
                 "» kunne ikke skrives: " + e.cause() + ".");
    }
}

} // namespace

UpdateResult runUpdate(UserInterface& ui, sheets::WorkbookOpener& opener, Journal& journal,
                       const UpdateOptions& options) {
    UpdateResult result;
    result.inventoryPath = ui.inventoryPath();
    std::error_code ec;
    if (!std::filesystem::is_regular_file(result.inventoryPath, ec)) {
        ui.showMessage(result.inventoryPath, "Finner ikke lagerfilen", MessageFlags::ErrorIcon);
        result.outcome = UpdateResult::Outcome::MissingInventory;
        return result;
    }

    auto chosen = ui.chooseOrderFile(options.defaultDir + "Data");
    if (!chosen) {
        result.outcome = UpdateResult::Outcome::Cancelled;
        return result;
    }
    result.orderPath = *chosen;

    bool orderOpened = false;
    try {
        BusyCursor busy(ui);
        auto order = opener.open(result.orderPath, sheets::OpenMode::ReadOnly);
        orderOpened = true;
        Run run(ui, options.textFormat, result);
        run.OleWorkSheet1 = &order->activeSheet();
        result.orderSheet = run.OleWorkSheet1->name();

        // The path box is read again here: that is the file opened and saved. From here until it is
        // dropped the inventory is this run's: its journal is read and written under that hold.
        result.inventoryPath = ui.inventoryPath();
        auto inventory = opener.open(result.inventoryPath, sheets::OpenMode::ReadWrite);
        run.OleWorkBook2 = inventory.get();

        const auto marked = readMarkedLines(run);
        const auto earlier = readJournal(run, journal, result.inventoryPath);
        const auto booked = findBookedBefore(earlier, result.orderPath, result.orderSheet, marked);
        std::vector<bool> leaveOut(marked.size(), false);
        result.bookedBefore = booked.count;
        if (booked.count > 0) {
            switch (ui.ask(bookedBeforeQuestion(booked, result.orderPath))) {
            case Answer::Yes:
                break;
            case Answer::No:
                leaveOut = booked.marked;
                result.leftOut = booked.count;
                break;
            case Answer::Cancel:
                result.outcome = UpdateResult::Outcome::Declined;
                return result;
            }
        }

        bookLines(run, marked, leaveOut);

        if (!options.dryRun) {
            inventory->save();
            result.saved = true;
            writeJournal(run, journal, earlier, result);
        }
    } catch (...) {
        // The user may want to look at the order that failed; the inventory was not saved.
        if (orderOpened) ui.showWorkbooks(result.orderPath, std::nullopt);
        throw;
    }
    result.outcome = UpdateResult::Outcome::Done;
    ui.showWorkbooks(result.orderPath, result.inventoryPath);
    return result;
}

} // namespace stock
