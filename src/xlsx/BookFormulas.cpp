// The workbook's formulas: computed on read where the stored result cannot be trusted, marked stale
// by writes and insertions, and computed for the save. Results live in the calculation state; the
// sheets' parts keep what the file holds.

#include "Book.h"

#include "formula/ReferenceShifter.h"

#include <cstring>

namespace xlsx {

namespace {

bool isNameChar(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '.';
}

// Whether `xml` holds a formula element (<f>, or <x:f> with a prefix). Anything like one counts.
bool holdsFormula(std::string_view xml) {
    for (std::size_t at = xml.find('f'); at != std::string_view::npos; at = xml.find('f', at + 1)) {
        if (at == 0 || at + 1 >= xml.size() || (xml[at - 1] != '<' && xml[at - 1] != ':')) continue;
        char next = xml[at + 1];
        if (next == '>' || next == '/' || next == ' ' || next == '\t' || next == '\r' || next == '\n')
            return true;
    }
    return false;
}

// Whether some text before a '(' names a volatile function.
bool callsVolatileFunction(std::string_view xml) {
    for (std::size_t at = xml.find('('); at != std::string_view::npos; at = xml.find('(', at + 1)) {
        std::size_t begin = at;
        while (begin > 0 && isNameChar(xml[begin - 1]))
            --begin;
        if (begin < at && isVolatileFunction(xml.substr(begin, at - begin))) return true;
    }
    return false;
}

} // namespace

const Book::SheetBytes& Book::sheetBytes(const Sheet& sheet) const {
    auto index = static_cast<std::size_t>(sheet.index());
    if (m_sheetBytes.size() < m_sheets.size()) m_sheetBytes.resize(m_sheets.size());
    auto& found = m_sheetBytes[index];
    if (!found) {
        // Read, not parsed: a scan of the bytes, which are dropped again.
        const std::string xml = package().read(sheet.partName());
        SheetBytes bytes;
        bytes.formulas = holdsFormula(xml);
        bytes.namesOtherSheets = xml.find('!') != std::string::npos;
        // A defined name, a table or an external reference may stand for another sheet without a '!'.
        bytes.mayReadElsewhere =
            bytes.formulas && (bytes.namesOtherSheets || !m_workbook->definedNames().empty() ||
                               xml.find('[') != std::string::npos || callsVolatileFunction(xml));
        found = bytes;
    }
    return *found;
}

eval::Evaluator& Book::evaluator() {
    if (!m_evaluator) {
        std::vector<WorkbookCells::Sheet> sheets;
        for (const auto& sheet : m_sheets)
            sheets.push_back({sheet->name(), sheet->kind() == SheetKind::Worksheet,
                              [s = sheet.get()]() -> WorksheetPart& { return s->part(); }, &sheet->shift(),
                              [this, s = sheet.get()] { return readTables(*s); }});
        m_cells = std::make_unique<WorkbookCells>(std::move(sheets), m_workbook->definedNames(),
                                                  m_workbook->date1904(), *m_calculation, m_shiftedFormulas);
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

const eval::Value* Book::currentResult(const Sheet& sheet, CellRef at, std::uint32_t originalRow,
                                       bool storedResult, std::string_view action) {
    const CellId id{sheet.index(), originalRow, at.column()};
    if (!m_calculation->current(id, storedResult)) compute(sheet, at, action);
    return m_calculation->result(id);
}

void Book::addToPlanner(const Sheet& sheet, const WorksheetPart& part) {
    part.forEachFormulaAsRead([&](std::uint32_t row, std::uint32_t column, std::string_view formula) {
        m_planner->addFormula(sheet.index(), row, column, formula);
    });
    m_inPlanner[static_cast<std::size_t>(sheet.index())] = true;
}

// Made at the first change that can make a current result stale. It holds the formulas of the sheets
// parsed so far and of those whose formulas may read what changes elsewhere; a sheet that cannot is
// left unparsed, and joins when it is parsed.
RecalcPlanner* Book::plannerForChange() {
    if (!m_planner) {
        // With every stored result distrusted and nothing computed yet, there is nothing to go stale.
        if (!m_calculation->anyCurrent()) return nullptr;
        m_planner = std::make_unique<RecalcPlanner>(m_sheetOrder);
        m_inPlanner.assign(m_sheets.size(), false);
        for (const auto& name : m_workbook->definedNames())
            m_planner->addDefinedName(name.name, name.localSheet, name.formula);
        bool anyTables = false;
        for (const auto& sheet : m_sheets)
            if (sheet->kind() == SheetKind::Worksheet)
                for (const auto& table : readTables(*sheet)) {
                    m_planner->addTableName(table.name);
                    anyTables = true;
                }
        for (const auto& sheet : m_sheets) {
            if (sheet->kind() != SheetKind::Worksheet) continue;
            // A table's bare name (ROWS(Tabell1)) reads another sheet without a '!' or a '['.
            const auto& bytes = sheetBytes(*sheet);
            if (sheet->parsed() || bytes.mayReadElsewhere || (anyTables && bytes.formulas))
                addToPlanner(*sheet, sheet->part());
        }
        m_planner->index();
        if (m_cells) m_cells->setPlanner(m_planner.get());
    }
    return m_planner.get();
}

RecalcPlanner::OnStale Book::staleMarker() {
    return [this](int sheet, std::uint32_t row, std::uint32_t column) {
        m_calculation->markStale({sheet, row, column});
    };
}

void Book::written(const Sheet& sheet, CellRef at) {
    m_changed = true;
    if (auto* planner = plannerForChange()) {
        auto [first, last] = sheet.shift().original(at.row());
        planner->markWritten(sheet.index(), {first, last}, at.column(), staleMarker());
    }
    if (m_evaluator) m_evaluator->forgetFailures();
}

void Book::inserted(const Sheet& sheet, std::uint32_t above) {
    m_changed = true;
    m_shiftedFormulas.forget();
    if (auto* planner = plannerForChange())
        planner->markInsertedRow(sheet.index(), {above, above + 1}, staleMarker());
    if (m_evaluator) m_evaluator->forgetFailures();
}

bool Book::computeResults() {
    bool all = true;
    // No insertion follows before the save writes: what is moved to compute is kept for writing.
    m_shiftedFormulas.startKeeping();
    for (const auto& sheet : m_sheets) {
        if (sheet->kind() != SheetKind::Worksheet) continue;
        // An unparsed sheet has nothing stale: whatever could read a change joined the planner. Under a
        // full calculation every formula is computed, wherever it is.
        if (!sheet->parsed() && !(m_calculation->fullCalculation() && sheetBytes(*sheet).formulas)) continue;
        std::vector<std::pair<std::uint32_t, std::uint32_t>> outdated;
        sheet->part().forEachFormulaCell(
            [&](std::uint32_t row, std::uint32_t column, std::uint32_t originalRow, bool storedResult) {
                if (!m_calculation->current({sheet->index(), originalRow, column}, storedResult))
                    outdated.emplace_back(row, column);
            });
        for (auto [row, column] : outdated) {
            const CellId id{sheet->index(), sheet->shift().original(row).first, column};
            if (m_calculation->result(id)) continue; // computed on the way to another
            if (evaluator().value(sheet->index(), row, column).computed) continue;
            // Left for the spreadsheet application to compute on load, as before.
            m_calculation->drop(id);
            all = false;
        }
    }
    return all;
}

} // namespace xlsx
