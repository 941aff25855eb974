#include "WorkbookCells.h"

#include "eval/CompiledFormula.h"
#include "formula/ReferenceShifter.h"
#include "formula/ReferenceSyntax.h"
#include "sheets/AsciiCase.h"

namespace xlsx {

WorkbookCells::WorkbookCells(std::vector<Sheet> sheets, const std::vector<DefinedName>& names, bool date1904,
                             Calculation& calculation, ShiftedFormulas& shifted)
    : m_sheets(std::move(sheets)), m_names(names), m_date1904(date1904), m_calculation(calculation),
      m_shifted(shifted) {
    for (const auto& sheet : m_sheets)
        m_sheetOrder.push_back(sheet.name);
}

bool WorkbookCells::rowsInserted() const {
    for (const auto& sheet : m_sheets)
        if (sheet.shift && !sheet.shift->empty()) return true;
    return false;
}

ShiftContext WorkbookCells::shiftContext(int sheet) const {
    return {sheet >= 0 ? std::string_view(m_sheets[static_cast<std::size_t>(sheet)].name)
                       : std::string_view(),
            &m_sheetOrder, [this, sheet](std::string_view name) -> const RowShift* {
                // The formula's own sheet, asked for every formula, is the name handed out above.
                if (sheet >= 0) {
                    const auto& own = m_sheets[static_cast<std::size_t>(sheet)];
                    if (name.data() == own.name.data() && name.size() == own.name.size())
                        return own.shift && !own.shift->empty() ? own.shift : nullptr;
                }
                for (const auto& s : m_sheets)
                    if (s.shift && !s.shift->empty() && sheets::equalIgnoringAsciiCase(s.name, name))
                        return s.shift;
                return nullptr;
            }};
}

std::string WorkbookCells::moved(int sheet, std::string_view formula) const {
    auto shifted = shiftFormula(formula, shiftContext(sheet));
    return shifted ? std::move(*shifted) : std::string(formula);
}

void WorkbookCells::complete(int sheet, std::uint32_t row, std::uint32_t column, std::uint32_t originalRow,
                             bool formulaTexts, eval::SourceCell& cell) const {
    const CellId id{sheet, originalRow, column};
    cell.id = id.key();
    if (const eval::Value* result = m_calculation.result(id)) {
        cell.kind = result->kind == eval::Value::Kind::Empty ? eval::Value::Kind::Number : result->kind;
        cell.number = result->number;
        cell.text = result->kind == eval::Value::Kind::Error ? eval::errorLiteral(result->error)
                                                             : std::string_view(result->text);
        cell.current = true;
    } else {
        cell.current = m_calculation.current(id, cell.kind != eval::Value::Kind::Empty);
    }
    if (cell.current && !formulaTexts) {
        cell.formula = {}; // a current result is read as a value
        return;
    }
    if (cell.formula.empty()) {
        // Left out when read: only a formula to compute, or one asked for with its text, needs it.
        std::uint32_t again = 0;
        auto withText = part(sheet).sourceCell(row, column, true, again);
        cell.formula = withText.formula;
        cell.blocker = withText.blocker;
        cell.array = withText.array;
        cell.anchorRow = withText.anchorRow;
        cell.anchorColumn = withText.anchorColumn;
    }
    if (cell.current || !rowsInserted()) return;
    if (cell.anchorRow != originalRow || cell.anchorColumn != column) {
        m_formula =
            moved(sheet, translateFormula(cell.formula,
                                          static_cast<int>(originalRow) - static_cast<int>(cell.anchorRow),
                                          static_cast<int>(column) - static_cast<int>(cell.anchorColumn)));
    } else {
        // The cell's own text, as the save writes it moved: kept for the save. Its references, found on
        // the way, give the evaluator its shape without a second reading.
        auto shifted =
            m_shifted.shift(sheet, originalRow, column, cell.formula, shiftContext(sheet), m_references);
        m_formula = shifted ? std::move(*shifted) : std::string(cell.formula);
        eval::relativeKey(m_formula, m_references, row, column, m_shape);
        cell.shape = m_shape;
    }
    cell.formula = m_formula;
    cell.anchorRow = row;
    cell.anchorColumn = column;
}

eval::Extent WorkbookCells::extent(int sheet) const {
    return part(sheet).extent();
}

eval::SourceCell WorkbookCells::cell(int sheet, std::uint32_t row, std::uint32_t column) const {
    std::uint32_t originalRow = 0;
    auto cell = part(sheet).sourceCell(row, column, false, originalRow);
    if (cell.anchorColumn != 0) complete(sheet, row, column, originalRow, false, cell);
    return cell;
}

void WorkbookCells::forEachCell(
    int sheet, std::uint32_t top, std::uint32_t left, std::uint32_t bottom, std::uint32_t right,
    bool formulaTexts,
    const std::function<void(std::uint32_t, std::uint32_t, const eval::SourceCell&)>& visit) const {
    part(sheet).forEachSourceCell(top, left, bottom, right, formulaTexts,
                                  [&](std::uint32_t row, std::uint32_t column, std::uint32_t originalRow,
                                      const eval::SourceCell& found) {
                                      if (found.anchorColumn == 0)
                                          return visit(row, column, found); // most cells: no copy
                                      eval::SourceCell cell = found;
                                      complete(sheet, row, column, originalRow, formulaTexts, cell);
                                      visit(row, column, cell);
                                  });
}

eval::RowState WorkbookCells::rowState(int sheet, std::uint32_t row) const {
    return part(sheet).rowState(row);
}

std::optional<eval::NameDefinition> WorkbookCells::definedName(std::string_view name, int scope) const {
    for (const auto& defined : m_names) {
        if (defined.localSheet != scope || !sheets::equalIgnoringAsciiCase(defined.name, name)) continue;
        if (!rowsInserted()) return eval::NameDefinition{defined.formula, scope};
        m_nameFormula = moved(scope, defined.formula);
        return eval::NameDefinition{m_nameFormula, scope};
    }
    return std::nullopt;
}

const std::vector<TableDefinition>& WorkbookCells::tablesOf(int sheet) const {
    auto index = static_cast<std::size_t>(sheet);
    if (m_tables.size() < m_sheets.size()) m_tables.resize(m_sheets.size());
    auto& tables = m_tables[index];
    if (!tables)
        tables = m_sheets[index].cells && m_sheets[index].tables ? m_sheets[index].tables()
                                                                 : std::vector<TableDefinition>{};
    return *tables;
}

eval::TableView WorkbookCells::view(int sheet, const TableDefinition& table) const {
    eval::TableView view{table.name,   sheet,       table.top,        table.left,
                         table.bottom, table.right, table.headerRows, table.totalsRows,
                         table.columns};
    if (const RowShift* shift = m_sheets[static_cast<std::size_t>(sheet)].shift) {
        view.top = shift->map(table.top);
        view.bottom = shift->map(table.bottom);
    }
    return view;
}

std::optional<eval::TableView> WorkbookCells::table(std::string_view name) const {
    for (int sheet = 0; sheet < sheetCount(); ++sheet)
        for (const auto& table : tablesOf(sheet))
            if (sheets::equalIgnoringAsciiCase(table.name, name)) return view(sheet, table);
    return std::nullopt;
}

std::optional<eval::TableView> WorkbookCells::tableAt(int sheet, std::uint32_t row,
                                                      std::uint32_t column) const {
    for (const auto& table : tablesOf(sheet)) {
        auto at = view(sheet, table);
        if (row >= at.top && row <= at.bottom && column >= at.left && column <= at.right) return at;
    }
    return std::nullopt;
}

void WorkbookCells::storeResult(int sheet, std::uint32_t row, std::uint32_t column,
                                const eval::Value& value) {
    // Formula cells never sit on rows inserted here: the row they are on was read.
    const RowShift* shift = m_sheets[static_cast<std::size_t>(sheet)].shift;
    const std::uint32_t originalRow = shift ? shift->original(row).first : row;
    m_calculation.store({sheet, originalRow, column}, value);
    if (m_planner) m_planner->markComputed(sheet, originalRow, column);
}

} // namespace xlsx
