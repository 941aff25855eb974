// The workbook's formulas: computed on read where the stored result cannot be trusted, marked stale
// by writes and insertions, and computed for the save.

#include "Book.h"

namespace xlsx {

eval::Evaluator& Book::evaluator() {
    if (!m_evaluator) {
        std::vector<WorkbookCells::Sheet> sheets;
        for (const auto& sheet : m_sheets)
            sheets.push_back({sheet->name(), sheet->kind() == SheetKind::Worksheet,
                              [s = sheet.get()]() -> WorksheetPart& { return s->part(); }, &sheet->shift(),
                              [this, s = sheet.get()] { return readTables(*s); }});
        m_cells = std::make_unique<WorkbookCells>(std::move(sheets), m_workbook->definedNames(),
                                                  m_workbook->date1904());
        m_cells->setPlanner(m_planner.get());
        m_evaluator = std::make_unique<eval::Evaluator>(*m_cells);
    }
    return *m_evaluator;
}

void Book::compute(const Sheet& sheet, CellRef at, std::string_view action) {
    auto result = evaluator().value(sheet.index(), at.row(), at.column());
    if (result.computed) return;
    std::string cause = "formelen kan ikke beregnes her: den ";
    if (result.sheet == sheet.index() && result.row == at.row() && result.column == at.column())
        cause += "inneholder " + result.problem;
    else
        cause += "bygger på cellen " + cellName(result.row, result.column) + " på arket " +
                 inQuotes(m_sheets[static_cast<std::size_t>(result.sheet)]->name()) + ", som inneholder " +
                 result.problem;
    sheet.place().fail(action, cause, at.toString());
}

// Built when the workbook first changes: every formula of every sheet, at its row as read.
RecalcPlanner& Book::planner() {
    if (!m_planner) {
        m_planner = std::make_unique<RecalcPlanner>(m_sheetOrder);
        for (const auto& name : m_workbook->definedNames())
            m_planner->addDefinedName(name.name, name.localSheet, name.formula);
        for (const auto& sheet : m_sheets)
            if (sheet->kind() == SheetKind::Worksheet)
                for (const auto& table : readTables(*sheet))
                    m_planner->addTableName(table.name);
        for (const auto& sheet : m_sheets) {
            if (sheet->kind() != SheetKind::Worksheet) continue;
            sheet->part().forEachFormulaAsRead(
                [&](std::uint32_t row, std::uint32_t column, std::string_view formula) {
                    m_planner->addFormula(sheet->index(), row, column, formula);
                });
        }
        m_planner->index();
        if (m_cells) m_cells->setPlanner(m_planner.get());
    }
    return *m_planner;
}

RecalcPlanner::OnStale Book::staleMarker() {
    return [this](int sheet, std::uint32_t row, std::uint32_t column) {
        m_sheets[static_cast<std::size_t>(sheet)]->part().markStale(row, column);
    };
}

void Book::noteWritten(const Sheet& sheet, CellRef at) {
    m_changed = true;
    auto [first, last] = sheet.shift().original(at.row());
    planner().markWritten(sheet.index(), {first, last}, at.column(), staleMarker());
    if (m_evaluator) m_evaluator->forgetFailures();
}

void Book::noteInserted(const Sheet& sheet, std::uint32_t above) {
    m_changed = true;
    planner().markInsertedRow(sheet.index(), {above, above + 1}, staleMarker());
    if (m_evaluator) m_evaluator->forgetFailures();
}

bool Book::computeResults() {
    bool all = true;
    for (const auto& sheet : m_sheets) {
        if (sheet->kind() != SheetKind::Worksheet) continue;
        std::vector<std::pair<std::uint32_t, std::uint32_t>> outdated;
        sheet->part().forEachFormulaCell(
            [&](std::uint32_t row, std::uint32_t column, std::uint32_t, bool stale) {
                if (stale) outdated.emplace_back(row, column);
            });
        for (auto [row, column] : outdated) {
            if (!sheet->part().needsComputing(row, column)) continue; // computed on the way to another
            if (evaluator().value(sheet->index(), row, column).computed) continue;
            // Left for the spreadsheet application to compute on load, as before.
            sheet->part().dropResult(row, column);
            all = false;
        }
    }
    return all;
}

} // namespace xlsx
