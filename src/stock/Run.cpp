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
    if (!m_inLine) return;
    auto& warnings = currentLine().warnings;
    if (!warnings.empty()) warnings += ' ';
    warnings += text;
}

LineOutcome& Run::beginLine(const OrderLine& line) {
    m_inLine = true;
    auto& outcome = m_result.lines.emplace_back();
    outcome.order = line;
    return outcome;
}

std::string Run::numberText(double value) {
    return sheets::cellText(sheets::CellValue::ofNumber(value), m_format);
}

} // namespace stock
