#pragma once

// An in-memory workbook for the evaluator: sheets of cells given as values or formulas, defined
// names, hidden and filtered rows. Cells are addressed as "B12".

#include "eval/EvalSource.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace evaltest {

class GridSource : public xlsx::eval::EvalSource {
public:
    explicit GridSource(std::vector<std::string> sheetNames = {"Ark1"});
    // The cells, sheets and names dump_cells.py printed for a workbook.
    static GridSource fromDump(const std::string& dump);
    int sheetIndex(std::string_view name) const;

    void number(int sheet, std::string_view cell, double value);
    void text(int sheet, std::string_view cell, std::string value);
    void boolean(int sheet, std::string_view cell, bool value);
    void error(int sheet, std::string_view cell, std::string literal);
    // A formula without a stored result; `array` for a single-cell array formula.
    void formula(int sheet, std::string_view cell, std::string text, bool array = false);
    // A formula whose stored result is `stored` and current.
    void storedFormula(int sheet, std::string_view cell, std::string text, double stored);
    // A cell of a shared formula whose text is written for `anchor`.
    void sharedFormula(int sheet, std::string_view cell, std::string text, std::string_view anchor);
    void blocked(int sheet, std::string_view cell, std::string text, std::string reason);
    void clear(int sheet, std::string_view cell);
    void name(std::string name, std::string formula, int scope = -1);
    void rowState(int sheet, std::uint32_t row, xlsx::eval::RowState state) {
        m_rowStates[{sheet, row}] = state;
    }
    // A table over `area` ("B2:D6", header and totals rows included) with these column names.
    void table(int sheet, std::string name, std::string_view area, std::vector<std::string> columns,
               std::uint32_t headerRows = 1, std::uint32_t totalsRows = 0);
    void setDate1904(bool on) { m_date1904 = on; }
    void noCells(int sheet) { m_noCells.push_back(sheet); }
    // How often cell() and forEachCell() were asked, to check that work is not repeated.
    std::size_t reads() const { return m_reads; }

    int sheetCount() const override { return static_cast<int>(m_sheets.size()); }
    std::string_view sheetName(int sheet) const override {
        return m_sheets[static_cast<std::size_t>(sheet)].name;
    }
    bool hasCells(int sheet) const override;
    xlsx::eval::Extent extent(int sheet) const override;
    xlsx::eval::SourceCell cell(int sheet, std::uint32_t row, std::uint32_t column) const override;
    void forEachCell(int sheet, std::uint32_t top, std::uint32_t left, std::uint32_t bottom,
                     std::uint32_t right, bool formulaTexts,
                     const std::function<void(std::uint32_t, std::uint32_t, const xlsx::eval::SourceCell&)>&
                         visit) const override;
    xlsx::eval::RowState rowState(int sheet, std::uint32_t row) const override;
    std::optional<xlsx::eval::NameDefinition> definedName(std::string_view name, int scope) const override;
    std::optional<xlsx::eval::TableView> table(std::string_view name) const override;
    std::optional<xlsx::eval::TableView> tableAt(int sheet, std::uint32_t row,
                                                 std::uint32_t column) const override;
    bool date1904() const override { return m_date1904; }
    void storeResult(int sheet, std::uint32_t row, std::uint32_t column,
                     const xlsx::eval::Value& value) override;
    // How many results were handed back to keep.
    std::size_t stored() const { return m_stored; }

private:
    struct Cell {
        xlsx::eval::Value::Kind kind = xlsx::eval::Value::Kind::Empty;
        double number = 0;
        std::string text;
        std::string formula;
        std::uint32_t anchorRow = 0, anchorColumn = 0;
        bool array = false, current = false;
        std::string blocker;
    };
    struct Sheet {
        std::string name;
        std::map<std::pair<std::uint32_t, std::uint32_t>, Cell> cells; // (row, column)
    };
    Cell& at(int sheet, std::string_view cell);
    xlsx::eval::SourceCell view(int sheet, std::uint32_t row, std::uint32_t column, const Cell& cell) const;

    std::vector<Sheet> m_sheets;
    std::map<std::pair<int, std::uint32_t>, xlsx::eval::RowState> m_rowStates;
    struct Name {
        std::string name, formula;
        int scope;
    };
    std::vector<Name> m_names;
    std::vector<int> m_noCells;
    struct Table {
        std::string name;
        int sheet;
        std::uint32_t top, left, bottom, right, headerRows, totalsRows;
        std::vector<std::string> columns;
        xlsx::eval::TableView view() const {
            return {name, sheet, top, left, bottom, right, headerRows, totalsRows, columns};
        }
    };
    std::vector<Table> m_tables;
    bool m_date1904 = false;
    mutable std::size_t m_reads = 0;
    std::size_t m_stored = 0;
};

} // namespace evaltest
