#include "Sheet.h"

namespace xlsx {

SheetKind sheetKindOf(std::string_view relationshipType) {
    auto last = relationshipType.substr(relationshipType.rfind('/') + 1);
    if (last == "worksheet") return SheetKind::Worksheet;
    if (last == "chartsheet") return SheetKind::Chartsheet;
    if (last == "dialogsheet") return SheetKind::Dialogsheet;
    if (last == "xlMacrosheet" || last == "xlIntlMacrosheet") return SheetKind::Macrosheet;
    return SheetKind::Other;
}

Sheet::Sheet(SheetHost& host, int index, std::string name, SheetKind kind, std::string partName)
    : m_host(host), m_index(index), m_name(std::move(name)), m_kind(kind), m_partName(std::move(partName)) {}

Place Sheet::place() const {
    return m_host.place().withSheet(m_name);
}

CellRef Sheet::position(int row, int column, std::string_view action) const {
    if (m_kind != SheetKind::Worksheet) {
        const char* what = m_kind == SheetKind::Chartsheet    ? "et diagramark"
                           : m_kind == SheetKind::Dialogsheet ? "et dialogark"
                           : m_kind == SheetKind::Macrosheet  ? "et makroark"
                                                              : "ikke et regneark";
        place().fail(action, std::string("arket er ") + what + " og har ingen celler");
    }
    auto at = CellRef::at(row, column);
    if (!at) place().fail(action, outOfSheet(row, column));
    return *at;
}

WorksheetPart& Sheet::part() const {
    if (!m_part) m_part = m_host.loadWorksheet(*this);
    return *m_part;
}

void Sheet::reset() {
    m_part.reset();
    m_shift = {};
    m_insertions.clear();
}

sheets::CellValue Sheet::cell(int row, int column) const {
    auto at = position(row, column, kCannotRead);
    const WorksheetPart& cells = part();
    std::optional<WorksheetPart::FormulaCell> formula;
    auto value = cells.valueOrFormula(at, formula);
    if (!formula) return value;
    // A formula whose stored result cannot be trusted is computed; the workbook keeps the result.
    if (const eval::Value* result =
            m_host.currentResult(*this, at, formula->originalRow, formula->storedResult, kCannotRead))
        return cells.cell(at, *result);
    return cells.cell(at);
}

bool Sheet::rowHasContent(int row) const {
    auto at = position(row, 1, kCannotRead);
    return part().rowHasContent(at.row());
}

void Sheet::setText(int row, int column, std::string_view text) {
    m_host.requireWritable(kCannotWrite, place());
    auto at = position(row, column, kCannotWrite);
    part().setText(at, text);
    m_host.written(*this, at);
}

void Sheet::setNumber(int row, int column, double value) {
    m_host.requireWritable(kCannotWrite, place());
    auto at = position(row, column, kCannotWrite);
    part().setNumber(at, value);
    m_host.written(*this, at);
}

void Sheet::insertRow(int row, sheets::CopyOrigin origin) {
    const std::string action = "Kan ikke sette inn rad " + std::to_string(row) + " i";
    m_host.requireWritable(action, place());
    auto at = position(row, 1, action).row();
    RowShift next = m_shift;
    next.insert(at);
    m_host.refuseSplittingPivotTables(*this, next, action);
    // The new row goes between the rows now at row - 1 and row: as read, after this original row.
    std::uint32_t above = at > 1 ? m_shift.original(at - 1).first : 0;
    part().insertRow(at, origin);
    m_shift.insert(at);
    m_insertions.push_back({at, origin});
    m_host.inserted(*this, above);
}

} // namespace xlsx
