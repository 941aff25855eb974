#include "formula/RecalcPlanner.h"

#include "formula/CellId.h"
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
    return CellId{sheet, row, column}.key();
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
    : m_sheetNames(std::move(sheetNames)), m_changedPerSheet(m_sheetNames.size()),
      m_wide(m_sheetNames.size()), m_narrowColumns(m_sheetNames.size()) {}

int RecalcPlanner::sheetIndex(std::string_view name, int fallback) const {
    if (name.empty()) return fallback;
    for (std::size_t i = 0; i < m_sheetNames.size(); ++i)
        if (sheets::equalIgnoringAsciiCase(m_sheetNames[i], name)) return static_cast<int>(i);
    return -1;
}

void RecalcPlanner::addDefinedName(std::string_view name, int localSheet, std::string_view formula) {
    m_names[sheets::toUpperAscii(name)].push_back({std::string(formula), localSheet});
}

void RecalcPlanner::addTableName(std::string_view name) {
    m_tables.push_back(sheets::toUpperAscii(name));
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
        into.areas.push_back({first, last, area.firstRow, area.lastRow, area.firstColumn, area.lastColumn});
    }
    // A table's cells are not traced: a formula naming one may change with any change.
    for (const auto& used : deps.valueNames)
        if (std::find(m_tables.begin(), m_tables.end(), sheets::toUpperAscii(used)) != m_tables.end())
            into.always = true;
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
    Formula entry{sheet, row, column, {}, false, false, false, false};
    collect(formula, sheet, entry, 0);
    m_byCell[cellKey(sheet, row, column)] = m_formulas.size();
    m_formulas.push_back(std::move(entry));
}

void RecalcPlanner::index() {
    std::vector<std::uint64_t> grown; // narrow lists that got entries: sorted again below
    for (std::size_t id = m_indexed; id < m_formulas.size(); ++id) {
        const auto& formula = m_formulas[id];
        if (formula.always) m_always.push_back(id);
        if (formula.positional) m_positional.push_back(id);
        for (const auto& area : formula.areas) {
            bool narrow = area.firstSheet == area.lastSheet && area.lastRow - area.firstRow < kNarrowRows &&
                          area.lastColumn - area.firstColumn < kNarrowColumns;
            if (narrow) {
                for (auto c = area.firstColumn; c <= area.lastColumn; ++c) {
                    auto key = columnKey(area.firstSheet, c);
                    auto [entries, added] = m_narrow.try_emplace(key);
                    if (added) {
                        auto sheet = static_cast<std::size_t>(area.firstSheet);
                        if (sheet < m_narrowColumns.size()) m_narrowColumns[sheet].push_back(c);
                    }
                    if (entries->second.empty() || entries->second.back().firstRow > area.firstRow)
                        grown.push_back(key);
                    entries->second.push_back({area.firstRow, area.lastRow, id});
                }
            } else {
                for (int s = area.firstSheet; s <= area.lastSheet; ++s)
                    m_wide[static_cast<std::size_t>(s)].push_back({area, id});
            }
        }
    }
    m_indexed = m_formulas.size();
    std::sort(grown.begin(), grown.end());
    grown.erase(std::unique(grown.begin(), grown.end()), grown.end());
    for (auto key : grown) {
        auto& entries = m_narrow[key];
        std::stable_sort(entries.begin(), entries.end(),
                         [](const Entry& a, const Entry& b) { return a.firstRow < b.firstRow; });
    }
}

void RecalcPlanner::makeStale(std::size_t id, std::vector<std::size_t>& work, const OnStale& onStale) {
    auto& formula = m_formulas[id];
    // A stale formula's readers were made stale with it, and none of them can have been computed since
    // without computing it first; so there is nothing further to do.
    if (formula.stale) return;
    formula.stale = true;
    if (!formula.changed) {
        formula.changed = true;
        auto sheet = static_cast<std::size_t>(formula.sheet);
        if (m_changedPerSheet.size() <= sheet) m_changedPerSheet.resize(sheet + 1);
        ++m_changedPerSheet[sheet];
    }
    if (onStale) onStale(formula.sheet, formula.row, formula.column);
    work.push_back(id);
}

void RecalcPlanner::staleNarrow(int sheet, std::uint32_t column, Rows rows, std::vector<std::size_t>& work,
                                const OnStale& onStale) {
    auto narrow = m_narrow.find(columnKey(sheet, column));
    if (narrow == m_narrow.end()) return;
    const auto& entries = narrow->second;
    auto end = std::upper_bound(entries.begin(), entries.end(), rows.first,
                                [](std::uint32_t r, const Entry& e) { return r < e.firstRow; });
    // Narrow areas are under kNarrowRows tall, so only entries starting that close can reach.
    for (auto it = end; it != entries.begin();) {
        --it;
        if (it->firstRow + kNarrowRows <= rows.first) break;
        if (it->lastRow >= rows.last) makeStale(it->formula, work, onStale);
    }
}

// Every formula reading an area that contains the rows (for a gap: that spans it) in the column.
void RecalcPlanner::staleReaders(int sheet, Rows rows, std::uint32_t column, std::vector<std::size_t>& work,
                                 const OnStale& onStale) {
    staleNarrow(sheet, column, rows, work, onStale);
    for (const auto& [area, id] : m_wide[static_cast<std::size_t>(sheet)])
        if (area.firstRow <= rows.first && rows.last <= area.lastRow && area.firstColumn <= column &&
            column <= area.lastColumn)
            makeStale(id, work, onStale);
}

void RecalcPlanner::staleAlways(std::vector<std::size_t>& work, const OnStale& onStale) {
    for (auto id : m_always)
        makeStale(id, work, onStale);
}

void RecalcPlanner::propagate(std::vector<std::size_t>& work, const OnStale& onStale) {
    while (!work.empty()) {
        auto id = work.back();
        work.pop_back();
        const auto& formula = m_formulas[id];
        staleReaders(formula.sheet, {formula.row, formula.row}, formula.column, work, onStale);
    }
}

void RecalcPlanner::markWritten(int sheet, Rows rows, std::uint32_t column, const OnStale& onStale) {
    std::vector<std::size_t> work;
    staleReaders(sheet, rows, column, work, onStale);
    staleAlways(work, onStale);
    propagate(work, onStale);
}

void RecalcPlanner::markInsertedRow(int sheet, Rows gap, const OnStale& onStale) {
    std::vector<std::size_t> work;
    // An area the row falls into grows by it: whatever counts or positions its cells may differ.
    auto spans = [&](const Area& area) {
        return area.firstSheet <= sheet && sheet <= area.lastSheet && area.firstRow <= gap.first &&
               gap.last <= area.lastRow;
    };
    for (auto column : m_narrowColumns[static_cast<std::size_t>(sheet)])
        staleNarrow(sheet, column, gap, work, onStale);
    for (const auto& [area, id] : m_wide[static_cast<std::size_t>(sheet)])
        if (spans(area)) makeStale(id, work, onStale);
    for (auto id : m_positional)
        makeStale(id, work, onStale);
    staleAlways(work, onStale);
    propagate(work, onStale);
}

const RecalcPlanner::Formula* RecalcPlanner::find(int sheet, std::uint32_t row, std::uint32_t column) const {
    auto found = m_byCell.find(cellKey(sheet, row, column));
    return found == m_byCell.end() ? nullptr : &m_formulas[found->second];
}

void RecalcPlanner::markComputed(int sheet, std::uint32_t row, std::uint32_t column) {
    auto found = m_byCell.find(cellKey(sheet, row, column));
    if (found != m_byCell.end()) m_formulas[found->second].stale = false;
}

bool RecalcPlanner::isFormula(int sheet, std::uint32_t row, std::uint32_t column) const {
    return find(sheet, row, column) != nullptr;
}

bool RecalcPlanner::stale(int sheet, std::uint32_t row, std::uint32_t column) const {
    const Formula* formula = find(sheet, row, column);
    return formula && formula->stale;
}

bool RecalcPlanner::changed(int sheet, std::uint32_t row, std::uint32_t column) const {
    const Formula* formula = find(sheet, row, column);
    return formula && formula->changed;
}

} // namespace xlsx
