#include "ReadOnlyWorkbook.h"

#include <algorithm>

namespace orders {

void ReadOnlySheet::check(int row, int column) const {
    if (m_kind != SheetKind::Worksheet) {
        const char* what = m_kind == SheetKind::Chartsheet   ? "et diagramark"
                           : m_kind == SheetKind::Macrosheet ? "et makroark"
                                                             : "ikke et regneark";
        place().fail(sheets::kCannotRead, std::string("arket er ") + what + " og har ingen celler");
    }
    if (row < 1 || row > m_maxRow || column < 1 || column > m_maxColumn)
        place().fail(sheets::kCannotRead, sheets::outOfSheet(row, column, m_maxRow, m_maxColumn));
}

sheets::CellValue ReadOnlySheet::cell(int row, int column) const {
    check(row, column);
    auto rows = std::upper_bound(m_rows.begin(), m_rows.end(), row,
                                 [](int r, const RowRun& run) { return r < run.first; });
    if (rows == m_rows.begin() || (--rows)->last < row) return sheets::CellValue::empty();
    auto runs = std::upper_bound(rows->columns.begin(), rows->columns.end(), column,
                                 [](int c, const ColumnRun& run) { return c < run.first; });
    if (runs == rows->columns.begin() || (--runs)->last < column) return sheets::CellValue::empty();
    return runs->value;
}

bool ReadOnlySheet::rowHasContent(int row) const {
    check(row, 1);
    auto rows = std::upper_bound(m_rows.begin(), m_rows.end(), row,
                                 [](int r, const RowRun& run) { return r < run.first; });
    if (rows == m_rows.begin() || (--rows)->last < row) return false;
    return std::any_of(rows->columns.begin(), rows->columns.end(), [](const ColumnRun& run) {
        return !(run.value.kind == sheets::CellValue::Kind::Empty ||
                 (run.value.kind == sheets::CellValue::Kind::Text && run.value.text.empty()));
    });
}

void ReadOnlySheet::addRows(int first, int last, std::vector<ColumnRun> runs) {
    if (runs.empty()) return;
    m_rows.push_back({first, last, std::move(runs)});
}

sheets::Place ReadOnlySheet::place() const {
    return m_book.place().withSheet(m_name);
}

void ReadOnlySheet::refuseChange() const {
    m_book.refuseChange(place(), sheets::kCannotWrite);
}

sheets::Worksheet& ReadOnlyWorkbook::sheet(int index) {
    if (index < 1 || index > sheetCount())
        place().fail(sheets::kCannotRead, "arbeidsboken har ikke noe ark nummer " + std::to_string(index));
    return *m_sheets[static_cast<std::size_t>(index - 1)];
}

ReadOnlySheet& ReadOnlyWorkbook::addSheet(std::string name, SheetKind kind, int maxRow, int maxColumn) {
    // No format has larger sheets than the newest spreadsheet's.
    return *m_sheets.emplace_back(std::make_unique<ReadOnlySheet>(*this, std::move(name), kind,
                                                                  std::min(maxRow, sheets::kMaxRow),
                                                                  std::min(maxColumn, sheets::kMaxColumn)));
}

void ReadOnlyWorkbook::refuseChange(const sheets::Place& where, std::string_view action) const {
    where.fail(action, "arbeidsboken er i " + m_formatName + "-formatet og er åpnet bare for lesing");
}

} // namespace orders
