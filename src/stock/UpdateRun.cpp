#include "stock/UpdateRun.h"

#include "OrderLine.h"
#include "Run.h"
#include "StockLineMerge.h"
#include "StockSheetSelection.h"

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

void walkOrderLines(Run& run) {
    for (int Row = 10; !run.CellStr1(Row, 2).empty(); ++Row) {
        if (run.CellStr1(Row, 14).empty()) continue;
        OrderLine line = readOrderLine(run, Row);
        if (auto stock = selectStockSheet(run, line)) mergeStockLine(run, line, *stock);
    }
}

} // namespace

UpdateResult runUpdate(UserInterface& ui, sheets::WorkbookOpener& opener, const UpdateOptions& options) {
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

        // The path box is read again here: that is the file opened and saved.
        result.inventoryPath = ui.inventoryPath();
        auto inventory = opener.open(result.inventoryPath, sheets::OpenMode::ReadWrite);
        run.OleWorkBook2 = inventory.get();

        walkOrderLines(run);

        if (!options.dryRun) {
            inventory->save();
            result.saved = true;
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
