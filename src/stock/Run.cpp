#include "Run.h"

#include "sheets/CellText.h"

namespace stock {

std::string_view Run::CellStr1(int Row, int Col) {
    return sheets::cellText(OleWorkSheet1->cell(Row, Col), m_format, m_scratch1);
}

std::string_view Run::CellStr2(const sheets::Worksheet& OleWorkSheet2, int Row, int Col) {
    return sheets::cellText(OleWorkSheet2.cell(Row, Col), m_format, m_scratch2);
}

StockLines& Run::stockLines(const StockSheet& stock) {
    auto& lines = m_stockLines[&stock.OleWorkSheet2];
    if (!lines || lines->Dim() != stock.Dim)
        lines = std::make_unique<StockLines>(stock.OleWorkSheet2, m_format, stock.Dim);
    return *lines;
}

void Run::warn(const std::string& text) {
    m_ui.showMessage(text, "Feil", MessageFlags::WarningIcon);
    m_result.warnings.push_back(text);
}

} // namespace stock
