#pragma once

// An open workbook: the package, its workbook-level parts and its sheets behind the contract. Parts
// are read when opened, sheets parsed on first use; a save writes what changed (Book.cpp opens and
// serves, BookSave.cpp saves).

#include "Calculation.h"
#include "Sheet.h"
#include "WorkbookCells.h"
#include "eval/Evaluator.h"
#include "formula/RecalcPlanner.h"
#include "formula/ReferenceShifter.h"
#include "formula/ShiftedFormulas.h"
#include "package/InventoryHold.h"
#include "package/Package.h"
#include "package/Relationships.h"
#include "parts/SharedStrings.h"
#include "parts/SheetPreloader.h"
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

class Book final : public sheets::Workbook, private SheetHost {
public:
    Book(const std::filesystem::path& path, sheets::OpenMode mode);

    const std::filesystem::path& path() const override { return m_place.file; }
    int sheetCount() const override { return static_cast<int>(m_sheets.size()); }
    sheets::Worksheet& sheet(int index) override;
    sheets::Worksheet& activeSheet() override;
    void save() override;

private:
    // Reads the package's workbook-level parts; the sheets are parsed on first use.
    void load();
    // The workbook part and its relationships, as the package holds them now.
    void readWorkbookParts(const std::string& workbookPart);
    // Starts parsing every worksheet on the second core, for a workbook whose save will need them all.
    void preloadSheets();
    Package& package() const { return *m_package; }

    // What the sheets call (SheetHost).
    const Place& place() const override { return m_place; }
    void requireWritable(std::string_view action, const Place& where) const override;
    std::unique_ptr<WorksheetPart> loadWorksheet(const Sheet& sheet) override;
    const eval::Value* currentResult(const Sheet& sheet, CellRef at, std::uint32_t originalRow,
                                     bool storedResult, std::string_view action) override;
    void refuseSplittingPivotTables(const Sheet& sheet, const RowShift& shift,
                                    std::string_view action) const override;
    void written(const Sheet& sheet, CellRef at) override;
    void inserted(const Sheet& sheet, std::uint32_t above) override;

    // Formulas (BookFormulas.cpp): made on first need, dropped at save.
    eval::Evaluator& evaluator();
    // Computes the formula at (row, column) of the sheet into the calculation state; throws
    // sheets::Error naming the sheet, the cell and the cause when it cannot be computed.
    void compute(const Sheet& sheet, CellRef at, std::string_view action);
    // The planner for a change: nullptr while no result is current, which no change can then make stale.
    RecalcPlanner* plannerForChange();
    void addToPlanner(const Sheet& sheet, const WorksheetPart& part);
    RecalcPlanner::OnStale staleMarker();
    // The parts the sheet's relationships of this type (the last word of its URI: "table") lead to
    // that the package holds.
    std::vector<std::string> sheetParts(const Sheet& sheet, std::string_view type) const;
    // The tables on a worksheet as its table parts describe them (BookTables.cpp).
    std::vector<TableDefinition> readTables(const Sheet& sheet) const;
    // What a sheet's bytes tell without parsing them: whether it has formulas, names other sheets, and
    // may read another sheet or a volatile function (so that changes elsewhere may make it stale).
    struct SheetBytes {
        bool formulas = false;
        bool namesOtherSheets = false;
        bool mayReadElsewhere = false;
    };
    const SheetBytes& sheetBytes(const Sheet& sheet) const;
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
    std::unique_ptr<Calculation> m_calculation;
    std::unique_ptr<RecalcPlanner> m_planner;
    std::vector<bool> m_inPlanner; // per sheet: its formulas are in the planner
    mutable std::vector<std::optional<SheetBytes>> m_sheetBytes;
    // Formulas moved while the save computes, kept for its writing; forgotten at every insertion.
    ShiftedFormulas m_shiftedFormulas;
    std::unique_ptr<WorkbookCells> m_cells;
    std::unique_ptr<eval::Evaluator> m_evaluator;
    // The areas of the pivot tables on each sheet (by index), as the file has them; read when needed.
    mutable std::map<int, std::vector<std::string>> m_pivotAreas;
    // Last, so that its worker is gone before anything it reads. Dropped before the package is saved
    // or read again.
    std::unique_ptr<SheetPreloader> m_preloader;
};

} // namespace xlsx
