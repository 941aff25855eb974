// The worksheet part's side of formula evaluation: cells as the evaluator reads them, as the file holds
// them. Whether a result is current, and results computed since, are the workbook's.

#include "parts/WorksheetPart.h"

#include "formula/ReferenceShifter.h"
#include "parts/SharedStrings.h"
#include "parts/WorksheetStore.h"
#include "sheets/DateSerial.h"
#include "xml/XmlText.h"

#include <algorithm>

namespace xlsx {

namespace {

using eval::SourceCell;
using eval::Value;

// The first cell of the row at or after `column`. Rows are mostly filled from column A without gaps,
// where the cell is found at its own index: one cache line, where a search over the row would take
// several (a range read walks 100,000 rows this way).
CellVector::const_iterator firstInRow(const Block& block, const StoredRow& row, std::uint32_t column) {
    auto first = block.cells.begin() + row.firstCell;
    if (column >= 1 && column <= row.cellCount && first[column - 1].column == column)
        return first + (column - 1);
    auto last = first + row.cellCount;
    return std::lower_bound(first, last, column,
                            [](const StoredCell& cell, std::uint32_t c) { return cell.column < c; });
}

SourceCell view(const SheetStore& store, const StoredRow& row, const StoredCell& cell, bool withText) {
    SourceCell out;
    switch (cell.kind) {
    case ValueKind::Empty:
        break;
    case ValueKind::Number:
        out.kind = Value::Kind::Number;
        out.number = cell.value.number;
        break;
    case ValueKind::Date: // read as a 1900 serial whatever the workbook counts from
        out.kind = Value::Kind::Number;
        out.number = sheets::fromDate1900(cell.value.number, store.date1904);
        break;
    case ValueKind::Boolean:
        out.kind = Value::Kind::Boolean;
        out.number = cell.value.number;
        break;
    case ValueKind::SharedString:
        out.kind = Value::Kind::Text;
        out.text = store.sharedStrings->at(cell.value.span[0]);
        break;
    case ValueKind::Text:
        out.kind = Value::Kind::Text;
        out.text = store.span(cell);
        break;
    case ValueKind::Error:
        out.kind = Value::Kind::Error;
        out.text = store.span(cell);
        break;
    }
    if (cell.formula == kNone) return out;
    const StoredFormula& formula = store.formulas[cell.formula];
    out.anchorRow = row.original;
    out.anchorColumn = cell.column;
    if (!withText) return out;
    switch (formula.kind) {
    case StoredFormula::Kind::DataTable:
        out.blocker = "en datatabell";
        break;
    case StoredFormula::Kind::Array:
        if (formula.hasRef && (formula.refTop != formula.refBottom || formula.refLeft != formula.refRight))
            out.blocker = "en matriseformel som fyller flere celler";
        out.array = true;
        break;
    case StoredFormula::Kind::SharedChild: {
        std::uint32_t master = store.masterOf(formula.si);
        if (master == kNone) {
            out.blocker = "en delt formel uten sin første celle";
            break;
        }
        const StoredFormula& group = store.formulas[master];
        // Masters of groups over several cells keep their current row; the text counts as read.
        out.anchorRow = store.shift.original(group.row).first;
        out.anchorColumn = group.column;
        out.formula = store.formulaView(group);
        break;
    }
    default:
        break;
    }
    if (formula.kind != StoredFormula::Kind::SharedChild) out.formula = store.formulaView(formula);
    if (out.formula.empty()) {
        // An empty <f/> gives nothing to compute, but the cell is still a formula cell.
        if (out.blocker.empty()) out.blocker = "en tom formel";
        out.formula = " ";
    }
    return out;
}

template <class Visit> void eachFormula(const SheetStore& store, Visit&& visit) {
    for (const Block& block : store.blocks)
        for (const StoredRow& row : block.rows) {
            if (!(row.flags & StoredRow::kHasFormulas)) continue;
            for (std::uint32_t i = row.firstCell; i < row.firstCell + row.cellCount; ++i)
                if (block.cells[i].formula != kNone) visit(block, row, block.cells[i]);
        }
}

} // namespace

std::optional<WorksheetPart::FormulaCell> WorksheetPart::formulaAt(CellRef at) const {
    const SheetStore& store = *m_store;
    SheetStore::RowPosition position = store.findRow(at.row());
    if (!position.found) return std::nullopt;
    const Block& block = store.blocks[position.block];
    const StoredRow& row = block.rows[position.row];
    auto it = firstInRow(block, row, at.column());
    if (it == block.cells.begin() + row.firstCell + row.cellCount || it->column != at.column() ||
        it->formula == kNone)
        return std::nullopt;
    return FormulaCell{row.original, it->kind != ValueKind::Empty};
}

SourceCell WorksheetPart::sourceCell(std::uint32_t row, std::uint32_t column, bool withText,
                                     std::uint32_t& originalRow) const {
    const SheetStore& store = *m_store;
    SheetStore::RowPosition position = store.findRow(row);
    if (!position.found) return {};
    const Block& block = store.blocks[position.block];
    const StoredRow& stored = block.rows[position.row];
    auto it = firstInRow(block, stored, column);
    if (it == block.cells.begin() + stored.firstCell + stored.cellCount || it->column != column) return {};
    originalRow = stored.original;
    return view(store, stored, *it, withText);
}

void WorksheetPart::forEachSourceCell(
    std::uint32_t top, std::uint32_t left, std::uint32_t bottom, std::uint32_t right, bool withText,
    const std::function<void(std::uint32_t, std::uint32_t, std::uint32_t, const SourceCell&)>& visit) const {
    const SheetStore& store = *m_store;
    SheetStore::RowPosition position = store.findRow(top);
    for (std::size_t b = position.block; b < store.blocks.size(); ++b) {
        const Block& block = store.blocks[b];
        for (std::size_t r = b == position.block ? position.row : 0; r < block.rows.size(); ++r) {
            const StoredRow& row = block.rows[r];
            std::uint32_t number = block.number(row);
            if (number > bottom) return;
            auto end = block.cells.begin() + row.firstCell + row.cellCount;
            for (auto it = firstInRow(block, row, left); it != end && it->column <= right; ++it) {
                if (it->kind == ValueKind::Empty && it->formula == kNone) continue;
                // The visit may read other cells, which moves the store's block cursor: keep our own.
                visit(number, it->column, row.original, view(store, row, *it, withText));
            }
        }
    }
}

eval::Extent WorksheetPart::extent() const {
    auto [rows, columns] = m_store->extent();
    return {rows, columns};
}

void WorksheetPart::forEachFormulaCell(
    const std::function<void(std::uint32_t, std::uint32_t, std::uint32_t, bool)>& visit) const {
    eachFormula(*m_store, [&](const Block& block, const StoredRow& row, const StoredCell& cell) {
        visit(block.number(row), cell.column, row.original, cell.kind != ValueKind::Empty);
    });
}

void WorksheetPart::forEachFormulaAsRead(
    const std::function<void(std::uint32_t, std::uint32_t, std::string_view)>& visit) const {
    const SheetStore& store = *m_store;
    std::string translated;
    eachFormula(store, [&](const Block&, const StoredRow& row, const StoredCell& cell) {
        SourceCell source = view(store, row, cell, true);
        if (source.anchorRow == row.original && source.anchorColumn == cell.column) {
            visit(row.original, cell.column, source.formula);
            return;
        }
        translated = translateFormula(source.formula,
                                      static_cast<int>(row.original) - static_cast<int>(source.anchorRow),
                                      static_cast<int>(cell.column) - static_cast<int>(source.anchorColumn));
        visit(row.original, cell.column, translated);
    });
}

} // namespace xlsx
