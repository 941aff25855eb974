#pragma once

// The workbook contract: all the booking core needs of a spreadsheet. The xlsx engine implements it;
// tests also use an in-memory fake. The core sees no files, XML or zip entries, only this.
// Rows and columns are 1-based everywhere, as the spreadsheet counts them. Every failure is a
// sheets::Error whose message names the file (and sheet or cell) and the cause.

#include "sheets/CellValue.h"

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

namespace sheets {

// A sheet's limits: rows 1 to kMaxRow and columns 1 to kMaxColumn.
inline constexpr int kMaxRow = 1'048'576;
inline constexpr int kMaxColumn = 16'384;

// Where an inserted row takes its formats from.
enum class CopyOrigin {
    FromLeftOrAbove = 0,  // the row above the inserted one
    FromRightOrBelow = 1, // the row below it (the row that was at the insertion point)
};

class Worksheet {
public:
    virtual ~Worksheet() = default;

    // The sheet's name as the workbook holds it, not trimmed.
    virtual const std::string& name() const = 0;

    // The value at (row, column), 1-based. An empty or absent cell gives CellValue::Kind::Empty.
    // Throws sheets::Error for a row or column outside the sheet's limits, and for sheets that hold
    // no cells (chartsheets, dialog sheets).
    virtual CellValue cell(int row, int column) const = 0;

    // Whether any cell of `row` (1-based) holds a value or a formula: a text (the empty text is none),
    // a number, a boolean, an error, or a formula whatever its result. Formats alone do not count.
    // Answered from the cells the row has, not by reading every column. Throws sheets::Error as
    // cell() does for a row outside the sheet's limits and for sheets that hold no cells.
    virtual bool rowHasContent(int row) const = 0;

    // Writes a text cell (stays text: "200" is not turned into a number) or a number cell at
    // (row, column), keeping the cell's style; a written value replaces a formula.
    // An empty text clears the cell's value (its style stays), as the application does.
    // Throws sheets::Error as cell() does, and for a workbook opened read-only.
    virtual void setText(int row, int column, std::string_view text) = 0;
    virtual void setNumber(int row, int column, double value) = 0;

    // Inserts an entire empty row at `row`: that row and all below move down one, the new row takes
    // the formats of the row above or below (origin), and references in the workbook follow.
    // Throws sheets::Error when the sheet cannot take the row (content would pass the last row, the
    // row would cut through an array formula); the workbook is then unchanged.
    virtual void insertRow(int row, CopyOrigin origin) = 0;
};

// A workbook opened for writing holds its file from the moment it is opened until the object is
// destroyed, after a save as well: no other run opens the file for writing meanwhile (it is refused
// with sheets::LockedError), and the spreadsheet applications open it read-only. What a run does
// after save() while it keeps the object (a journal beside the workbook) is still under the hold.
// A workbook opened read-only holds nothing and is not refused because another program has it open.
class Workbook {
public:
    virtual ~Workbook() = default;

    // The file the workbook was opened from and is saved to.
    virtual const std::filesystem::path& path() const = 0;

    // Sheets in workbook order, including chartsheets and dialog sheets.
    virtual int sheetCount() const = 0;
    // 1-based index; throws sheets::Error outside 1..sheetCount().
    virtual Worksheet& sheet(int index) = 0;
    // The sheet of the workbook view's active tab.
    virtual Worksheet& activeSheet() = 0;

    // Saves to path() atomically: on any failure the file on disk is unchanged. Throws
    // sheets::LockedError when another program has the file open, sheets::Error otherwise, also when
    // the file on disk is no longer the one that was read (someone else changed it meanwhile): then
    // nothing is written, and the booking has to be made again on the changed file.
    virtual void save() = 0;
};

enum class OpenMode { ReadOnly, ReadWrite };

// How the core opens workbooks; the engine provides the real one.
class WorkbookOpener {
public:
    virtual ~WorkbookOpener() = default;
    // Throws sheets::Error naming the file and the cause when it cannot be opened. For ReadWrite,
    // throws sheets::LockedError, before anything is read or changed, when another program or another
    // run has the file open; a run that died does not keep it (see Workbook).
    virtual std::unique_ptr<Workbook> open(const std::filesystem::path& path, OpenMode mode) = 0;
};

// The opener of a workbook format whose opening is one function.
template <std::unique_ptr<Workbook> (*Open)(const std::filesystem::path&, OpenMode)>
class OpenerOf : public WorkbookOpener {
public:
    std::unique_ptr<Workbook> open(const std::filesystem::path& path, OpenMode mode) override {
        return Open(path, mode);
    }
};

} // namespace sheets
