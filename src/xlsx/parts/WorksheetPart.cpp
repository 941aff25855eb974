#include "parts/WorksheetPart.h"

#include "formula/CellRef.h"
#include "formula/ReferenceShifter.h"
#include "parts/SharedStrings.h"
#include "parts/Styles.h"
#include "parts/WorksheetStore.h"
#include "sheets/DateSerial.h"
#include "sheets/Error.h"
#include "xml/XmlScan.h"
#include "xml/XmlText.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <unordered_map>

namespace xlsx {

SheetStore::RowPosition SheetStore::findRow(std::uint32_t number) const {
    if (blocks.empty()) return {};
    std::size_t b = m_lastBlock < blocks.size() ? m_lastBlock : 0;
    if (!(blocks[b].firstRow() <= number && (b + 1 == blocks.size() || blocks[b + 1].firstRow() > number))) {
        auto it = std::upper_bound(blocks.begin(), blocks.end(), number,
                                   [](std::uint32_t n, const Block& block) { return n < block.firstRow(); });
        if (it == blocks.begin()) return {0, 0, false};
        b = static_cast<std::size_t>(it - blocks.begin()) - 1;
    }
    m_lastBlock = b;
    const Block& block = blocks[b];
    auto offset = static_cast<std::int32_t>(static_cast<std::int64_t>(number) - block.base);
    auto it = std::lower_bound(block.rows.begin(), block.rows.end(), offset,
                               [](const StoredRow& row, std::int32_t o) { return row.offset < o; });
    return {b, static_cast<std::size_t>(it - block.rows.begin()),
            it != block.rows.end() && it->offset == offset};
}

namespace {

CellVector::const_iterator findInRow(const Block& block, const StoredRow& row, std::uint32_t column) {
    auto first = block.cells.begin() + row.firstCell;
    auto last = first + row.cellCount;
    return std::lower_bound(first, last, column,
                            [](const StoredCell& cell, std::uint32_t c) { return cell.column < c; });
}

} // namespace

const StoredCell* SheetStore::findCell(std::uint32_t row, std::uint32_t column) const {
    RowPosition position = findRow(row);
    if (!position.found) return nullptr;
    const Block& block = blocks[position.block];
    const StoredRow& stored = block.rows[position.row];
    auto it = findInRow(block, stored, column);
    if (it == block.cells.begin() + stored.firstCell + stored.cellCount || it->column != column)
        return nullptr;
    return &*it;
}

std::string SheetStore::formulaText(const StoredFormula& formula) const {
    if (formula.text != kNone) return formulaTexts[formula.text];
    std::string_view raw(xml.data() + formula.textBegin, formula.textLength);
    if (!needsDecoding(raw)) return std::string(raw);
    std::string text;
    appendDecodedText(text, raw, true); // checked while reading
    return text;
}

std::string_view SheetStore::formulaView(const StoredFormula& formula) const {
    if (formula.text != kNone) return formulaTexts[formula.text];
    std::string_view raw(xml.data() + formula.textBegin, formula.textLength);
    if (!needsDecoding(raw)) return raw;
    m_scratch.clear();
    appendDecodedText(m_scratch, raw, true);
    return m_scratch;
}

std::uint32_t SheetStore::masterOf(std::uint32_t si) const {
    if (m_masterOfGroup.empty())
        for (std::uint32_t i = 0; i < formulas.size(); ++i)
            if (formulas[i].kind == StoredFormula::Kind::SharedMaster)
                m_masterOfGroup.emplace(formulas[i].si, i);
    auto found = m_masterOfGroup.find(si);
    return found == m_masterOfGroup.end() ? kNone : found->second;
}

const std::vector<std::pair<std::uint32_t, std::uint32_t>>&
SheetStore::groupReads(std::uint32_t master) const {
    auto [cached, fresh] = m_groupReads.try_emplace(master);
    if (fresh)
        for (const FormulaArea& reference : analyzeFormula(formulaText(formulas[master])).areas)
            if (reference.firstRow != 1 || reference.lastRow != kMaxRow)
                cached->second.emplace_back(reference.firstRow, reference.lastRow);
    return cached->second;
}

std::pair<std::uint32_t, std::uint32_t> SheetStore::extent() const {
    if (!m_extent) {
        std::uint32_t rows = 0, columns = 0;
        for (const Block& block : blocks)
            for (const StoredRow& row : block.rows) {
                if (row.cellCount == 0) continue;
                rows = block.number(row);
                columns =
                    std::max<std::uint32_t>(columns, block.cells[row.firstCell + row.cellCount - 1].column);
            }
        m_extent = {rows, columns};
    }
    return *m_extent;
}

void SheetStore::extentGrows(std::uint32_t row, std::uint32_t column) {
    if (m_extent) m_extent = {std::max(m_extent->first, row), std::max(m_extent->second, column)};
}

void SheetStore::rowInserted(std::uint32_t row) {
    if (m_extent && m_extent->first >= row) ++m_extent->first;
    m_filterTop.reset();
}

void SheetStore::failRead(std::size_t at, std::string_view cause, std::string_view cell) const {
    place.fail(kCannotRead, std::string(cause) + " (posisjon " + std::to_string(at) + ")", cell);
}

namespace {

// Calls onAttribute(name, rawValue, quote) for the attributes of a row's start tag.
template <class F> void forEachRowAttribute(const SheetStore& store, const StoredRow& row, F&& onAttribute) {
    scan::StartTag tag;
    if (row.attributes != kNone) {
        const std::string& text = store.rowAttributes[row.attributes];
        scan::readStartTag(text.data(), text.data() + text.size(), tag, onAttribute);
    } else if (row.original != 0) {
        scan::readStartTag(store.xml.data() + row.begin, store.xml.data() + row.end, tag, onAttribute);
    }
}

struct RowFormat {
    std::uint32_t style = 0;
    bool customFormat = false, customHeight = false, hidden = false;
};

RowFormat rowFormat(const SheetStore& store, const StoredRow& row) {
    RowFormat format;
    forEachRowAttribute(store, row, [&](std::string_view name, std::string_view value, char) {
        if (name == "s")
            std::from_chars(value.data(), value.data() + value.size(), format.style);
        else if (name == "customFormat")
            format.customFormat = scan::isTrue(value);
        else if (name == "customHeight")
            format.customHeight = scan::isTrue(value);
        else if (name == "hidden")
            format.hidden = scan::isTrue(value);
    });
    return format;
}

std::uint32_t columnStyle(const SheetStore& store, std::uint32_t column) {
    auto it = std::upper_bound(store.columnStyles.begin(), store.columnStyles.end(), column,
                               [](std::uint32_t c, const ColumnStyle& style) { return c < style.first; });
    if (it == store.columnStyles.begin()) return 0;
    --it;
    return column <= it->last ? it->style : 0;
}

// The style a cell made in `row` takes: the row's when it is custom formatted, else the column's.
std::uint32_t newCellStyle(const SheetStore& store, const StoredRow& row, std::uint32_t column) {
    RowFormat format = rowFormat(store, row);
    return format.customFormat ? format.style : columnStyle(store, column);
}

// The header row of the sheet's filter when it filters on some column (0 when not): rows it hides
// below it are filtered out rather than hidden by the user.
std::uint32_t activeFilterTop(const SheetStore& store) {
    std::string_view xml = store.xml;
    for (std::string_view frame : {xml.substr(0, store.contentBegin), xml.substr(store.contentEnd)}) {
        for (std::size_t at = frame.find("autoFilter"); at != std::string_view::npos;
             at = frame.find("autoFilter", at + 1)) {
            if (at == 0 || (frame[at - 1] != '<' && frame[at - 1] != ':')) continue;
            std::size_t tagEnd = frame.find('>', at);
            if (tagEnd == std::string_view::npos) return 0;
            std::string_view tag = frame.substr(at, tagEnd - at);
            std::size_t close = tag.ends_with("/") ? tagEnd : frame.find("autoFilter>", tagEnd);
            bool filtering = close != tagEnd && frame.substr(tagEnd, close - tagEnd).find("filterColumn") !=
                                                    std::string_view::npos;
            auto ref = tag.find("ref=");
            if (!filtering || ref == std::string_view::npos || ref + 5 >= tag.size()) return 0;
            std::size_t p = ref + 5;
            while (p < tag.size() && tag[p] >= 'A' && tag[p] <= 'Z')
                ++p;
            std::uint32_t top = 0;
            std::from_chars(tag.data() + p, tag.data() + tag.size(), top);
            return top == 0 ? 0 : store.shift.map(top);
        }
    }
    return 0;
}

struct Area {
    std::uint32_t top, bottom, left, right;
};

Area groupArea(const StoredFormula& formula) {
    return {static_cast<std::uint32_t>(static_cast<std::int64_t>(formula.row) + formula.refTop),
            static_cast<std::uint32_t>(static_cast<std::int64_t>(formula.row) + formula.refBottom),
            formula.refLeft, formula.refRight};
}

bool isArray(const StoredFormula& formula) {
    return formula.kind == StoredFormula::Kind::Array || formula.kind == StoredFormula::Kind::DataTable;
}

void splitIfLarge(SheetStore& store, std::size_t b) {
    Block& block = store.blocks[b];
    if (block.rows.size() <= 2 * SheetStore::kBlockRows) return;
    std::size_t half = block.rows.size() / 2;
    Block tail;
    tail.cells = CellVector(block.cells.get_allocator());
    tail.base = block.number(block.rows[half]);
    std::uint32_t firstCell = block.rows[half].firstCell;
    for (std::size_t i = half; i < block.rows.size(); ++i) {
        StoredRow row = block.rows[i];
        row.offset = static_cast<std::int32_t>(block.number(row) - tail.base);
        row.firstCell -= firstCell;
        tail.rows.push_back(row);
    }
    tail.cells.assign(block.cells.begin() + firstCell, block.cells.end());
    block.rows.resize(half);
    block.cells.resize(firstCell);
    store.blocks.insert(store.blocks.begin() + static_cast<std::ptrdiff_t>(b) + 1, std::move(tail));
}

// Inserts a row record made here at its sorted place; returns where it went.
SheetStore::RowPosition placeRow(SheetStore& store, std::uint32_t number, StoredRow row) {
    SheetStore::RowPosition position = store.findRow(number);
    if (store.blocks.empty()) {
        store.blocks.emplace_back();
        store.blocks.back().base = number;
    } else if (position.row == 0 && position.block > 0) {
        // Between two blocks: the end of the earlier one.
        --position.block;
        position.row = store.blocks[position.block].rows.size();
    }
    Block& block = store.blocks[position.block];
    row.offset = static_cast<std::int32_t>(static_cast<std::int64_t>(number) - block.base);
    row.firstCell = position.row < block.rows.size() ? block.rows[position.row].firstCell
                                                     : static_cast<std::uint32_t>(block.cells.size());
    block.rows.insert(block.rows.begin() + static_cast<std::ptrdiff_t>(position.row), row);
    position.found = true;
    return position;
}

// Inserts `cell` into the row at `position`, keeping the block's cells in row and column order.
void placeCell(Block& block, std::size_t rowIndex, const StoredCell& cell) {
    StoredRow& row = block.rows[rowIndex];
    auto it = findInRow(block, row, cell.column);
    block.cells.insert(block.cells.begin() + (it - block.cells.cbegin()), cell);
    ++row.cellCount;
    for (std::size_t i = rowIndex + 1; i < block.rows.size(); ++i)
        ++block.rows[i].firstCell;
}

} // namespace

namespace {

// Each cell of a shared group with the formula it gets of its own: the master's, translated to it.
std::vector<std::pair<std::uint32_t, std::string>> expansionOf(const SheetStore& store,
                                                               std::uint32_t master) {
    const StoredFormula& group = store.formulas[master];
    std::string text = store.formulaText(group);
    Area area = groupArea(group);
    std::vector<std::pair<std::uint32_t, std::string>> result;
    for (std::uint32_t r = area.top; r <= area.bottom; ++r) {
        SheetStore::RowPosition position = store.findRow(r);
        if (!position.found) continue;
        const Block& block = store.blocks[position.block];
        const StoredRow& row = block.rows[position.row];
        for (auto it = findInRow(block, row, area.left);
             it != block.cells.begin() + row.firstCell + row.cellCount && it->column <= area.right; ++it) {
            if (it->formula == kNone) continue;
            const StoredFormula& formula = store.formulas[it->formula];
            if (formula.kind != StoredFormula::Kind::SharedChild || formula.si != group.si) continue;
            result.emplace_back(
                it->formula, translateFormula(text, static_cast<int>(r) - static_cast<int>(group.row),
                                              static_cast<int>(it->column) - static_cast<int>(group.column)));
        }
    }
    return result;
}

void applyExpansion(SheetStore& store, std::uint32_t master,
                    std::vector<std::pair<std::uint32_t, std::string>>& expansion) {
    for (auto& [index, text] : expansion) {
        StoredFormula& formula = store.formulas[index];
        formula.kind = StoredFormula::Kind::Normal;
        formula.rebuilt = true;
        formula.text = static_cast<std::uint32_t>(store.formulaTexts.size());
        store.formulaTexts.push_back(std::move(text));
    }
    StoredFormula& group = store.formulas[master];
    group.kind = StoredFormula::Kind::Normal;
    group.rebuilt = true;
    group.hasRef = false;
    std::erase(store.trackedGroups, master);
    store.dirty = true;
}

// A shared group's cells take the master's formula moved by their offset. When the inserted row falls
// between the rows the group's references reach, one cell's reference moves and its neighbour's does
// not, and no single master formula can say that: the group must become per-cell formulas. Judged on
// the master's areas on any sheet (a qualified reference may name this one), whole columns aside.
bool referencesShiftUnevenly(const SheetStore& store, std::uint32_t index, std::uint32_t row) {
    const StoredFormula& master = store.formulas[index];
    Area area = groupArea(master);
    if (area.top == area.bottom) return false; // every cell on one row moves alike
    std::int64_t up = static_cast<std::int64_t>(area.top) - master.row;
    std::int64_t down = static_cast<std::int64_t>(area.bottom) - master.row;
    for (auto [firstRow, lastRow] : store.groupReads(index)) {
        // Formula texts keep the numbering the part was read with until save; `row` is current.
        auto reach = [&](std::int64_t original, std::int64_t offset) {
            auto moved = std::clamp<std::int64_t>(original + offset, 1, kMaxRow);
            return static_cast<std::int64_t>(store.shift.map(static_cast<std::uint32_t>(moved)));
        };
        std::int64_t first = reach(firstRow, up);
        std::int64_t last = reach(lastRow, down);
        if (first < row && row <= last) return true;
    }
    return false;
}

} // namespace

WorksheetPart::WorksheetPart(std::string xml, Place place, SharedStrings& sharedStrings, const Styles& styles,
                             bool date1904)
    : m_store(std::make_unique<Store>()) {
    m_store->xml = std::move(xml);
    m_store->place = std::move(place);
    m_store->sharedStrings = &sharedStrings;
    m_store->styles = &styles;
    m_store->date1904 = date1904;
    readWorksheet(*m_store);
    std::sort(m_store->columnStyles.begin(), m_store->columnStyles.end(),
              [](const ColumnStyle& a, const ColumnStyle& b) { return a.first < b.first; });
}

WorksheetPart::~WorksheetPart() = default;

namespace {

// A write into a multi-cell array formula would leave the array's other cells inconsistent.
// The style the cell has, or would take when written.
std::uint32_t styleForWrite(const SheetStore& store, std::uint32_t row, std::uint32_t column) {
    if (const StoredCell* cell = store.findCell(row, column)) return cell->style;
    SheetStore::RowPosition position = store.findRow(row);
    if (position.found) return newCellStyle(store, store.blocks[position.block].rows[position.row], column);
    return columnStyle(store, column);
}

void checkWritable(const SheetStore& store, std::uint32_t row, std::uint32_t column) {
    // The application keeps locked cells of a protected sheet as they are; so do we.
    if (store.sheetProtected && store.styles->isLocked(styleForWrite(store, row, column)))
        store.place.fail(kCannotWrite,
                         "arket er beskyttet og cellen er låst; opphev beskyttelsen av arket i "
                         "regnearkprogrammet, eller lås opp cellen, først",
                         cellName(row, column));
    for (std::uint32_t index : store.trackedGroups) {
        const StoredFormula& formula = store.formulas[index];
        if (!formula.hasRef || !isArray(formula)) continue;
        Area area = groupArea(formula);
        if (row >= area.top && row <= area.bottom && column >= area.left && column <= area.right)
            store.place.fail(kCannotWrite,
                             "cellen hører til matriseformelen i " +
                                 areaName(area.top, area.left, area.bottom, area.right),
                             cellName(row, column));
    }
}

// The cell at (row, column) ready for a new value: made when missing, its formula gone.
StoredCell& cellForWrite(SheetStore& store, std::uint32_t row, std::uint32_t column) {
    if (const StoredCell* existing = store.findCell(row, column); existing && existing->formula != kNone) {
        const StoredFormula& formula = store.formulas[existing->formula];
        if (formula.kind == StoredFormula::Kind::SharedMaster) {
            // The group's other cells take their formula from this one: give them their own first.
            std::uint32_t master = existing->formula;
            store.formulas[master].row = row; // kept current only for tracked groups
            auto expansion = expansionOf(store, master);
            applyExpansion(store, master, expansion);
        }
    }
    SheetStore::RowPosition position = store.findRow(row);
    if (!position.found) {
        StoredRow made;
        made.flags = StoredRow::kChanged;
        position = placeRow(store, row, made);
    }
    Block& block = store.blocks[position.block];
    StoredRow& stored = block.rows[position.row];
    stored.flags |= StoredRow::kChanged;
    auto it = findInRow(block, stored, column);
    std::size_t index = static_cast<std::size_t>(it - block.cells.cbegin());
    if (it == block.cells.cbegin() + stored.firstCell + stored.cellCount || it->column != column) {
        StoredCell cell;
        cell.column = static_cast<std::uint16_t>(column);
        cell.style = newCellStyle(store, stored, column);
        placeCell(block, position.row, cell);
    }
    StoredCell& cell = block.cells[index];
    if (cell.formula != kNone) {
        StoredFormula& formula = store.formulas[cell.formula];
        formula.hasRef = false;
        std::erase(store.trackedGroups, cell.formula);
        cell.formula = kNone;
    }
    cell.flags = static_cast<std::uint8_t>((cell.flags & StoredCell::kNoR) | StoredCell::kWritten);
    store.dirty = true;
    store.extentGrows(row, column);
    return cell;
}

} // namespace

sheets::CellValue WorksheetPart::cell(CellRef at) const {
    return valueOf(m_store->findCell(at.row(), at.column()), at);
}

sheets::CellValue WorksheetPart::valueOrFormula(CellRef at, std::optional<FormulaCell>& formula) const {
    const SheetStore& store = *m_store;
    SheetStore::RowPosition position = store.findRow(at.row());
    formula.reset();
    if (!position.found) return sheets::CellValue::empty();
    const Block& block = store.blocks[position.block];
    const StoredRow& row = block.rows[position.row];
    auto it = findInRow(block, row, at.column());
    if (it == block.cells.begin() + row.firstCell + row.cellCount || it->column != at.column())
        return sheets::CellValue::empty();
    if (it->formula != kNone) {
        formula = FormulaCell{row.original, it->kind != ValueKind::Empty};
        return sheets::CellValue::empty();
    }
    return valueOf(&*it, at);
}

sheets::CellValue WorksheetPart::valueOf(const StoredCell* cell, CellRef at) const {
    const SheetStore& store = *m_store;
    if (!cell) return sheets::CellValue::empty();
    switch (cell->kind) {
    case ValueKind::Empty:
        return sheets::CellValue::empty();
    case ValueKind::Number:
        if (store.styles->isDateTime(cell->style))
            return sheets::CellValue::ofDateTime(sheets::toDate1900(cell->value.number, store.date1904));
        return sheets::CellValue::ofNumber(cell->value.number);
    case ValueKind::Date:
        return sheets::CellValue::ofDateTime(cell->value.number);
    case ValueKind::Boolean:
        return sheets::CellValue::ofBoolean(cell->value.number != 0);
    case ValueKind::SharedString:
        if (cell->value.span[0] >= store.sharedStrings->size())
            store.place.fail(kCannotRead,
                             "delt tekst nummer " + std::to_string(cell->value.span[0]) +
                                 " finnes ikke (arbeidsboken har " +
                                 std::to_string(store.sharedStrings->size()) + " delte tekster)",
                             at.toString());
        return sheets::CellValue::ofText(store.sharedStrings->at(cell->value.span[0]));
    case ValueKind::Text:
        // A computed empty text reads as the stored one does: an empty cell, as every reader gives it.
        if (cell->formula != kNone && store.span(*cell).empty()) return sheets::CellValue::empty();
        return sheets::CellValue::ofText(store.span(*cell));
    case ValueKind::Error:
        return sheets::CellValue::ofError(store.span(*cell));
    }
    return sheets::CellValue::empty();
}

sheets::CellValue WorksheetPart::cell(CellRef at, const eval::Value& result) const {
    const SheetStore& store = *m_store;
    switch (result.kind) {
    case eval::Value::Kind::Empty:
    case eval::Value::Kind::Number: {
        const StoredCell* cell = store.findCell(at.row(), at.column());
        if (cell && store.styles->isDateTime(cell->style))
            return sheets::CellValue::ofDateTime(sheets::toDate1900(result.number, store.date1904));
        return sheets::CellValue::ofNumber(result.number);
    }
    case eval::Value::Kind::Boolean:
        return sheets::CellValue::ofBoolean(result.number != 0);
    case eval::Value::Kind::Text:
        // A computed empty text reads as the stored one does: an empty cell, as every reader gives it.
        return result.text.empty() ? sheets::CellValue::empty() : sheets::CellValue::ofText(result.text);
    case eval::Value::Kind::Error:
        return sheets::CellValue::ofError(eval::errorLiteral(result.error));
    }
    return sheets::CellValue::empty();
}

bool WorksheetPart::rowHasContent(std::uint32_t row) const {
    const SheetStore& store = *m_store;
    SheetStore::RowPosition position = store.findRow(row);
    if (!position.found) return false;
    const Block& block = store.blocks[position.block];
    const StoredRow& stored = block.rows[position.row];
    auto first = block.cells.begin() + stored.firstCell;
    return std::any_of(first, first + stored.cellCount, [&](const StoredCell& cell) {
        if (cell.formula != kNone) return true;
        switch (cell.kind) {
        case ValueKind::Empty:
            return false;
        case ValueKind::SharedString:
            // An index past the table is something; reading it fails where it is read.
            return cell.value.span[0] >= store.sharedStrings->size() ||
                   !store.sharedStrings->at(cell.value.span[0]).empty();
        case ValueKind::Text:
            return !store.span(cell).empty();
        default:
            return true;
        }
    });
}

void WorksheetPart::setText(CellRef at, std::string_view text) {
    SheetStore& store = *m_store;
    const std::uint32_t row = at.row(), column = at.column();
    checkWritable(store, row, column);
    if (text.empty()) {
        // An empty value clears the cell, as the application does; its style stays.
        cellForWrite(store, row, column).kind = ValueKind::Empty;
        return;
    }
    std::uint32_t index = store.sharedStrings->add(text);
    StoredCell& cell = cellForWrite(store, row, column);
    cell.kind = ValueKind::SharedString;
    cell.value.span[0] = index;
    cell.value.span[1] = 0;
    splitIfLarge(store, store.findRow(row).block);
}

void WorksheetPart::setNumber(CellRef at, double value) {
    SheetStore& store = *m_store;
    const std::uint32_t row = at.row(), column = at.column();
    checkWritable(store, row, column);
    if (!std::isfinite(value))
        store.place.fail(kCannotWrite, "verdien er ikke et endelig tall", at.toString());
    StoredCell& cell = cellForWrite(store, row, column);
    cell.kind = ValueKind::Number;
    cell.value.number = value;
    splitIfLarge(store, store.findRow(row).block);
}

void WorksheetPart::insertRow(std::uint32_t row, sheets::CopyOrigin origin) {
    SheetStore& store = *m_store;
    auto refuse = [&](const std::string& cause) {
        store.place.fail("Kan ikke sette inn rad " + std::to_string(row) + " i", cause);
    };
    if (row < 1 || row > kMaxRow) refuse(outOfSheet(row, 1));
    if (store.sheetProtected && !store.insertRowsAllowed)
        refuse("arket er beskyttet og tillater ikke å sette inn rader; opphev beskyttelsen av arket i "
               "regnearkprogrammet først");

    // Everything that can refuse comes first: a refused insertion changes nothing.
    SheetStore::RowPosition last = store.findRow(kMaxRow);
    if (last.found) {
        const StoredRow& stored = store.blocks[last.block].rows[last.row];
        RowFormat format = rowFormat(store, stored);
        if (stored.cellCount > 0)
            refuse("celle " + cellName(kMaxRow, store.blocks[last.block].cells[stored.firstCell].column) +
                   " ville bli skjøvet ut av arket");
        if (format.customFormat || format.customHeight || format.hidden)
            refuse("den formaterte siste raden ville bli skjøvet ut av arket");
    }
    std::vector<std::uint32_t> cutGroups;
    for (std::uint32_t index : store.trackedGroups) {
        const StoredFormula& formula = store.formulas[index];
        if (!formula.hasRef) continue;
        Area area = groupArea(formula);
        if (!(area.top < row && row <= area.bottom)) {
            if (formula.kind == StoredFormula::Kind::SharedMaster &&
                referencesShiftUnevenly(store, index, row))
                cutGroups.push_back(index);
            continue;
        }
        if (isArray(formula))
            refuse("raden ville dele matriseformelen i " +
                   areaName(area.top, area.left, area.bottom, area.right));
        if (formula.kind == StoredFormula::Kind::SharedMaster) cutGroups.push_back(index);
    }
    std::vector<std::vector<std::pair<std::uint32_t, std::string>>> expansions;
    for (std::uint32_t master : cutGroups)
        expansions.push_back(expansionOf(store, master));

    // From here on nothing throws but allocation.
    for (std::size_t i = 0; i < cutGroups.size(); ++i)
        applyExpansion(store, cutGroups[i], expansions[i]);
    store.shift.insert(row);
    store.rowInserted(row);
    if (last.found) {
        Block& block = store.blocks[last.block];
        block.rows.erase(block.rows.begin() + static_cast<std::ptrdiff_t>(last.row));
        if (block.rows.empty())
            store.blocks.erase(store.blocks.begin() + static_cast<std::ptrdiff_t>(last.block));
        store.forgetLastBlock();
    }
    for (std::uint32_t index : store.trackedGroups)
        if (store.formulas[index].row >= row) ++store.formulas[index].row;

    SheetStore::RowPosition position = store.findRow(row);
    if (!store.blocks.empty()) {
        Block& block = store.blocks[position.block];
        if (position.row == 0 && block.firstRow() >= row) {
            ++block.base;
        } else {
            for (std::size_t i = position.row; i < block.rows.size(); ++i)
                ++block.rows[i].offset;
        }
        for (std::size_t b = position.block + 1; b < store.blocks.size(); ++b)
            ++store.blocks[b].base;
    }
    store.dirty = true;

    std::uint32_t originRow = origin == sheets::CopyOrigin::FromLeftOrAbove ? row - 1 : row + 1;
    if (originRow < 1 || originRow > kMaxRow) return;
    SheetStore::RowPosition from = store.findRow(originRow);
    if (!from.found) return;

    // The new row: the origin's row format and each origin cell's style, no values.
    std::string attributes = "<row";
    RowFormat format;
    forEachRowAttribute(store, store.blocks[from.block].rows[from.row],
                        [&](std::string_view name, std::string_view value, char quote) {
                            if (name == "s" || name == "customFormat" || name == "ht" ||
                                name == "customHeight" || name == "outlineLevel") {
                                attributes += ' ';
                                attributes.append(name);
                                attributes += '=';
                                attributes += quote;
                                attributes.append(value);
                                attributes += quote;
                            }
                            if (name == "s")
                                std::from_chars(value.data(), value.data() + value.size(), format.style);
                            if (name == "customFormat") format.customFormat = scan::isTrue(value);
                        });
    attributes += '>';
    std::vector<StoredCell> styled;
    {
        const Block& block = store.blocks[from.block];
        const StoredRow& source = block.rows[from.row];
        for (std::uint32_t i = 0; i < source.cellCount; ++i) {
            const StoredCell& cell = block.cells[source.firstCell + i];
            std::uint32_t plain = format.customFormat ? format.style : columnStyle(store, cell.column);
            if (cell.style == plain) continue;
            StoredCell made;
            made.column = cell.column;
            made.style = cell.style;
            styled.push_back(made);
        }
    }
    if (attributes == "<row>" && styled.empty()) return;
    StoredRow made;
    made.flags = StoredRow::kChanged;
    made.attributes = static_cast<std::uint32_t>(store.rowAttributes.size());
    store.rowAttributes.push_back(std::move(attributes));
    SheetStore::RowPosition at = placeRow(store, row, made);
    Block& block = store.blocks[at.block];
    for (const StoredCell& cell : styled)
        placeCell(block, at.row, cell);
    splitIfLarge(store, at.block);
}

std::uint32_t SheetStore::filterTop() const {
    if (!m_filterTop) m_filterTop = activeFilterTop(*this);
    return *m_filterTop;
}

eval::RowState WorksheetPart::rowState(std::uint32_t row) const {
    const SheetStore& store = *m_store;
    SheetStore::RowPosition position = store.findRow(row);
    if (!position.found || !rowFormat(store, store.blocks[position.block].rows[position.row]).hidden)
        return eval::RowState::Visible;
    std::uint32_t top = store.filterTop();
    return top != 0 && row > top ? eval::RowState::FilteredOut : eval::RowState::Hidden;
}

bool WorksheetPart::dirty() const {
    return m_store->dirty;
}

void WorksheetPart::expandSharedFormulasNamingOtherSheets() {
    SheetStore& store = *m_store;
    std::vector<std::uint32_t> masters;
    for (std::uint32_t index : store.trackedGroups) {
        const StoredFormula& formula = store.formulas[index];
        if (formula.kind == StoredFormula::Kind::SharedMaster &&
            store.formulaText(formula).find('!') != std::string::npos)
            masters.push_back(index);
    }
    for (std::uint32_t master : masters) {
        auto expansion = expansionOf(store, master);
        applyExpansion(store, master, expansion);
    }
}

bool WorksheetPart::mayReferToOtherSheets() const {
    return m_store->xml.find('!') != std::string::npos;
}

void WorksheetPart::forEachFormula(const std::function<void(std::uint32_t row, std::uint32_t column,
                                                            std::string_view formula)>& visit) const {
    const SheetStore& store = *m_store;
    struct Master {
        std::uint32_t row, column;
        std::string text;
    };
    std::unordered_map<std::uint32_t, Master> masters;
    auto eachFormulaCell = [&](auto&& onCell) {
        for (const Block& block : store.blocks)
            for (const StoredRow& row : block.rows) {
                if (!(row.flags & StoredRow::kHasFormulas)) continue;
                for (std::uint32_t i = 0; i < row.cellCount; ++i) {
                    const StoredCell& cell = block.cells[row.firstCell + i];
                    if (cell.formula != kNone) onCell(block.number(row), cell, store.formulas[cell.formula]);
                }
            }
    };
    eachFormulaCell([&](std::uint32_t row, const StoredCell& cell, const StoredFormula& formula) {
        if (formula.kind == StoredFormula::Kind::SharedMaster)
            masters.try_emplace(formula.si, Master{row, cell.column, store.formulaText(formula)});
    });
    eachFormulaCell([&](std::uint32_t row, const StoredCell& cell, const StoredFormula& formula) {
        if (formula.kind != StoredFormula::Kind::SharedChild) {
            visit(row, cell.column, store.formulaText(formula));
            return;
        }
        auto master = masters.find(formula.si);
        if (master == masters.end()) return; // a child without a master has no formula to show
        visit(row, cell.column,
              translateFormula(master->second.text,
                               static_cast<int>(row) - static_cast<int>(master->second.row),
                               static_cast<int>(cell.column) - static_cast<int>(master->second.column)));
    });
}

} // namespace xlsx
