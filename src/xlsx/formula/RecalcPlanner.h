#pragma once

// Decides which cached formula results may have changed after cells were written and rows inserted,
// so that only those are dropped (and computed anew on load) while the rest keep theirs. A formula's
// result may have changed when it reads, directly or through other formulas or defined names, a
// written cell, an inserted row or a formula whose result may have changed; when it is volatile; when
// it depends on positions (ROW, COLUMN, CELL) and rows moved; or when it reads what we cannot trace.
// Positions are in the numbering after the insertions; formulas as read, or with their references
// rewritten when no shifts are set.

#include "formula/RowShift.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace xlsx {

class RecalcPlanner {
public:
    explicit RecalcPlanner(std::vector<std::string> sheetNames);

    // The rows inserted per sheet (by sheet index; null where none): formulas may then be added as
    // they were read, their areas are moved here, which is cheaper than rewriting every formula twice.
    void setShifts(std::vector<const RowShift*> shifts) { m_shifts = std::move(shifts); }

    void addFormula(int sheet, std::uint32_t row, std::uint32_t column, std::string_view formula);
    // localSheet: 0-based sheet index for a sheet-scoped name, -1 for the workbook.
    void addDefinedName(std::string_view name, int localSheet, std::string_view formula);

    void markWritten(int sheet, std::uint32_t row, std::uint32_t column);
    void markInsertedRow(int sheet, std::uint32_t row);

    // Runs the propagation; call once after everything is added and marked.
    void plan();
    bool mustDrop(int sheet, std::uint32_t row, std::uint32_t column) const;
    // Whether any formula on the sheet must drop its cached result.
    bool dropsOn(int sheet) const {
        return static_cast<std::size_t>(sheet) < m_dropsPerSheet.size() && m_dropsPerSheet[sheet] > 0;
    }

private:
    struct Area {
        int firstSheet, lastSheet;
        std::uint32_t firstRow, lastRow, firstColumn, lastColumn;
    };
    struct Formula {
        int sheet;
        std::uint32_t row, column;
        std::vector<Area> areas;
        bool always = false;     // volatile or untraceable
        bool positional = false; // ROW, COLUMN, CELL
        bool dropped = false;
    };
    struct Name {
        std::string formula;
        int localSheet;
    };

    int sheetIndex(std::string_view name, int fallback) const;
    void collect(std::string_view formula, int sheet, Formula& into, int depth) const;
    void drop(std::size_t id, std::vector<std::size_t>& work);
    void dropReaders(int sheet, std::uint32_t row, std::uint32_t column, std::vector<std::size_t>& work);

    std::vector<std::string> m_sheetNames;
    std::vector<const RowShift*> m_shifts;
    std::unordered_map<std::string, std::vector<Name>> m_names; // by upper-cased name
    std::vector<Formula> m_formulas;
    std::unordered_map<std::uint64_t, std::size_t> m_byCell;
    std::vector<std::uint64_t> m_written;
    std::vector<std::vector<std::uint32_t>> m_insertedRows; // per sheet
    std::vector<std::size_t> m_dropsPerSheet;

    // Readers index: per (sheet, column) the narrow areas that cover that column, sorted by first row;
    // wide or tall areas are kept apart and scanned, as they are few in real workbooks.
    struct Entry {
        std::uint32_t firstRow, lastRow;
        std::size_t formula;
    };
    std::unordered_map<std::uint64_t, std::vector<Entry>> m_narrow;
    std::vector<std::vector<std::pair<Area, std::size_t>>> m_wide; // per sheet
};

} // namespace xlsx
