#pragma once

// One worksheet part. <sheetData> is scanned once into a compact cell store that keeps every cell's
// original bytes; the rest of the part is kept as bytes. At save, untouched rows and cells are written
// back exactly as they were, changed ones are generated. Row positions are live: after insertRow()
// every read sees the new numbering at once. References elsewhere are rewritten at save through the
// hooks, from the insertions recorded by the workbook.

#include "eval/EvalSource.h"
#include "formula/CellRef.h"
#include "sheets/CellValue.h"
#include "sheets/Workbook.h"
#include "xml/Place.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace xlsx {

class SharedStrings;
class Styles;
struct StoredCell;

struct SaveHooks {
    // Called for the text of every <f> element (masters of shared and array formulas included, and
    // the per-cell formulas of shared groups expanded because a row cut through them), with its cell
    // (row as read); a value replaces the text. May be empty.
    std::function<std::optional<std::string>(std::uint32_t originalRow, std::uint32_t column,
                                             std::string_view formula)>
        rewriteFormula;
    // Called for every formula cell (current numbering); true drops its cached <v>, so that a
    // spreadsheet application computes it on load. May be empty: keep every cached result.
    std::function<bool(std::uint32_t row, std::uint32_t column)> dropCachedResult;
    // Called for every formula cell (row as read): a result computed in this run, saved as its cached
    // result with its type; nullptr keeps the cached one. May be empty.
    std::function<const eval::Value*(std::uint32_t originalRow, std::uint32_t column)> computedResult;
    // Called for the sheet XML outside <sheetData> as one well-formed document (the part with
    // <sheetData/> emptied); returns the edited document or nullopt when unchanged. May be empty.
    std::function<std::optional<std::string>(std::string_view frame)> rewriteFrame;
};

class WorksheetPart {
public:
    // `xml` is the whole part; `place` names its sheet for failures. Throws sheets::Error on bad XML,
    // naming the place and the cell.
    WorksheetPart(std::string xml, Place place, SharedStrings& sharedStrings, const Styles& styles,
                  bool date1904);
    ~WorksheetPart();
    WorksheetPart(const WorksheetPart&) = delete;
    WorksheetPart& operator=(const WorksheetPart&) = delete;

    // Writes keep the cell's style (a new cell takes the row's style when the row is custom formatted,
    // else its column's), drop its formula, and refuse (sheets::Error) a cell of an array formula
    // spanning several cells, a locked cell of a protected sheet, and (setNumber) NaN and infinities. Writing
    // over a shared formula's master first gives the rest of its group formulas of their own.
    sheets::CellValue cell(CellRef at) const;
    // Whether a cell of the row holds a value or a formula; formats alone and empty texts do not count.
    bool rowHasContent(std::uint32_t row) const;
    void setText(CellRef at, std::string_view text);
    void setNumber(CellRef at, double value);

    // Moves the rows at and below `row` down one and gives the new row the formats of its origin
    // (row style, custom-format and custom-height flags, height, outline level, each cell's style).
    // The cell store only: conditional formats, validations and references are the workbook's work at
    // save. Hidden is not copied. A shared-formula group the row cuts through becomes per-cell formulas;
    // the ref areas of shared and array formulas move with their master. Throws sheets::Error, changing
    // nothing, when content would pass the last row, the row would cut through an array formula, or
    // the sheet is protected without allowing rows to be inserted.
    void insertRow(std::uint32_t row, sheets::CopyOrigin origin);

    // Gives every cell of each shared-formula group whose formula names another sheet a formula of
    // its own: rows inserted on that sheet may move the references of some of its cells and not of
    // others, which one shared formula cannot express.
    void expandSharedFormulasNamingOtherSheets();

    bool dirty() const;
    // False when nothing in the part names another sheet (no '!' anywhere): then rows inserted on
    // other sheets cannot change it.
    bool mayReferToOtherSheets() const;
    // The whole part as it is now: untouched rows as they were read, <dimension> set to the used range
    // when the sheet changed (after rewriteFrame). With nothing changed, the original bytes.
    std::string serialize(const SaveHooks& hooks) const;

    // Every formula cell in current numbering, with the formula that applies to it (a shared child
    // gets its master's formula translated to its own position).
    void forEachFormula(const std::function<void(std::uint32_t row, std::uint32_t column,
                                                 std::string_view formula)>& visit) const;

    // --- Formulas ------------------------------------------------------------------------------
    // A part holds what the file holds: results computed in a run are the workbook's (its calculation
    // state), handed to cell() for a read and to serialize() through the hooks for a save. Reading
    // never changes a part.

    // A formula cell's row as read and whether the file holds a result for it; nullopt for any other
    // cell.
    struct FormulaCell {
        std::uint32_t originalRow = 0;
        bool storedResult = false;
    };
    std::optional<FormulaCell> formulaAt(CellRef at) const;
    // cell(at) for any cell but a formula cell, which gives nothing but `formula` instead (whether its
    // stored result may be read is the workbook's to say): one lookup for what most reads need.
    sheets::CellValue valueOrFormula(CellRef at, std::optional<FormulaCell>& formula) const;
    // The cell's value, with `result` (a formula's current result computed in this run) in place of the
    // one the file holds: dates by the cell's style, an empty text as an empty cell.
    sheets::CellValue cell(CellRef at, const eval::Value& result) const;

    // The cell as the evaluator reads it, as the file holds it: its stored value and, for a formula
    // cell, its anchor and with `withText` its text as read (a shared cell gives its master's, anchored
    // at the master's row as read). A formula cell has an anchorColumn, with or without its text;
    // `current` is left false and `id` 0 for the workbook to fill in. `originalRow` is the row the cell
    // was read at. Views stay valid until the part is next used.
    eval::SourceCell sourceCell(std::uint32_t row, std::uint32_t column, bool withText,
                                std::uint32_t& originalRow) const;
    void forEachSourceCell(
        std::uint32_t top, std::uint32_t left, std::uint32_t bottom, std::uint32_t right, bool withText,
        const std::function<void(std::uint32_t row, std::uint32_t column, std::uint32_t originalRow,
                                 const eval::SourceCell& cell)>& visit) const;
    // The last row and column holding a cell.
    eval::Extent extent() const;
    eval::RowState rowState(std::uint32_t row) const;
    // Every formula cell: current row, column, row as read, and whether the file holds a result.
    void
    forEachFormulaCell(const std::function<void(std::uint32_t row, std::uint32_t column,
                                                std::uint32_t originalRow, bool storedResult)>& visit) const;
    // Every formula with its text in the numbering it was read with, at its row as read.
    void forEachFormulaAsRead(const std::function<void(std::uint32_t originalRow, std::uint32_t column,
                                                       std::string_view formula)>& visit) const;

private:
    struct Store;
    sheets::CellValue valueOf(const StoredCell* cell, CellRef at) const;

    std::unique_ptr<Store> m_store;
};

} // namespace xlsx
