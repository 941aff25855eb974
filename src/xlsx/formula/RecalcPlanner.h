#pragma once

// Tracks, while a workbook is edited, which formula results may differ from the ones last computed or
// stored, so that a read computes only what it must and a save stores new results only where they may
// have changed. A formula's result may change when it reads, directly or through other formulas or
// defined names, a written cell, an inserted row or a formula whose result may have changed; when it is
// volatile or reads what we cannot trace (after any change); when it depends on positions (ROW, COLUMN,
// CELL) and rows moved.
// Rows are those the formulas were read with, before this run's insertions (formula texts keep that
// numbering until save): a row of the current numbering is given as the rows it lies at or between.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace xlsx {

class RecalcPlanner {
public:
    explicit RecalcPlanner(std::vector<std::string> sheetNames);

    // localSheet: 0-based sheet index for a sheet-scoped name, -1 for the workbook. Names first.
    void addDefinedName(std::string_view name, int localSheet, std::string_view formula);
    // A table's name, which a formula may use alone for the table's data; with the names, first.
    void addTableName(std::string_view name);
    void addFormula(int sheet, std::uint32_t row, std::uint32_t column, std::string_view formula);
    // Indexes what the formulas added since the last call read; call after adding and before marking.
    // Formulas added later start current.
    void index();

    // Rows as read: {r, r} a row that was there, {r, r + 1} rows inserted between r and r + 1 ({0, 1}
    // above the first).
    struct Rows {
        std::uint32_t first, last;
    };
    // Called for each formula whose result becomes stale, at its position as read.
    using OnStale = std::function<void(int sheet, std::uint32_t row, std::uint32_t column)>;

    void markWritten(int sheet, Rows rows, std::uint32_t column, const OnStale& onStale);
    // A row inserted between the rows gap.first and gap.last as read.
    void markInsertedRow(int sheet, Rows gap, const OnStale& onStale);
    // The formula's result was computed anew: current again until something it reads changes.
    void markComputed(int sheet, std::uint32_t row, std::uint32_t column);

    bool isFormula(int sheet, std::uint32_t row, std::uint32_t column) const;
    bool stale(int sheet, std::uint32_t row, std::uint32_t column) const;
    // Whether the result may differ from the one the file holds: stale now, or computed since.
    bool changed(int sheet, std::uint32_t row, std::uint32_t column) const;
    bool changesOn(int sheet) const {
        return static_cast<std::size_t>(sheet) < m_changedPerSheet.size() && m_changedPerSheet[sheet] > 0;
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
        bool stale = false;
        bool changed = false;
    };
    struct Name {
        std::string formula;
        int localSheet;
    };

    int sheetIndex(std::string_view name, int fallback) const;
    void collect(std::string_view formula, int sheet, Formula& into, int depth) const;
    void makeStale(std::size_t id, std::vector<std::size_t>& work, const OnStale& onStale);
    void staleNarrow(int sheet, std::uint32_t column, Rows rows, std::vector<std::size_t>& work,
                     const OnStale& onStale);
    void staleReaders(int sheet, Rows rows, std::uint32_t column, std::vector<std::size_t>& work,
                      const OnStale& onStale);
    void staleAlways(std::vector<std::size_t>& work, const OnStale& onStale);
    void propagate(std::vector<std::size_t>& work, const OnStale& onStale);
    const Formula* find(int sheet, std::uint32_t row, std::uint32_t column) const;

    std::vector<std::string> m_sheetNames;
    std::unordered_map<std::string, std::vector<Name>> m_names; // by upper-cased name
    std::vector<std::string> m_tables;                          // upper-cased
    std::vector<Formula> m_formulas;
    std::unordered_map<std::uint64_t, std::size_t> m_byCell;
    std::vector<std::size_t> m_always, m_positional;
    std::vector<std::size_t> m_changedPerSheet;
    std::size_t m_indexed = 0; // formulas before this one are indexed

    // Readers index: per (sheet, column) the narrow areas that cover that column, sorted by first row;
    // wide or tall areas are kept apart and scanned, as they are few in real workbooks.
    struct Entry {
        std::uint32_t firstRow, lastRow;
        std::size_t formula;
    };
    std::unordered_map<std::uint64_t, std::vector<Entry>> m_narrow;
    std::vector<std::vector<std::pair<Area, std::size_t>>> m_wide; // per sheet
    std::vector<std::vector<std::uint32_t>> m_narrowColumns;       // per sheet: columns with narrow entries
};

} // namespace xlsx
