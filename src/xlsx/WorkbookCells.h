#pragma once

// The workbook's cells as the formula evaluator reads them: the sheets' parts as the file holds them,
// with the workbook's calculation state over them (which results are current, and those computed in
// this run), behind eval::EvalSource. Formula texts keep the numbering they were read with until save;
// after rows were inserted a formula to compute is given with its references moved to the current rows.

#include "Calculation.h"
#include "eval/EvalSource.h"
#include "formula/FormulaTokenizer.h"
#include "formula/RecalcPlanner.h"
#include "formula/RowShift.h"
#include "formula/ShiftedFormulas.h"
#include "parts/TablePart.h"
#include "parts/WorkbookPart.h"
#include "parts/WorksheetPart.h"

#include <functional>
#include <string>
#include <vector>

namespace xlsx {

class WorkbookCells final : public eval::EvalSource {
public:
    struct Sheet {
        std::string name;
        bool cells = false;                   // a worksheet, not a chartsheet or dialog sheet
        std::function<WorksheetPart&()> part; // parsed on first use
        const RowShift* shift = nullptr;
        // The sheet's tables as its table parts describe them; read on first need.
        std::function<std::vector<TableDefinition>()> tables;
    };

    // Formulas moved to the current rows are kept in `shifted`, for the save to write.
    WorkbookCells(std::vector<Sheet> sheets, const std::vector<DefinedName>& names, bool date1904,
                  Calculation& calculation, ShiftedFormulas& shifted);

    // Results computed here count as current for the planner too, once there is one.
    void setPlanner(RecalcPlanner* planner) { m_planner = planner; }

    int sheetCount() const override { return static_cast<int>(m_sheets.size()); }
    std::string_view sheetName(int sheet) const override {
        return m_sheets[static_cast<std::size_t>(sheet)].name;
    }
    bool hasCells(int sheet) const override { return m_sheets[static_cast<std::size_t>(sheet)].cells; }
    eval::Extent extent(int sheet) const override;
    eval::SourceCell cell(int sheet, std::uint32_t row, std::uint32_t column) const override;
    void forEachCell(int sheet, std::uint32_t top, std::uint32_t left, std::uint32_t bottom,
                     std::uint32_t right, bool formulaTexts,
                     const std::function<void(std::uint32_t, std::uint32_t, const eval::SourceCell&)>& visit)
        const override;
    eval::RowState rowState(int sheet, std::uint32_t row) const override;
    std::optional<eval::NameDefinition> definedName(std::string_view name, int scope) const override;
    std::optional<eval::TableView> table(std::string_view name) const override;
    std::optional<eval::TableView> tableAt(int sheet, std::uint32_t row, std::uint32_t column) const override;
    bool date1904() const override { return m_date1904; }
    void storeResult(int sheet, std::uint32_t row, std::uint32_t column, const eval::Value& value) override;

private:
    WorksheetPart& part(int sheet) const { return m_sheets[static_cast<std::size_t>(sheet)].part(); }
    bool rowsInserted() const;
    // A formula cell as the evaluator needs it: its identity, and its result when current (as a plain
    // value unless formulaTexts), else its text moved to the current rows (see the header comment).
    void complete(int sheet, std::uint32_t row, std::uint32_t column, std::uint32_t originalRow,
                  bool formulaTexts, eval::SourceCell& cell) const;
    ShiftContext shiftContext(int sheet) const;
    std::string moved(int sheet, std::string_view formula) const;
    const std::vector<TableDefinition>& tablesOf(int sheet) const;
    // Where the table stands now: rows inserted inside it made it grow, above it moved it.
    eval::TableView view(int sheet, const TableDefinition& table) const;

    std::vector<Sheet> m_sheets;
    std::vector<std::string> m_sheetOrder;
    const std::vector<DefinedName>& m_names;
    bool m_date1904;
    Calculation& m_calculation;
    ShiftedFormulas& m_shifted;
    RecalcPlanner* m_planner = nullptr;
    mutable std::string m_formula, m_nameFormula, m_shape;
    mutable std::vector<FormulaReference> m_references;
    mutable std::vector<std::optional<std::vector<TableDefinition>>> m_tables; // by sheet, once read
};

} // namespace xlsx
