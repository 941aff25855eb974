#pragma once

// An open workbook: the package, its workbook-level parts and its sheets behind the contract. Parts
// are read when opened, sheets parsed on first use; a save writes what changed (Book.cpp opens and
// serves, BookSave.cpp saves).

#include "Sheet.h"
#include "WorkbookCells.h"
#include "eval/Evaluator.h"
#include "formula/RecalcPlanner.h"
#include "formula/ReferenceShifter.h"
#include "package/InventoryHold.h"
#include "package/Package.h"
#include "package/Relationships.h"
#include "parts/SharedStrings.h"
#include "parts/Styles.h"
#include "parts/TablePart.h"
#include "parts/WorkbookPart.h"
#include "sheets/Workbook.h"
#include "xml/Place.h"

#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace xlsx {

class Book final : public sheets::Workbook {
public:
    Book(const std::filesystem::path& path, sheets::OpenMode mode);

    const std::filesystem::path& path() const override { return m_place.file; }
    int sheetCount() const override { return static_cast<int>(m_sheets.size()); }
    sheets::Worksheet& sheet(int index) override;
    sheets::Worksheet& activeSheet() override;
    void save() override;

    // The workbook file, for failures.
    const Place& place() const { return m_place; }
    // Refuses a change to a workbook opened read-only; the failure starts with `action` at `where`.
    void requireWritable(std::string_view action, const Place& where) const;
    std::unique_ptr<WorksheetPart> loadWorksheet(const Sheet& sheet) const;

    // Computes the formula at (row, column) of the sheet; throws sheets::Error naming the sheet, the
    // cell and the cause when it cannot be computed. `action` starts the failure's message.
    void compute(const Sheet& sheet, CellRef at, std::string_view action);
    // A cell was written, a row inserted (after original row `above`): what depends on it is stale.
    void noteWritten(const Sheet& sheet, CellRef at);
    void noteInserted(const Sheet& sheet, std::uint32_t above);
    void noteChange() { m_changed = true; }
    // Refuses, failing with `action` naming the sheet, when `shift` (the sheet's insertions with the
    // next one) would put rows inside a pivot table on the sheet.
    void refuseSplittingPivotTables(const Sheet& sheet, const RowShift& shift, std::string_view action) const;

private:
    // Reads the package's workbook-level parts; the sheets are parsed on first use.
    void load();
    // The workbook part and its relationships, as the package holds them now.
    void readWorkbookParts(const std::string& workbookPart);
    Package& package() const { return *m_package; }

    // Formulas (BookFormulas.cpp): made on first need, dropped at save.
    eval::Evaluator& evaluator();
    RecalcPlanner& planner();
    RecalcPlanner::OnStale staleMarker();
    // The parts the sheet's relationships of this type (the last word of its URI: "table") lead to
    // that the package holds.
    std::vector<std::string> sheetParts(const Sheet& sheet, std::string_view type) const;
    // The tables on a worksheet as its table parts describe them (BookTables.cpp).
    std::vector<TableDefinition> readTables(const Sheet& sheet) const;
    // Computes every formula whose result is to be saved anew; false when some could not be.
    bool computeResults();

    // The save, step by step: stageChanges() writes every changed part into the package.
    void stageChanges(bool allComputed);
    const RowShift* shiftOf(std::string_view sheetName) const;
    ShiftContext shiftContext(std::string_view formulaSheet) const;
    void writeChangedSheets(bool rowsInserted);
    void shiftPartsOf(const Sheet& sheet);
    void shiftWorkbookParts();
    void rewritePart(const std::string& name,
                     const std::function<std::optional<std::string>(std::string_view)>& edit);
    void dropCalcChain();
    void addSharedStringsPart();

    Place m_place;
    sheets::OpenMode m_mode;
    // Opened for writing: held from before the package is read until after it is closed.
    std::unique_ptr<InventoryHold> m_hold;
    std::unique_ptr<Package> m_package;
    std::unique_ptr<Relationships> m_workbookRels;
    std::unique_ptr<WorkbookPart> m_workbook;
    mutable SharedStrings m_sharedStrings;
    std::string m_sharedStringsPart;
    Styles m_styles;
    std::vector<std::unique_ptr<Sheet>> m_sheets;
    std::vector<std::string> m_sheetOrder;
    bool m_changed = false;
    std::unique_ptr<RecalcPlanner> m_planner;
    std::unique_ptr<WorkbookCells> m_cells;
    std::unique_ptr<eval::Evaluator> m_evaluator;
    // The areas of the pivot tables on each sheet (by index), as the file has them; read when needed.
    mutable std::map<int, std::vector<std::string>> m_pivotAreas;
};

} // namespace xlsx
