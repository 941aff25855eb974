#pragma once

// The state of one update run: its workbook handles, the cell readers, and the record of what it did.

#include "StockLines.h"
#include "StockSheet.h"
#include "sheets/TextFormat.h"
#include "sheets/Workbook.h"
#include "stock/UpdateRun.h"
#include "stock/UserInterface.h"

#include <map>
#include <memory>
#include <string>
#include <string_view>

namespace stock {

class Run {
public:
    Run(UserInterface& ui, const sheets::TextFormat& format, UpdateResult& result)
        : m_ui(ui), m_format(format), m_result(result) {}

    sheets::Worksheet* OleWorkSheet1 = nullptr; // the order sheet
    sheets::Workbook* OleWorkBook2 = nullptr;   // the inventory

    // Trimmed cell text of the order sheet / a stock sheet. The view lasts until the next call of
    // the same reader or the next change to the workbook: compare it at once, copy it to keep it.
    std::string_view CellStr1(int Row, int Col);
    std::string_view CellStr2(const sheets::Worksheet& OleWorkSheet2, int Row, int Col);

    // The key cells of the stock sheet's lines, read from the sheet the first time the run needs
    // them; the booking keeps them in step with what it changes.
    StockLines& stockLines(const StockSheet& stock);

    // A warning shown to the user (caption "Feil", warning icon) and recorded in the result, and in
    // the outcome of the line being booked, if any.
    void warn(const std::string& text);
    void record(const Booking& booking) { m_result.bookings.push_back(booking); }

    // The walk takes a marked line: what becomes of it is recorded in the returned outcome (valid until
    // the next line) until endLines().
    LineOutcome& beginLine(const OrderLine& line);
    LineOutcome& currentLine() { return m_result.lines.back(); }
    void endLines() { m_inLine = false; }

    // A number as a cell holding it reads.
    std::string numberText(double value);

private:
    UserInterface& m_ui;
    const sheets::TextFormat& m_format;
    UpdateResult& m_result;
    // Numbers and dates are formatted here; their capacity is reused from cell to cell.
    std::string m_scratch1;
    std::string m_scratch2;
    std::map<const sheets::Worksheet*, std::unique_ptr<StockLines>> m_stockLines;
    bool m_inLine = false;
};

} // namespace stock
