#include "formula/RecalcPlanner.h"

#include "formula/CellRef.h"
#include "formula/FormulaTokenizer.h"
#include "formula/ReferenceShifter.h"
#include "formula/ReferenceSyntax.h"
#include "sheets/AsciiCase.h"

#include <algorithm>

namespace xlsx {

namespace {

constexpr std::uint32_t kNarrowRows = 64;
constexpr std::uint32_t kNarrowColumns = 8;
constexpr int kMaxNameDepth = 8;

std::uint64_t cellKey(int sheet, std::uint32_t row, std::uint32_t column) {
    return (static_cast<std::uint64_t>(sheet) << 40) | (static_cast<std::uint64_t>(row) << 14) | (column - 1);
}

std::uint64_t columnKey(int sheet, std::uint32_t column) {
    return (static_cast<std::uint64_t>(sheet) << 20) | column;
}

bool isPositional(std::string_view formula) {
    for (const auto& token : tokenizeFormula(formula)) {
        if (token.kind != TokenKind::Function) continue;
        auto name = sheets::toUpperAscii(token.text);
        if (name == "ROW" || name == "COLUMN" || name == "CELL") return true;
    }
    return false;
}

} // namespace

RecalcPlanner::RecalcPlanner(std::vector<std::string> sheetNames)
    : m_sheetNames(std::move(sheetNames)), m_insertedRows(m_sheetNames.size()), m_wide(m_sheetNames.size()) {}

int RecalcPlanner::sheetIndex(std::string_view name, int fallback) const {
    if (name.empty()) return fallback;
    for (std::size_t i = 0; i < m_sheetNames.size(); ++i)
        if (sheets::equalIgnoringAsciiCase(m_sheetNames[i], name)) return static_cast<int>(i);
    return -1;
}

void RecalcPlanner::addDefinedName(std::string_view name, int localSheet, std::string_view formula) {
    m_names[sheets::toUpperAscii(name)].push_back({std::string(formula), localSheet});
}

void RecalcPlanner::collect(std::string_view formula, int sheet, Formula& into, int depth) const {
    auto deps = analyzeFormula(formula);
    if (deps.isVolatile || deps.opaque || depth > kMaxNameDepth) into.always = true;
    if (isPositional(formula)) into.positional = true;
    for (const auto& area : deps.areas) {
        int first = sheetIndex(area.firstSheet, sheet);
        int last = area.lastSheet.empty() || area.lastSheet == area.firstSheet
                       ? first
                       : sheetIndex(area.lastSheet, sheet);
        if (first < 0 || last < 0) continue; // a sheet that is not there: #REF!, nothing to follow
        if (first > last) std::swap(first, last);
        // A 3-D area may span sheets with different insertions: take the rows it covers on any of them.
        auto top = kMaxRow, bottom = std::uint32_t{1};
        for (int s = first; s <= last; ++s) {
            const RowShift* shift = m_shifts.empty() ? nullptr : m_shifts[static_cast<std::size_t>(s)];
            bool moved = shift && !shift->empty();
            top = std::min(top, moved ? std::min(shift->map(area.firstRow), kMaxRow) : area.firstRow);
            bottom = std::max(bottom, moved ? std::min(shift->map(area.lastRow), kMaxRow) : area.lastRow);
        }
        into.areas.push_back({first, last, top, bottom, area.firstColumn, area.lastColumn});
    }
    for (const auto& used : deps.names) {
        auto found = m_names.find(sheets::toUpperAscii(used));
        if (found == m_names.end()) continue; // not a defined name: reads nothing
        // A sheet-scoped name of the formula's own sheet hides a workbook-scoped one.
        const Name* chosen = nullptr;
        for (const auto& candidate : found->second)
            if (candidate.localSheet == sheet || (!chosen && candidate.localSheet < 0)) chosen = &candidate;
        if (chosen)
            collect(chosen->formula, chosen->localSheet >= 0 ? chosen->localSheet : sheet, into, depth + 1);
    }
}

void RecalcPlanner::addFormula(int sheet, std::uint32_t row, std::uint32_t column, std::string_view formula) {
    Formula entry{sheet, row, column, {}, false, false, false};
    collect(formula, sheet, entry, 0);
    m_byCell[cellKey(sheet, row, column)] = m_formulas.size();
    m_formulas.push_back(std::move(entry));
}

void RecalcPlanner::markWritten(int sheet, std::uint32_t row, std::uint32_t column) {
    m_written.push_back(cellKey(sheet, row, column));
}

void RecalcPlanner::markInsertedRow(int sheet, std::uint32_t row) {
    m_insertedRows.at(static_cast<std::size_t>(sheet)).push_back(row);
}

void RecalcPlanner::drop(std::size_t id, std::vector<std::size_t>& work) {
    if (m_formulas[id].dropped) return;
    m_formulas[id].dropped = true;
    auto sheet = static_cast<std::size_t>(m_formulas[id].sheet);
    if (m_dropsPerSheet.size() <= sheet) m_dropsPerSheet.resize(sheet + 1);
    ++m_dropsPerSheet[sheet];
    work.push_back(id);
}

void RecalcPlanner::dropReaders(int sheet, std::uint32_t row, std::uint32_t column,
                                std::vector<std::size_t>& work) {
    auto narrow = m_narrow.find(columnKey(sheet, column));
    if (narrow != m_narrow.end()) {
        const auto& entries = narrow->second;
        auto end = std::upper_bound(entries.begin(), entries.end(), row,
                                    [](std::uint32_t r, const Entry& e) { return r < e.firstRow; });
        // Narrow areas are at most kNarrowRows tall, so only entries starting that close can cover `row`.
        for (auto it = end; it != entries.begin();) {
            --it;
            if (it->firstRow + kNarrowRows <= row) break;
            if (it->lastRow >= row) drop(it->formula, work);
        }
    }
    auto& wide = m_wide[static_cast<std::size_t>(sheet)];
    for (std::size_t i = 0; i < wide.size();) {
        const auto& [area, id] = wide[i];
        if (m_formulas[id].dropped) {
            wide[i] = wide.back(); // a dropped reader never needs finding again
            wide.pop_back();
            continue;
        }
        if (area.firstRow <= row && row <= area.lastRow && area.firstColumn <= column &&
            column <= area.lastColumn)
            drop(id, work);
        ++i;
    }
}

void RecalcPlanner::plan() {
    bool rowsMoved = false;
    for (auto& rows : m_insertedRows) {
        std::sort(rows.begin(), rows.end());
        rowsMoved = rowsMoved || !rows.empty();
    }
    std::vector<std::size_t> work;
    for (std::size_t id = 0; id < m_formulas.size(); ++id) {
        const auto& formula = m_formulas[id];
        bool changed = formula.always || (formula.positional && rowsMoved);
        for (const auto& area : formula.areas) {
            for (int s = area.firstSheet; s <= area.lastSheet && !changed; ++s) {
                const auto& rows = m_insertedRows[static_cast<std::size_t>(s)];
                auto it = std::lower_bound(rows.begin(), rows.end(), area.firstRow);
                changed = it != rows.end() && *it <= area.lastRow;
            }
            bool narrow = area.firstSheet == area.lastSheet && area.lastRow - area.firstRow < kNarrowRows &&
                          area.lastColumn - area.firstColumn < kNarrowColumns;
            if (narrow) {
                for (auto c = area.firstColumn; c <= area.lastColumn; ++c)
                    m_narrow[columnKey(area.firstSheet, c)].push_back({area.firstRow, area.lastRow, id});
            } else {
                for (int s = area.firstSheet; s <= area.lastSheet; ++s)
                    m_wide[static_cast<std::size_t>(s)].push_back({area, id});
            }
        }
        if (changed) drop(id, work);
    }
    for (auto& [key, entries] : m_narrow)
        std::sort(entries.begin(), entries.end(),
                  [](const Entry& a, const Entry& b) { return a.firstRow < b.firstRow; });

    for (auto key : m_written) {
        int sheet = static_cast<int>(key >> 40);
        auto row = static_cast<std::uint32_t>((key >> 14) & 0x3FFFFFF);
        auto column = static_cast<std::uint32_t>(key & 0x3FFF) + 1;
        dropReaders(sheet, row, column, work);
    }
    while (!work.empty()) {
        auto id = work.back();
        work.pop_back();
        const auto& formula = m_formulas[id];
        dropReaders(formula.sheet, formula.row, formula.column, work);
    }
}

bool RecalcPlanner::mustDrop(int sheet, std::uint32_t row, std::uint32_t column) const {
    auto found = m_byCell.find(cellKey(sheet, row, column));
    return found != m_byCell.end() && m_formulas[found->second].dropped;
}

} // namespace xlsx
