#pragma once

// One sheet of an open workbook, as the contract sees it. A worksheet's part is parsed on first use;
// the rows inserted since opening are kept for the save.

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

class Book;

enum class SheetKind { Worksheet, Chartsheet, Dialogsheet, Macrosheet, Other };

// The kind of sheet a workbook relationship of this type points to.
SheetKind sheetKindOf(std::string_view relationshipType);

class Sheet final : public sheets::Worksheet {
public:
    Sheet(Book& book, int index, std::string name, SheetKind kind, std::string partName);

    const std::string& name() const override { return m_name; }
    sheets::CellValue cell(int row, int column) const override;
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

    const RowShift& shift() const { return m_shift; }
    const std::vector<RowInsertion>& insertions() const { return m_insertions; }
    // Everything recorded is in the file now: read the part again when next needed.
    void reset();

private:
    // The position, after refusing a sheet without cells and a position outside the sheet; failures
    // start with `action`.
    CellRef position(int row, int column, std::string_view action) const;

    Book& m_book;
    int m_index;
    std::string m_name;
    SheetKind m_kind;
    std::string m_partName;
    mutable std::unique_ptr<WorksheetPart> m_part;
    RowShift m_shift;
    std::vector<RowInsertion> m_insertions;
};

} // namespace xlsx
