#pragma once

// One sheet of an open workbook, as the contract sees it. A worksheet's part is parsed on first use;
// the rows inserted since opening are kept for the save.

#include "eval/FormulaValue.h"
#include "formula/CellRef.h"
#include "formula/RowShift.h"
#include "parts/WorksheetPart.h"
#include "sheets/Workbook.h"
#include "shift/RowInsertion.h"
#include "xml/Place.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace xlsx {

class Sheet;

enum class SheetKind { Worksheet, Chartsheet, Dialogsheet, Macrosheet, Other };

// What a sheet needs of the workbook that owns it, and all it may call: its part loaded, a formula's
// current result, and its changes reported. The workbook decides what follows from them.
class SheetHost {
public:
    // The workbook file, for failures.
    virtual const Place& place() const = 0;
    // Refuses a change to a workbook opened read-only; the failure starts with `action` at `where`.
    virtual void requireWritable(std::string_view action, const Place& where) const = 0;
    virtual std::unique_ptr<WorksheetPart> loadWorksheet(const Sheet& sheet) = 0;
    // The result of the formula at `at` (read at `originalRow`; storedResult: the file holds one) when
    // the stored one is not current: computed now, or sheets::Error naming the cell and starting with
    // `action` when it cannot be. nullptr when the stored result is current.
    virtual const eval::Value* currentResult(const Sheet& sheet, CellRef at, std::uint32_t originalRow,
                                             bool storedResult, std::string_view action) = 0;
    // Refuses, failing with `action`, when `shift` (the sheet's insertions with the next one) would put
    // rows inside a pivot table on the sheet.
    virtual void refuseSplittingPivotTables(const Sheet& sheet, const RowShift& shift,
                                            std::string_view action) const = 0;
    // A cell was written, a row inserted (after original row `above`).
    virtual void written(const Sheet& sheet, CellRef at) = 0;
    virtual void inserted(const Sheet& sheet, std::uint32_t above) = 0;

protected:
    ~SheetHost() = default;
};

// The kind of sheet a workbook relationship of this type points to.
SheetKind sheetKindOf(std::string_view relationshipType);

class Sheet final : public sheets::Worksheet {
public:
    Sheet(SheetHost& host, int index, std::string name, SheetKind kind, std::string partName);

    const std::string& name() const override { return m_name; }
    sheets::CellValue cell(int row, int column) const override;
    bool rowHasContent(int row) const override;
    void setText(int row, int column, std::string_view text) override;
    void setNumber(int row, int column, double value) override;
    void insertRow(int row, sheets::CopyOrigin origin) override;

    SheetKind kind() const { return m_kind; }
    // 0-based, in workbook order.
    int index() const { return m_index; }
    const std::string& partName() const { return m_partName; }
    // The sheet by its tab name, for failures.
    Place place() const;
    // The parsed part; parsed on first use. Only for worksheets.
    WorksheetPart& part() const;
    bool parsed() const { return m_part != nullptr; }

    const RowShift& shift() const { return m_shift; }
    const std::vector<RowInsertion>& insertions() const { return m_insertions; }
    // Everything recorded is in the file now: read the part again when next needed.
    void reset();

private:
    // The position, after refusing a sheet without cells and a position outside the sheet; failures
    // start with `action`.
    CellRef position(int row, int column, std::string_view action) const;

    SheetHost& m_host;
    int m_index;
    std::string m_name;
    SheetKind m_kind;
    std::string m_partName;
    mutable std::unique_ptr<WorksheetPart> m_part;
    RowShift m_shift;
    std::vector<RowInsertion> m_insertions;
};

} // namespace xlsx
