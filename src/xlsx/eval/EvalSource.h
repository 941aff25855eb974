#pragma once

// What the formula evaluator needs of a workbook, and all it knows of one: the engine implements
// this over its parts, tests over an in-memory grid. Sheets are 0-based indices in workbook order;
// rows and columns are 1-based, as the spreadsheet counts them, in the workbook's current numbering.
// Calls must not throw, except sheets::Error for a workbook that cannot be read.

#include "eval/FormulaValue.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace xlsx::eval {

// One cell as the workbook holds it. Views stay valid until the next call on the source.
struct SourceCell {
    // The stored value: for a formula cell its stored result (Empty when the file holds none).
    Value::Kind kind = Value::Kind::Empty;
    double number = 0;     // Number, and Boolean as 1 or 0; dates are plain serial numbers
    std::string_view text; // Text; for Error the error literal ("#N/A")

    // Formula cells: the text as stored (no leading '=', English function names, ',' between
    // arguments), written for the cell (anchorRow, anchorColumn): the master of a shared formula, or the
    // cell itself. Relative references move by the cell's offset from it. Given for every formula
    // whose result is not current; for the others only when asked for (a current result is a value).
    std::string_view formula;
    std::uint32_t anchorRow = 0, anchorColumn = 0;
    bool array = false; // an array formula of this one cell: computed element by element
    // Why this formula cannot be computed whatever it says (an array formula over several cells, a
    // data table, a dynamic array that spills), in Norwegian; empty when nothing stands in the way.
    std::string_view blocker;
    // The stored result is the formula's current value and may be used as it is.
    bool current = false;
    // Identifies the formula cell across row insertions (its position may change, this does not).
    std::uint64_t id = 0;
    // When not empty: relativeKey(formula, anchorRow, anchorColumn), which a source that rewrote the
    // formula had at hand; spares the evaluator reading the text again.
    std::string_view shape;

    bool isFormula() const { return !formula.empty(); }
};

enum class RowState : std::uint8_t {
    Visible,
    Hidden,      // hidden by the user
    FilteredOut, // hidden by a filter
};

struct Extent {
    std::uint32_t rows = 0, columns = 0; // the last row and column that hold any cell; 0 when none
};

// A defined name's formula and the sheet its scope belongs to (-1: the workbook).
struct NameDefinition {
    std::string_view formula;
    int scope = -1;
};

// A table (list object) where it stands now, in the workbook's current numbering.
struct TableView {
    std::string_view name;
    int sheet = 0;
    // The whole table: header row, data rows and totals row.
    std::uint32_t top = 1, left = 1, bottom = 1, right = 1;
    std::uint32_t headerRows = 1, totalsRows = 0;
    std::span<const std::string> columns; // the column names, left to right
};

class EvalSource {
public:
    virtual ~EvalSource() = default;

    virtual int sheetCount() const = 0;
    virtual std::string_view sheetName(int sheet) const = 0;
    // Whether the sheet holds cells at all (not a chartsheet or dialog sheet).
    virtual bool hasCells(int sheet) const = 0;

    virtual Extent extent(int sheet) const = 0;
    // An absent cell gives an empty SourceCell.
    virtual SourceCell cell(int sheet, std::uint32_t row, std::uint32_t column) const = 0;
    // Calls visit for every present cell (value or formula) of the sheet inside the rows and columns
    // given, row by row, left to right. Much cheaper than cell() for sparse areas. With formulaTexts
    // every formula cell comes with its text.
    virtual void forEachCell(int sheet, std::uint32_t top, std::uint32_t left, std::uint32_t bottom,
                             std::uint32_t right, bool formulaTexts,
                             const std::function<void(std::uint32_t row, std::uint32_t column,
                                                      const SourceCell& cell)>& visit) const = 0;
    virtual RowState rowState(int sheet, std::uint32_t row) const = 0;

    // The defined name `name` (compared without regard to a-z case) with exactly this scope: -1 for
    // the workbook, else the sheet index.
    virtual std::optional<NameDefinition> definedName(std::string_view name, int scope) const = 0;

    // The table of that name (compared without regard to a-z case), nullopt when there is none.
    virtual std::optional<TableView> table(std::string_view name) const = 0;
    // The table the cell lies in (header and totals rows included), nullopt when none.
    virtual std::optional<TableView> tableAt(int sheet, std::uint32_t row, std::uint32_t column) const = 0;

    // The workbook counts days from 1904-01-01 instead of 1899-12-31.
    virtual bool date1904() const = 0;

    // Keeps `value` as the current result of the formula cell: cell() gives it, with `current` set,
    // until something the formula depends on changes. Never an empty value.
    virtual void storeResult(int sheet, std::uint32_t row, std::uint32_t column, const Value& value) = 0;
};

} // namespace xlsx::eval
