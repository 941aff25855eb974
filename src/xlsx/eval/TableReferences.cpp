// Where a table reference points: the table found by name (or the one the formula stands in), its rows
// chosen by the special items, its columns by name.

#include "eval/Evaluation.h"
#include "eval/NotComputable.h"
#include "sheets/AsciiCase.h"

#include <algorithm>

namespace xlsx::eval {

namespace {

std::optional<std::uint32_t> columnOf(const TableView& table, std::string_view name) {
    for (std::size_t i = 0; i < table.columns.size(); ++i)
        if (sheets::equalIgnoringAsciiCase(table.columns[i], name))
            return table.left + static_cast<std::uint32_t>(i);
    return std::nullopt;
}

} // namespace

Operand Evaluation::structured(const Frame& frame, const StructuredReference& def) {
    std::optional<TableView> table;
    if (def.table.empty()) {
        table = m_source.tableAt(frame.sheet, frame.row, frame.column);
        if (!table) throw NotComputable("en tabellreferanse utenfor en tabell");
    } else {
        table = m_source.table(def.table);
        if (!table) throw NotComputable("tabellen " + def.table + ", som arbeidsboken ikke har");
    }
    return tableArea(frame, *table, def);
}

Operand Evaluation::tableArea(const Frame& frame, const TableView& table, const StructuredReference& def) {
    using Item = StructuredReference;
    const std::uint32_t dataTop = table.top + table.headerRows;
    const std::int64_t dataBottom = std::int64_t{table.bottom} - table.totalsRows;
    std::uint8_t items = def.items == 0 ? Item::Data : def.items;
    RefArea area;
    area.sheet = area.lastSheet = table.sheet;
    if (items == Item::ThisRow) {
        // The row of the formula's cell, which must be one of the data rows.
        if (frame.row < dataTop || frame.row > dataBottom) return Operand::ofError(ErrorCode::Value);
        area.top = area.bottom = frame.row;
    } else {
        if ((items & Item::Headers) && table.headerRows == 0) {
            if (items == Item::Headers) return Operand::ofError(ErrorCode::Ref);
            items &= static_cast<std::uint8_t>(~Item::Headers);
        }
        if ((items & Item::Totals) && table.totalsRows == 0) {
            if (items == Item::Totals) return Operand::ofError(ErrorCode::Ref);
            items &= static_cast<std::uint8_t>(~Item::Totals);
        }
        std::int64_t top = (items & Item::Headers) ? table.top
                           : (items & Item::Data)  ? dataTop
                                                   : dataBottom + 1;
        std::int64_t bottom = (items & Item::Totals) ? table.bottom
                              : (items & Item::Data) ? dataBottom
                                                     : table.top;
        if (top > bottom) return Operand::ofError(ErrorCode::Ref); // a table without data rows
        area.top = static_cast<std::uint32_t>(top);
        area.bottom = static_cast<std::uint32_t>(bottom);
    }
    area.left = table.left;
    area.right = table.right;
    if (!def.firstColumn.empty() || !def.lastColumn.empty()) {
        auto first = columnOf(table, def.firstColumn);
        auto last = columnOf(table, def.lastColumn);
        if (!first || !last) return Operand::ofError(ErrorCode::Ref);
        area.left = std::min(*first, *last);
        area.right = std::max(*first, *last);
    }
    return Operand::ofRef(area);
}

} // namespace xlsx::eval
